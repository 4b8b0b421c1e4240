#include "framework/collection.h"

#include <utility>

#include "framework/persist.h"
#include "framework/record.h"
#include "framework/tagged.h"
#include "framework/texts.h"

namespace kestrane::framework {

// ---- persist object, item ----

void TQELPersistObject::Persist(TQELWriter* writer, TQELReader* reader) {
    if (writer) {
        PersistData(*writer);
    } else if (reader) {
        PersistData(*reader);
    }
}

TQELCollectionItem::~TQELCollectionItem() {
    if (owner_) owner_->Unlink(this);
}

// ---- collection ----

TQELCollection::~TQELCollection() {
    TQELCollection::Clear(true);
}

TQELList::~TQELList() {
    Clear(false);
}

void TQELCollection::Destroy(TQELCollectionItem* item) {
    item->owner_ = nullptr;
    std::unique_ptr<TQELCollectionItem> last(item);
}

void TQELCollection::Unlink(TQELCollectionItem* item) noexcept {
    for (std::size_t i = items_.size(); i-- > 0;) {
        if (items_[i] == item) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    item->owner_ = nullptr;
}

int TQELCollection::NestingDepth() const {
    int deepest = 0;
    for (const auto* item : items_) deepest = std::max(deepest, item->NestingDepth());
    return deepest + 1;
}

void TQELCollection::Grow() {
    if (capacity_ == 0) {
        capacity_ = 2;
    } else if (capacity_ < 8) {
        capacity_ += 4;
    } else if (capacity_ < 64) {
        capacity_ += 16;
    } else {
        capacity_ += capacity_ / 4;
    }
    items_.reserve(static_cast<std::size_t>(capacity_));
}

void TQELCollection::SetCapacity(int n) {
    if (n > capacity_) {
        capacity_ = n;
        items_.reserve(static_cast<std::size_t>(n));
    }
}

TQELCollectionItem* TQELCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        RaiseError(errIndexOutOfRange, texts::kIndexOutOfRange, index, Count() - 1);
    return items_[static_cast<std::size_t>(index)];
}

int TQELCollection::IndexOf(const TQELCollectionItem* item, bool forward) const {
    const int n = Count();
    if (forward) {
        for (int i = 0; i < n; ++i)
            if (items_[static_cast<std::size_t>(i)] == item) return i;
    } else {
        for (int i = n - 1; i >= 0; --i)
            if (items_[static_cast<std::size_t>(i)] == item) return i;
    }
    return -1;
}

int TQELCollection::AddItem(TQELCollectionItem* item) {
    if (!item) RaiseParamRequired("AddItem(Item)");
    if (!AcceptsItem(item)) {
        const void* address = item;
        RaiseError(errInvalidItem, texts::kInvalidItem, address, item->ClassName());
    }
    Notify(item, ncAdding);
    int index = -1;
    try {
        if (OwnsItems()) {
            TQELCollection* previous = item->owner_;
            std::unique_ptr<TQELCollectionItem> moved;
            if (previous) moved = previous->DeleteAt(previous->IndexOf(item, false), false);
            try {
                item->Notify(this, ncAdded);
            } catch (...) {
                if (previous) previous->AddItem(std::move(moved));
                moved.release();  // NOLINT: without a previous owner the caller keeps the item
                throw;
            }
            moved.release();  // NOLINT: this collection holds it from here on
        } else {
            item->Notify(this, ncReferenced);
        }
        if (Count() == capacity_) Grow();
        items_.push_back(item);
        index = Count() - 1;
        if (OwnsItems()) item->owner_ = this;
    } catch (...) {
        Notify(item, ncAddDone);
        throw;
    }
    Notify(item, ncAddDone);
    return index;
}

int TQELCollection::AddItem(std::unique_ptr<TQELCollectionItem> item) {
    if (!item) RaiseParamRequired("AddItem(Item)");
    if (!OwnsItems()) RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "AddItem(Owned)");
    const int index = AddItem(item.get());
    item.release();  // NOLINT: owned by this collection now
    return index;
}

std::unique_ptr<TQELCollectionItem> TQELCollection::RemoveItem(TQELCollectionItem* item, bool free) {
    const int index = IndexOf(item, false);
    if (index < 0) return nullptr;
    return DeleteAt(index, free);
}

