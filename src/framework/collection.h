// Persistable objects, collection items, collections (owning and not), elements and the class
// dictionary from which collections create their items by class identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/base.h"
#include "support/variant.h"

namespace kestrane::framework {

class TQELWriter;
class TQELReader;
class TQELFilter;
class TQELCollection;

// Notification codes sent around changes of an item list.
enum : int {
    ncAdded = 0,
    ncRemoved = 1,
    ncReferenced = 2,
    ncOtherOwner = 3,
    ncFreeing = 4,
    ncClearing = 5,
    ncAdding = 6,
    ncRemoving = 7,
    ncSorting = 8,
    ncMoving = 10,
    ncCleared = 12,
    ncAddDone = 13,
    ncRemoveDone = 14,
    ncSortDone = 15,
    ncMoveDone = 17,
};

inline constexpr std::uint32_t kCollectionClassId = 0xF0000001u;

class TQELPersistObject : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELPersistObject"; }
    // Writes when given a writer, else reads when given a reader.
    virtual void Persist(TQELWriter* writer, TQELReader* reader);
    virtual void PersistData(TQELFilter& filer) {}
};

class TQELCollectionItem : public TQELPersistObject {
  public:
    TQELCollectionItem() = default;
    // An owned item leaves its owner first.
    ~TQELCollectionItem() override;

    std::string ClassName() const override { return "TQELCollectionItem"; }
    TQELCollection* Owner() const { return owner_; }
    virtual void Notify(TQELBase* sender, int code) {}
    virtual int NestingDepth() const { return 1; }

    // The virtual constructor: a new T added to, and owned by, an owning collection.
    template <class T, class... Args>
    static T* Create(TQELCollection& owner, Args&&... args);

  private:
    friend class TQELCollection;
    TQELCollection* owner_ = nullptr;
};

using TQELItemCompare =
    std::function<int(const TQELCollectionItem* a, const TQELCollectionItem* b, void* context)>;

class TQELCollection : public TQELCollectionItem {
  public:
    TQELCollection() = default;
    ~TQELCollection() override;

    std::string ClassName() const override { return "TQELCollection"; }
    std::uint32_t ClassId() const override { return kCollectionClassId; }
    int NestingDepth() const override;

    void Persist(TQELWriter* writer, TQELReader* reader) override;
    virtual void PersistItems(TQELWriter* writer, TQELReader* reader);

    // Appends the item and returns its index. An owning collection takes the item over (out of its
    // previous owner, if any); pass items nobody else holds, or use the unique_ptr form.
    virtual int AddItem(TQELCollectionItem* item);
    int AddItem(std::unique_ptr<TQELCollectionItem> item);  // 1024 on a collection that does not own
    virtual void AssignItems(const TQELCollection& source);
    virtual TQELCollectionItem* CreateItem(std::uint32_t classId, std::int32_t classVersion);
    virtual bool AcceptsItem(const TQELBase* item) const { return true; }
    virtual bool OwnsItems() const { return true; }
    virtual void Clear(bool freeItems);

    int Count() const { return static_cast<int>(items_.size()); }
    int Capacity() const { return capacity_; }
    TQELCollectionItem* Items(int index) const;
    // The references and the highest index (-1 when empty).
    const std::vector<TQELCollectionItem*>& ItemsArray(int& highest) const {
        highest = Count() - 1;
        return items_;
    }
    int IndexOf(const TQELCollectionItem* item, bool forward = true) const;
    // Takes the item out; with free it is destroyed, otherwise an owned item is handed to the caller.
    std::unique_ptr<TQELCollectionItem> RemoveItem(TQELCollectionItem* item, bool free);
    std::unique_ptr<TQELCollectionItem> DeleteAt(int index, bool free);
    void MoveItem(int from, int to);
    void SortItems(const TQELItemCompare& compare, void* context = nullptr);

  protected:
    // Makes room for at least n items at once (reading a stored list).
    void SetCapacity(int n);

  private:
    void Grow();
    friend class TQELCollectionItem;
    void Unlink(TQELCollectionItem* item) noexcept;  // an owned item being destroyed by others
    static void Destroy(TQELCollectionItem* item);
    std::vector<TQELCollectionItem*> items_;
    int capacity_ = 0;
};

inline int CountOf(const TQELCollection* c) {
    return c ? c->Count() : 0;
}

// A collection that only references its items.
class TQELList : public TQELCollection {
  public:
    ~TQELList() override;
    std::string ClassName() const override { return "TQELList"; }
    bool OwnsItems() const override { return false; }
};

class TQELElement : public TQELCollection {
  public:
    std::string ClassName() const override { return "TQELElement"; }
    void Persist(TQELWriter* writer, TQELReader* reader) override;
    void Notify(TQELBase* sender, int code) override;

    // 1408 unless ElementState is 0.
    void CheckWritable() const;
    void LoadFromBlob(const support::Bytes& bytes);
    support::Bytes SaveToBlob();

    std::int32_t ElementId = 0;
    std::uint8_t ElementFlags = 0;
    std::uint8_t ElementState = 0;
    bool Releasing = false;
};

// One class that collections can create by identifier.
class TQELDynClassDict : public TQELCollectionItem {
  public:
    using Factory = std::function<std::unique_ptr<TQELCollectionItem>()>;
    TQELDynClassDict(std::uint32_t classId, std::int32_t classVersion, std::string className, Factory factory)
        : DictClassId(classId),
          DictClassVersion(classVersion),
          DictClassName(std::move(className)),
          Make(std::move(factory)) {}
    std::string ClassName() const override { return "TQELDynClassDict"; }
    std::uint32_t DictClassId;
    std::int32_t DictClassVersion;
    std::string DictClassName;
    Factory Make;
};

// The process-wide class dictionary.
class TQELDynClassDicts : public TQELCollection {
  public:
    std::string ClassName() const override { return "TQELDynClassDicts"; }
    static TQELDynClassDicts& Instance();
    void Register(std::uint32_t classId, std::int32_t classVersion, std::string className,
                  TQELDynClassDict::Factory factory);
    const TQELDynClassDict* Find(std::uint32_t classId, std::int32_t classVersion) const;

  private:
    mutable TQELThrdCrtclSctn lock_;
};

// Null when the class is not registered.
const TQELDynClassDict* FindDynClass(std::uint32_t classId, std::int32_t classVersion);

template <class T, class... Args>
T* TQELCollectionItem::Create(TQELCollection& owner, Args&&... args) {
    auto item = std::make_unique<T>(std::forward<Args>(args)...);
    T* p = item.get();
    owner.AddItem(std::unique_ptr<TQELCollectionItem>(std::move(item)));
    return p;
}

}  // namespace kestrane::framework
