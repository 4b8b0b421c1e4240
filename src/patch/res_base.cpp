#include "patch/res_base.h"

#include <algorithm>
#include <stdexcept>

namespace kestrane::patch {

// Owned objects go without telling this object: its own lists are already gone.
TResBase::~TResBase() = default;

TResBase& TResBase::Insert(std::unique_ptr<TResBase> object) {
    if (!object || object->owner_) throw std::invalid_argument("TResBase::Insert: object already owned");
    object->owner_ = this;
    components_.push_back(std::move(object));
    TResBase& ref = *components_.back();
    Inserted(ref);
    return ref;
}

void TResBase::Destroy(TResBase& object) {
    // Searched from the end: lists are mostly emptied last to first.
    const auto it = std::find_if(components_.rbegin(), components_.rend(),
                                 [&](const std::unique_ptr<TResBase>& c) { return c.get() == &object; });
    if (it == components_.rend()) throw std::invalid_argument("TResBase::Destroy: object not owned");
    Removing(object);
    std::unique_ptr<TResBase> doomed = std::move(*it);
    components_.erase(std::next(it).base());
}

TResBase& TResBase::Component(std::size_t i) const {
    return *components_.at(i);
}

const TResBase& TResBase::Child(std::size_t i) const {
    throw std::out_of_range("TResBase::Child: no children");
}

}  // namespace kestrane::patch