std::unique_ptr<TQELCollectionItem> TQELCollection::DeleteAt(int index, bool free) {
    TQELCollectionItem* item = Items(index);
    Notify(item, ncRemoving);
    std::unique_ptr<TQELCollectionItem> holder;
    try {
        items_.erase(items_.begin() + index);
        if (item->owner_ == this) {
            item->owner_ = nullptr;
            holder.reset(item);
        }
        item->Notify(this, ncRemoved);
        if (free) holder.reset();
    } catch (...) {
        Notify(item, ncRemoveDone);
        throw;
    }
    Notify(item, ncRemoveDone);
    return holder;
}

void TQELCollection::MoveItem(int from, int to) {
    TQELCollectionItem* item = Items(from);
    Items(to);
    Notify(item, ncMoving);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, item);
    Notify(item, ncMoveDone);
}

namespace {

// Bounded on both sides, so a comparison that is not a consistent order cannot run off the list.
void QuickSort(std::vector<TQELCollectionItem*>& v, int lo, int hi, const TQELItemCompare& compare,
               void* context) {
    while (lo < hi) {
        int i = lo;
        int j = hi;
        TQELCollectionItem* pivot = v[static_cast<std::size_t>(lo + (hi - lo) / 2)];
        do {
            while (i < hi && compare(v[static_cast<std::size_t>(i)], pivot, context) < 0) ++i;
            while (j > lo && compare(v[static_cast<std::size_t>(j)], pivot, context) > 0) --j;
            if (i <= j) {
                std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j) QuickSort(v, lo, j, compare, context);
            lo = i;
        } else {
            if (i < hi) QuickSort(v, i, hi, compare, context);
            hi = j;
        }
    }
}

}  // namespace

void TQELCollection::SortItems(const TQELItemCompare& compare, void* context) {
    Notify(this, ncSorting);
    try {
        if (compare && Count() > 1) QuickSort(items_, 0, Count() - 1, compare, context);
    } catch (...) {
        Notify(this, ncSortDone);
        throw;
    }
    Notify(this, ncSortDone);
}

void TQELCollection::Clear(bool freeItems) {
    Notify(this, ncClearing);
    try {
        while (!items_.empty()) {
            TQELCollectionItem* item = items_.back();
            if (item->owner_ == this && (freeItems || OwnsItems())) {
                item->Notify(this, ncFreeing);
                items_.pop_back();
                Destroy(item);
            } else {
                item->Notify(this, item->owner_ ? ncOtherOwner : ncRemoved);
                items_.pop_back();
            }
        }
        std::vector<TQELCollectionItem*>().swap(items_);
        capacity_ = 0;
    } catch (...) {
        Notify(this, ncCleared);
        throw;
    }
    Notify(this, ncCleared);
}

TQELCollectionItem* TQELCollection::CreateItem(std::uint32_t classId, std::int32_t classVersion) {
    const TQELDynClassDict* dict = FindDynClass(classId, classVersion);
    if (!dict) RaiseError(errDynClassNotFound, texts::kDynClassNotFound, classId, classVersion);
    auto item = dict->Make();
    TQELCollectionItem* p = item.get();
    AddItem(std::move(item));
    return p;
}

void TQELCollection::AssignItems(const TQELCollection& source) {
    const int n = source.Count();
    for (int i = 0; i < n; ++i) {
        const TQELCollectionItem* from = source.Items(i);
        TQELCollectionItem* to = nullptr;
        if (i < Count() && Items(i)->ClassId() == from->ClassId() &&
            Items(i)->ClassVersion() == from->ClassVersion()) {
            to = Items(i);
        } else {
            while (Count() > i) DeleteAt(Count() - 1, true);
            to = CreateItem(from->ClassId(), from->ClassVersion());
        }
        to->Assign(*from);
    }
    while (Count() > n) DeleteAt(Count() - 1, true);
}

void TQELCollection::Persist(TQELWriter* writer, TQELReader* reader) {
    TQELCollectionItem::Persist(writer, reader);
    PersistItems(writer, reader);
}

