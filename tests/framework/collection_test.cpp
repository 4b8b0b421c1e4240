#include "framework/collection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/expect_error.h"
#include "framework/base.h"
#include "framework/persist.h"

namespace kestrane::framework {
namespace {

using kestrane::testing::Caught;

// Records every notification it receives (as an item) and sends (as a collection).
struct Journal {
    std::vector<std::string> lines;
};

class SpyItem : public TQELCollectionItem {
  public:
    SpyItem(Journal* j, bool* destroyed = nullptr, int failOn = -1)
        : j_(j), destroyed_(destroyed), failOn_(failOn) {}
    ~SpyItem() override {
        if (destroyed_) *destroyed_ = true;
    }
    void Notify(TQELBase*, int code) override {
        if (j_) j_->lines.push_back("item " + std::to_string(code));
        if (code == failOn_) throw std::runtime_error("refused");
    }

  private:
    Journal* j_;
    bool* destroyed_;
    int failOn_;
};

class SpyCollection : public TQELCollection {
  public:
    explicit SpyCollection(Journal* j) : j_(j) {}
    void Notify(TQELBase*, int code) override { j_->lines.push_back("coll " + std::to_string(code)); }

  private:
    Journal* j_;
};

TEST(Collection, EmptyCollectionHasNoItems) {
    TQELCollection c;
    int highest = 99;
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(CountOf(nullptr), 0);
    c.ItemsArray(highest);
    EXPECT_EQ(highest, -1);
    EXPECT_EQ(c.NestingDepth(), 1);
}

TEST(Collection, ItemsOutOfRangeRaises1026WithIndexAndHighest) {
    TQELCollection c;
    TQELCollectionItem::Create<TQELCollectionItem>(c);
    TQELCollectionItem::Create<TQELCollectionItem>(c);
    const auto e = Caught<EQELException>([&] { c.Items(c.Count()); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1026);
    EXPECT_EQ(e->Description, "容器子项编号越界2/[0..1]");
    const std::string msg = e->what();
    EXPECT_EQ(msg.find("对象"), 0u);
    EXPECT_NE(msg.find("(TQELCollection)异常\r\nErrorCode:1026\r\n错误描述:容器子项编号越界2/[0..1]"),
              std::string::npos);
    EXPECT_THROW(c.Items(-1), EQELException);
}

TEST(Collection, AddItemNotifiesInOrderAndSetsOwner) {
    Journal j;
    SpyCollection c(&j);
    auto* item = TQELCollectionItem::Create<SpyItem>(c, &j);
    EXPECT_EQ(j.lines, (std::vector<std::string>{"coll 6", "item 0", "coll 13"}));
    EXPECT_EQ(item->Owner(), &c);
    EXPECT_EQ(c.IndexOf(item), 0);
}

TEST(Collection, RefusedAddIsRolledBack) {
    // A new item that refuses to join is not kept.
    TQELCollection first;
    bool destroyed = false;
    EXPECT_THROW(TQELCollectionItem::Create<SpyItem>(first, nullptr, &destroyed, 0), std::runtime_error);
    EXPECT_EQ(first.Count(), 0);
    EXPECT_TRUE(destroyed);

    // An owned item that refuses its new owner goes back to the previous one.
    struct Picky : public TQELCollectionItem {
        TQELCollection* refuse = nullptr;
        void Notify(TQELBase* sender, int code) override {
            if (code == 0 && sender == refuse) throw std::runtime_error("no");
        }
    };
    Journal j;
    SpyCollection second(&j);
    auto* p = TQELCollectionItem::Create<Picky>(first);
    p->refuse = &second;
    EXPECT_THROW(second.AddItem(p), std::runtime_error);
    EXPECT_EQ(p->Owner(), &first);
    EXPECT_EQ(first.IndexOf(p), 0);
    EXPECT_EQ(second.Count(), 0);
    EXPECT_EQ(j.lines, (std::vector<std::string>{"coll 6", "coll 13"}));
}

TEST(Collection, MovingAnOwnedItemTakesItOutOfItsOwner) {
    TQELCollection a, b;
    auto* item = TQELCollectionItem::Create<TQELCollectionItem>(a);
    b.AddItem(item);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(item->Owner(), &b);
}

TEST(Collection, InvalidItemRaises1299) {
    class Choosy : public TQELCollection {
      public:
        bool AcceptsItem(const TQELBase*) const override { return false; }
    } c;
    const auto e = Caught<EQELException>([&] { c.AddItem(std::make_unique<TQELCollectionItem>()); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1299);
    EXPECT_NE(e->Description.find("\"TQELCollectionItem\""), std::string::npos);
    EXPECT_EQ(e->Description.rfind("无效子项(", 0), 0u);
}

TEST(Collection, DestroyingFreesOwnedItemsOnlyAndItemsLeaveTheirOwner) {
    bool ownedGone = false, otherGone = false;
    TQELCollection other;
    auto* foreign = TQELCollectionItem::Create<SpyItem>(other, nullptr, &otherGone);
    {
        TQELCollection owner;
        TQELCollectionItem::Create<SpyItem>(owner, nullptr, &ownedGone);
        TQELList list;
        list.AddItem(foreign);
        EXPECT_EQ(foreign->Owner(), &other);  // a list only references
    }
    EXPECT_TRUE(ownedGone);
    EXPECT_FALSE(otherGone);
    EXPECT_EQ(other.Count(), 1);

    // Destroying an owned item directly takes it out of its owner.
    auto keep = other.DeleteAt(0, false);
    ASSERT_TRUE(keep);
    EXPECT_EQ(keep->Owner(), nullptr);
    other.AddItem(std::move(keep));
    EXPECT_EQ(other.Count(), 1);
}

TEST(Collection, ClearSendsBracketsAndFreeingCodes) {
    Journal j;
    SpyCollection c(&j);
    bool gone = false;
    TQELCollectionItem::Create<SpyItem>(c, &j, &gone);
    j.lines.clear();
    c.Clear(true);
    EXPECT_EQ(j.lines, (std::vector<std::string>{"coll 5", "item 4", "coll 12"}));
    EXPECT_TRUE(gone);
    EXPECT_EQ(c.Capacity(), 0);
}

TEST(Collection, RemoveDeleteMoveAndSort) {
    TQELCollection c;
    std::vector<TQELCollectionItem*> items;
    for (int i = 0; i < 5; ++i) items.push_back(TQELCollectionItem::Create<TQELCollectionItem>(c));
    c.MoveItem(0, 4);
    EXPECT_EQ(c.Items(4), items[0]);
    EXPECT_EQ(c.IndexOf(items[1]), 0);
    EXPECT_EQ(c.IndexOf(items[0], false), 4);
    auto kept = c.RemoveItem(items[2], false);
    EXPECT_EQ(kept.get(), items[2]);
    EXPECT_EQ(c.Count(), 4);
    EXPECT_EQ(c.DeleteAt(0, true), nullptr);
    EXPECT_THROW(c.MoveItem(0, 9), EQELException);

    // Sort by address, descending, with a context.
    int calls = 0;
    c.SortItems(
        [](const TQELCollectionItem* a, const TQELCollectionItem* b, void* ctx) {
            ++*static_cast<int*>(ctx);
            return a == b ? 0 : (a > b ? -1 : 1);
        },
        &calls);
    EXPECT_GT(calls, 0);
    for (int i = 1; i < c.Count(); ++i) EXPECT_GT(c.Items(i - 1), c.Items(i));
    // An inconsistent comparison finishes without leaving the list.
    c.SortItems([](const TQELCollectionItem*, const TQELCollectionItem*, void*) { return -1; });
    EXPECT_EQ(c.Count(), 3);
}

TEST(Collection, GrowthSteps) {
    TQELCollection c;
    std::vector<int> caps;
    for (int i = 0; i < 80; ++i) {
        TQELCollectionItem::Create<TQELCollectionItem>(c);
        if (caps.empty() || caps.back() != c.Capacity()) caps.push_back(c.Capacity());
    }
    EXPECT_EQ(caps, (std::vector<int>{2, 6, 10, 26, 42, 58, 74, 92}));
}

TEST(Collection, ListRefusesOwnedAdds) {
    TQELList list;
    EXPECT_THROW(list.AddItem(std::make_unique<TQELCollectionItem>()), EQELException);
}

TEST(Element, LoadFromBlobOnReadOnlyElementRaises1408BeforeReading) {
    TQELElement e;
    e.ElementState = 1;
    const auto ex = Caught<EQELException>([&] { e.LoadFromBlob({0xFF, 0xFF}); });
    ASSERT_TRUE(ex);
    EXPECT_EQ(ex->ErrorCode, 1408);
    EXPECT_EQ(ex->Description, "元素为只读");
}

TEST(Element, TrailerRoundTripAndBothStoredForms) {
    TQELElement e;
    e.ElementFlags = 4 | 8;
    e.ElementId = 77;
    e.Releasing = true;
    const auto bytes = e.SaveToBlob();
    EXPECT_EQ(bytes, (support::Bytes{4, 0, 0, 0, 0, 1, 2, 12, 4, 77, 0, 0, 0, 0}));
    TQELElement back;
    back.LoadFromBlob(bytes);
    EXPECT_EQ(back.ElementId, 77);
    EXPECT_EQ(back.ElementFlags, 12);
    EXPECT_TRUE(back.Releasing);

    // Trailer opened with true: one 64-bit integer carries all four fields.
    TQELElement packed;
    packed.LoadFromBlob({4, 0, 0, 0, 0, 0, 5, 0x2A, 0, 0, 0, 0x03, 0x00, 0x01, 0x00});
    EXPECT_EQ(packed.ElementId, 42);
    EXPECT_EQ(packed.ElementFlags, 3);
    EXPECT_EQ(packed.ElementState, 0);
    EXPECT_TRUE(packed.Releasing);
}

TEST(Persist, EmptyCollectionIsAZeroCountAndReadingItClears) {
    TQELCollection c;
    EXPECT_EQ(SaveObjectToBlob(&c), (support::Bytes{4, 0, 0, 0, 0}));
    TQELCollection filled;
    TQELCollectionItem::Create<TQELCollection>(filled);
    const support::Bytes zero{4, 0, 0, 0, 0};
    LoadObjectFromBlob(&zero, &filled);
    EXPECT_EQ(filled.Count(), 0);
    // A negative count leaves the items as they are.
    TQELCollectionItem::Create<TQELCollection>(filled);
    const support::Bytes minus{4, 0xFF, 0xFF, 0xFF, 0xFF};
    LoadObjectFromBlob(&minus, &filled);
    EXPECT_EQ(filled.Count(), 1);
}

TEST(Persist, NestedCollectionsRoundTripThroughTheClassDictionary) {
    TQELCollection outer;
    auto* inner = TQELCollectionItem::Create<TQELCollection>(outer);
    TQELCollectionItem::Create<TQELCollection>(*inner);
    const auto bytes = SaveObjectToBlob(&outer);
    TQELCollection back;
    LoadObjectFromBlob(&bytes, &back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(static_cast<TQELCollection*>(back.Items(0))->Count(), 1);
    EXPECT_EQ(SaveObjectToBlob(&back), bytes);
}

TEST(Persist, UnknownItemClassRaises1296AndClears) {
    TQELCollection c;
    TQELCollectionItem::Create<TQELCollection>(c);
    const support::Bytes data{4, 1, 0, 0, 0, 26, 0x44, 0x33, 0x22, 0x11, 7, 0, 0, 0, 0};
    const auto e = Caught<EQELException>([&] { LoadObjectFromBlob(&data, &c); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1296);
    EXPECT_EQ(e->Description, "动态类未找到:[ClassID:0x11223344|Version:7]");
    EXPECT_EQ(c.Count(), 0);
}

TEST(Persist, MissingParametersRaise1027WithTheirNames) {
    const support::Bytes data;
    TQELCollection c;
    struct Case {
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {[] { SaveObjectToBlob(nullptr); }, "参数\"SaveObjectToBlob(Obj)\"不可为空"},
        {[&] { LoadObjectFromBlob(nullptr, &c); }, "参数\"LoadObjectFromBlob(Data)\"不可为空"},
        {[&] { LoadObjectFromBlob(&data, nullptr); }, "参数\"LoadObjectFromBlob(,Obj)\"不可为空"},
        {[] { SaveOrLoadTarget(nullptr, nullptr, nullptr); }, "参数\"SaveOrLoadTarget(Target)\"不可为空"},
    };
    for (const auto& k : cases) {
        const auto e = Caught<EQELException>([&] { k.call(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode, 1027);
        EXPECT_STREQ(e->what(), k.message);
    }
}

TEST(Base, AssignToAndExceptionConversion) {
    TQELBase b;
    const auto e = Caught<EQELException>([&] { b.AssignTo(nullptr); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Description, "不支持此调用:\"TQELBase.AssignTo(nil)\"");
    struct Case {
        std::exception_ptr error;
        std::int32_t code;
        std::string description;
        std::string detail;
    } cases[] = {
        {std::make_exception_ptr(EOleError("ole failed", static_cast<std::int32_t>(0x80004005u))), 1031,
         "OLE错误,错误码:[0x80004005]", "ole failed"},
        {std::make_exception_ptr(std::system_error(std::error_code(2, std::generic_category()), "open")),
         1030, "系统调用错误，错误码:[2]", ""},
        {std::make_exception_ptr(std::system_error(std::error_code(0, std::generic_category()), "odd")), 1030,
         "系统调用错误", ""},
        {std::make_exception_ptr(std::out_of_range("bad index")), 1028,
         "程序内部异常\r\nException Class: \"std::out_of_range\"", "bad index"},
    };
    for (const auto& k : cases) {
        const EQELException e = b.ConvertException(k.error);
        EXPECT_EQ(e.ErrorCode, k.code);
        EXPECT_EQ(e.Description, k.description);
        if (!k.detail.empty()) {
            EXPECT_EQ(e.Detail, k.detail);
        }
        EXPECT_EQ(e.Flags & 1, 1);
    }
    EQELException original("m", 1408);
    EXPECT_EQ(b.ConvertException(std::make_exception_ptr(original)).ErrorCode, 1408);
}

TEST(Base, InterfaceObjectFreesItselfWithTheLastReference) {
    static bool freed;
    freed = false;
    struct Counted : TQELIntfObj {
        ~Counted() override { freed = true; }
    };
    {
        auto first = TQELIntfPtr<Counted>::Make();
        EXPECT_EQ(first->RefCount(), 1);
        {
            TQELIntfPtr<Counted> second = first;
            EXPECT_EQ(first->RefCount(), 2);
        }
        EXPECT_FALSE(freed);
    }
    EXPECT_TRUE(freed);
}

}  // namespace
}  // namespace kestrane::framework

namespace kestrane::framework {
namespace {

TEST(Locks, TheCriticalSectionServesTheStandardGuards) {
    TQELThrdCrtclSctn section;
    {
        const std::lock_guard outer(section);
        const std::lock_guard inner(section);  // recursive, as the framework's lock is
        std::thread([&] { EXPECT_FALSE(section.try_lock()); }).join();
    }
    std::thread([&] {
        std::unique_lock guard(section, std::try_to_lock);
        EXPECT_TRUE(guard.owns_lock());
    }).join();
}

TEST(Locks, TheClassDictionaryIsReadWhileAnotherThreadRegisters) {
    // Registering grows the dictionary's list; a look-up beside it must not read the list it replaces.
    auto& dicts = TQELDynClassDicts::Instance();
    constexpr std::uint32_t kFirst = 0x7E000000;
    dicts.Register(kFirst, 0, "TLookedUp", [] { return std::make_unique<TQELCollection>(); });
    std::atomic<bool> done{false};
    std::thread registering([&] {
        for (std::uint32_t i = 1; i <= 6000; ++i)
            dicts.Register(kFirst + i, 0, "TRegistered", [] { return std::make_unique<TQELCollection>(); });
        done = true;
    });
    std::size_t found = 0;
    while (!done) found += FindDynClass(kFirst, 0) != nullptr;
    registering.join();
    EXPECT_GT(found, 0u);
    EXPECT_NE(FindDynClass(kFirst + 6000, 0), nullptr);
}

}  // namespace
}  // namespace kestrane::framework
