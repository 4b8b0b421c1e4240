#include "patch/res_items.h"

#include <algorithm>
#include <stdexcept>

namespace kestrane::patch {

TResCollection::~TResCollection() {
    items_.clear();
}

TResItem& TResCollection::Item(std::size_t i) const {
    if (i >= items_.size()) throw std::out_of_range("TResCollection::Item: index out of range");
    return *items_[i];
}

void TResCollection::ClearItems() {
    Description.clear();
    while (!items_.empty()) Destroy(*items_.back());
}

void TResCollection::Inserted(TResBase& object) {
    if (auto* item = dynamic_cast<TResItem*>(&object)) items_.push_back(item);
}

void TResCollection::Removing(TResBase& object) {
    const auto it = std::find(items_.begin(), items_.end(), &object);
    if (it != items_.end()) items_.erase(it);
}

}  // namespace kestrane::patch
