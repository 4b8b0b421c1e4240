// Common base of every streamed patch object. An object created with an owner is owned by it and
// destroyed with it; a container also keeps the children of the class it lists, in creation order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "patch/class_info.h"

namespace kestrane::patch {

class TResBase {
  public:
    TResBase() = default;
    virtual ~TResBase();
    TResBase(const TResBase&) = delete;
    TResBase& operator=(const TResBase&) = delete;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const;
    std::string_view ClassName() const { return ClassInfo().Name(); }

    // The component's object name (empty for every object of this system) and its integer tag.
    const std::string& ObjectName() const { return objectName_; }
    void SetObjectName(std::string name) { objectName_ = std::move(name); }
    std::int32_t ComponentTag() const { return componentTag_; }
    void SetComponentTag(std::int32_t tag) { componentTag_ = tag; }

    TResBase* Owner() const { return owner_; }

    // Creates an object owned by this one; it enters this object's list when its class is listed.
    template <class T, class... Args>
    T& Create(Args&&... args) {
        auto object = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *object;
        Insert(std::move(object));
        return ref;
    }
    TResBase& Insert(std::unique_ptr<TResBase> object);
    // Destroys an object owned by this one; it leaves this object's list first.
    void Destroy(TResBase& object);
    std::size_t ComponentCount() const { return components_.size(); }
    TResBase& Component(std::size_t i) const;

    // The listed children, in list order: the children that are written.
    virtual std::size_t ChildCount() const { return 0; }
    virtual const TResBase& Child(std::size_t i) const;

  protected:
    // Called after an object was entered as owned, and before an owned object goes.
    virtual void Inserted(TResBase& object) {}
    virtual void Removing(TResBase& object) {}

  private:
    TResBase* owner_ = nullptr;
    std::string objectName_;
    std::int32_t componentTag_ = 0;
    std::vector<std::unique_ptr<TResBase>> components_;
};

}  // namespace kestrane::patch
