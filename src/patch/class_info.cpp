#include "patch/class_info.h"

#include "patch/res_base.h"
#include "support/text.h"

namespace kestrane::patch {

TClassInfo::TClassInfo(std::string_view name, const TClassInfo* parent, std::vector<PropInfo> declared,
                       Factory create, FileDataAccess fileData)
    : name_(name), parent_(parent), create_(create), fileData_(fileData) {
    if (parent_) {
        properties_ = parent_->properties_;
        if (!fileData_.get) fileData_ = parent_->fileData_;
    }
    for (auto& p : declared) {
        bool replaced = false;
        for (auto& q : properties_) {
            if (support::SameText(q.name, p.name)) {
                q = p;
                replaced = true;
                break;
            }
        }
        if (!replaced) properties_.push_back(p);
    }
}

const PropInfo* TClassInfo::FindProperty(std::string_view name) const {
    for (const auto& p : properties_)
        if (support::SameText(p.name, name)) return &p;
    return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c == &other) return true;
    return false;
}

std::unique_ptr<TResBase> TClassInfo::Create() const {
    return create_ ? create_() : nullptr;
}

}  // namespace kestrane::patch