void TQELCollection::PersistItems(TQELWriter* writer, TQELReader* reader) {
    if (!OwnsItems()) return;
    if (writer) {
        if (Count() > 0 && writer->Version >= 0) {
            writer->WriteInt32(Count());
            for (auto* item : items_) {
                writer->WriteItemHeader(item->ClassId(), item->ClassVersion(),
                                        NameCheckByte(item->ClassName()));
                item->Persist(writer, nullptr);
            }
        } else {
            writer->WriteInt32(Count() == 0 && writer->Version >= 0 ? 0 : -1);
        }
        return;
    }
    if (!reader) return;
    try {
        const std::int32_t stored = reader->ReadInt32();
        if (stored == 0) {
            Clear(true);
        } else if (stored > 0) {
            // Every item needs at least its header (10 bytes).
            const int n = static_cast<int>(reader->CheckedLength(stored, 10));
            SetCapacity(n);
            for (int i = 0; i < n; ++i) {
                const TQELItemHeader header = reader->ReadItemHeader();
                TQELCollectionItem* item = nullptr;
                if (i < Count() && Items(i)->ClassId() == header.ClassId &&
                    Items(i)->ClassVersion() == header.ClassVersion) {
                    item = Items(i);
                } else {
                    while (Count() > i) DeleteAt(Count() - 1, true);
                    item = CreateItem(header.ClassId, header.ClassVersion);
                }
                item->Persist(nullptr, reader);
            }
            while (Count() > n) DeleteAt(Count() - 1, true);
        }
    } catch (...) {
        Clear(true);
        throw;
    }
}

// ---- element ----

void TQELElement::Notify(TQELBase* sender, int code) {
    if (code == ncFreeing) Releasing = true;
}

void TQELElement::Persist(TQELWriter* writer, TQELReader* reader) {
    TQELCollection::Persist(writer, reader);
    if (writer) {
        const bool packed = writer->DataFlag();
        writer->WriteBoolean(packed);
        if (packed) {
            const std::uint64_t v =
                static_cast<std::uint32_t>(ElementId) | (std::uint64_t{ElementFlags} << 32) |
                (std::uint64_t{ElementState} << 40) | (std::uint64_t{Releasing ? 1u : 0u} << 48);
            writer->WriteInt64(static_cast<std::int64_t>(v));
        } else {
            writer->WriteInt8(ElementFlags);
            if (ElementFlags & 4) writer->WriteInt32(ElementId);
            if (ElementFlags & 8) writer->WriteBoolean(Releasing);
        }
    } else if (reader) {
        if (reader->ReadBoolean()) {
            const auto v = static_cast<std::uint64_t>(reader->ReadInt64());
            ElementId = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
            ElementFlags = static_cast<std::uint8_t>(v >> 32);
            ElementState = static_cast<std::uint8_t>(v >> 40);
            Releasing = static_cast<std::uint8_t>(v >> 48) != 0;
        } else {
            ElementFlags = reader->ReadInt8();
            if (ElementFlags & 4) ElementId = reader->ReadInt32();
            if (ElementFlags & 8) Releasing = reader->ReadBoolean();
        }
    }
}

void TQELElement::CheckWritable() const {
    if (ElementState != 0) RaiseError(errElementReadOnly, texts::kElementReadOnly);
}

void TQELElement::LoadFromBlob(const support::Bytes& bytes) {
    CheckWritable();
    LoadObjectFromBlob(&bytes, this);
}

support::Bytes TQELElement::SaveToBlob() {
    return SaveObjectToBlob(this);
}

// ---- class dictionary ----

TQELDynClassDicts& TQELDynClassDicts::Instance() {
    static TQELDynClassDicts* dicts = [] {
        static TQELDynClassDicts instance;
        instance.Register(kCollectionClassId, 0, "TQELCollection",
                          [] { return std::make_unique<TQELCollection>(); });
        return &instance;
    }();
    return *dicts;
}

void TQELDynClassDicts::Register(std::uint32_t classId, std::int32_t classVersion, std::string className,
                                 TQELDynClassDict::Factory factory) {
    const std::lock_guard guard(lock_);
    if (!Find(classId, classVersion))
        Create<TQELDynClassDict>(*this, classId, classVersion, std::move(className), std::move(factory));
}

const TQELDynClassDict* TQELDynClassDicts::Find(std::uint32_t classId, std::int32_t classVersion) const {
    // A registration on another thread may be growing the list meanwhile.
    const std::lock_guard guard(lock_);
    int highest = -1;
    const auto& items = ItemsArray(highest);
    for (int i = highest; i >= 0; --i) {
        const auto* dict = static_cast<const TQELDynClassDict*>(items[static_cast<std::size_t>(i)]);
        if (dict->DictClassId == classId && dict->DictClassVersion == classVersion) return dict;
    }
    return nullptr;
}

const TQELDynClassDict* FindDynClass(std::uint32_t classId, std::int32_t classVersion) {
    auto& dicts = TQELDynClassDicts::Instance();
    return dicts.Find(classId, classVersion);
}

}  // namespace kestrane::framework
