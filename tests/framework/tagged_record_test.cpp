#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/expect_error.h"
#include "framework/record.h"
#include "framework/tagged.h"

namespace kestrane::framework {
namespace {

using kestrane::testing::Caught;

support::Bytes Written(const std::function<void(TQELWriter&)>& write) {
    TQELMemWriteData sink;
    TQELWriter w(sink);
    write(w);
    return sink.Take();
}

void ExpectReadError(const support::Bytes& data, const std::function<void(TQELReader&)>& read) {
    TQELMemReadData source(data);
    TQELReader r(source);
    const auto e = Caught<EQELException>([&] { read(r); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1360);
    EXPECT_EQ(e->Description, "读取缓存错误");
}

TEST(Tagged, WriterProducesTheTagTable) {
    struct Case {
        std::function<void(TQELWriter&)> write;
        support::Bytes bytes;
    } cases[] = {
        {[](TQELWriter& w) { w.WriteBoolean(true); }, {0}},
        {[](TQELWriter& w) { w.WriteBoolean(false); }, {1}},
        {[](TQELWriter& w) { w.WriteInt8(0xAB); }, {2, 0xAB}},
        {[](TQELWriter& w) { w.WriteInt16(-2); }, {3, 0xFE, 0xFF}},
        {[](TQELWriter& w) { w.WriteInt32(0x01020304); }, {4, 4, 3, 2, 1}},
        {[](TQELWriter& w) { w.WriteInt64(1); }, {5, 1, 0, 0, 0, 0, 0, 0, 0}},
        {[](TQELWriter& w) { w.WriteDouble(1.0); }, {6, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {[](TQELWriter& w) { w.WriteSingle(1.0f); }, {7, 0, 0, 0x80, 0x3F}},
        {[](TQELWriter& w) { w.WriteInt32Ext(1, 9); }, {11, 1, 0, 0, 0, 9}},
        {[](TQELWriter& w) { w.WriteChar('\0'); }, {13}},
        {[](TQELWriter& w) { w.WriteChar('A'); }, {14, 'A'}},
        {[](TQELWriter& w) { w.WriteShortString(""); }, {15}},
        {[](TQELWriter& w) { w.WriteShortString("ab"); }, {16, 2, 'a', 'b'}},
        {[](TQELWriter& w) { w.WriteString(""); }, {19}},
        {[](TQELWriter& w) { w.WriteString("中"); }, {20, 2, 0, 0, 0, 0xD6, 0xD0}},
        {[](TQELWriter& w) { w.WriteWideString("中"); }, {22, 1, 0, 0, 0, 0x2D, 0x4E}},
        {[](TQELWriter& w) { w.WriteWideString(""); }, {21}},
        {[](TQELWriter& w) {
             w.WriteRawBlock(support::Bytes{7, 8});
         },
         {23, 2, 0, 0, 0, 7, 8}},
        {[](TQELWriter& w) { w.WriteClassRef(0xF0000001u, 2); }, {25, 1, 0, 0, 0xF0, 2, 0, 0, 0}},
        {[](TQELWriter& w) { w.WriteBytes(support::Bytes{}); }, {28}},
        {[](TQELWriter& w) { w.WriteBytes(support::Bytes{5}); }, {27, 1, 0, 0, 0, 5}},
        {[](TQELWriter& w) { w.WriteGuid(support::StringToGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}")); },
         {12, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
          0xFF}},
    };
    for (const auto& k : cases) EXPECT_EQ(Written(k.write), k.bytes);
}

TEST(Tagged, ShortTextIsCutTo255Bytes) {
    const std::string text(300, 'x');
    const auto bytes = Written([&](TQELWriter& w) { w.WriteShortString(text); });
    ASSERT_EQ(bytes.size(), 2u + 255u);
    EXPECT_EQ(bytes[0], 16);
    EXPECT_EQ(bytes[1], 255);
    TQELMemReadData source(bytes);
    TQELReader r(source);
    EXPECT_EQ(r.ReadString(), std::string(255, 'x'));

    // A double-byte character is not split at the cut.
    std::string mixed = "a";
    for (int i = 0; i < 200; ++i) mixed += "中";
    const auto cut = Written([&](TQELWriter& w) { w.WriteShortString(mixed); });
    EXPECT_EQ(cut[1], 255);
    TQELMemReadData source2(cut);
    TQELReader r2(source2);
    EXPECT_EQ(r2.ReadString().size(), 1u + 127u * 3u);
}

TEST(Tagged, BooleanTags) {
    const support::Bytes t{0}, f{1};
    TQELMemReadData st(t), sf(f);
    TQELReader rt(st), rf(sf);
    EXPECT_TRUE(rt.ReadBoolean());
    EXPECT_FALSE(rf.ReadBoolean());
    for (std::uint8_t tag : {2, 4, 15, 28, 255})
        ExpectReadError({tag}, [](TQELReader& r) { r.ReadBoolean(); });
}

TEST(Tagged, ReadersAcceptTheirOwnTagsOnly) {
    // Every text tag is a text.
    for (const support::Bytes& b : {support::Bytes{15}, support::Bytes{19}, support::Bytes{16, 1, 'q'},
                                    support::Bytes{20, 1, 0, 0, 0, 'q'}}) {
        TQELMemReadData s(b);
        TQELReader r(s);
        EXPECT_NO_THROW(r.ReadString());
        EXPECT_TRUE(r.AtEnd());
    }
    ExpectReadError({21}, [](TQELReader& r) { r.ReadString(); });
    ExpectReadError({3, 1, 0}, [](TQELReader& r) { r.ReadInt32(); });
    ExpectReadError({4, 1, 0, 0, 0}, [](TQELReader& r) { r.ReadInt16(); });
    ExpectReadError({19}, [](TQELReader& r) { r.ReadBytes(); });
    ExpectReadError({23, 3, 0, 0, 0, 1, 2, 3}, [](TQELReader& r) { r.ReadRawBlock(2); });
}

TEST(Tagged, TruncatedAndOversizedDataRaise1360WithoutReadingPastTheEnd) {
    ExpectReadError({}, [](TQELReader& r) { r.ReadInt8(); });
    ExpectReadError({4, 1, 2}, [](TQELReader& r) { r.ReadInt32(); });
    ExpectReadError({20, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, [](TQELReader& r) { r.ReadString(); });
    ExpectReadError({20, 0xFF, 0xFF, 0xFF, 0xFF}, [](TQELReader& r) { r.ReadString(); });
    ExpectReadError({22, 0, 0, 0, 0x40}, [](TQELReader& r) { r.ReadWideString(); });
    ExpectReadError({27, 9, 0, 0, 0, 1}, [](TQELReader& r) { r.ReadBytes(); });
    ExpectReadError({16, 5, 'a'}, [](TQELReader& r) { r.ReadString(); });
    // Bytes that are not code page 936 text.
    ExpectReadError({16, 1, 0x81}, [](TQELReader& r) { r.ReadString(); });
}

TEST(Tagged, RoundTripOfEveryKind) {
    const auto g = support::NewGuid();
    const auto bytes = Written([&](TQELWriter& w) {
        w.WriteInt64(-5);
        w.WriteDateTime(45000.5);
        w.WriteDouble2(2.5);
        w.WriteCardinal(0xFFFFFFFFu);
        w.WriteGuid(g);
        w.WriteWideString("宽字符");
        w.WriteString("金蝶");
        w.WriteItemHeader(1, 2, 3);
    });
    TQELMemReadData s(bytes);
    TQELReader r(s);
    EXPECT_EQ(r.ReadInt64(), -5);
    EXPECT_EQ(r.ReadDateTime(), 45000.5);
    EXPECT_EQ(r.ReadDouble2(), 2.5);
    EXPECT_EQ(r.ReadCardinal(), 0xFFFFFFFFu);
    EXPECT_EQ(r.ReadGuid(), g);
    EXPECT_EQ(r.ReadWideString(), "宽字符");
    EXPECT_EQ(r.ReadString(), "金蝶");
    const auto h = r.ReadItemHeader();
    EXPECT_EQ(h.ClassId, 1u);
    EXPECT_EQ(h.ClassVersion, 2);
    EXPECT_EQ(h.NameCheckByte, 3);
    EXPECT_TRUE(r.AtEnd());
}

TEST(Record, NameCheckBytesOfTheStoredTypes) {
    struct Case {
        const char* name;
        std::uint8_t check;
    } cases[] = {
        {"TQELDBCFData", 0x79}, {"TQELDBConnFactory", 0xD0}, {"TQELInstInfoDArray", 0x54}, {"", 0}, {"A", 2}};
    for (const auto& k : cases) EXPECT_EQ(NameCheckByte(k.name), k.check) << k.name;
}

struct Sample {
    std::uint8_t a = 0;
    std::int32_t b = 0;  // 3 alignment bytes before it
    std::string t;
    std::int16_t c = 0;
    std::uint8_t d = 0;  // record size rounds to 16
};

const TQELRecType& SampleType() {
    static const TQELRecType type(
        "TSample", {recfield::Ordinal(&Sample::a), recfield::Ordinal(&Sample::b), recfield::Text(&Sample::t),
                    recfield::Ordinal(&Sample::c), recfield::Ordinal(&Sample::d)});
    return type;
}

TEST(Record, NaturalAlignmentAndTexts) {
    EXPECT_EQ(SampleType().Size(), 16u);
    Sample s{7, 0x11223344, "hi", -1, 9};
    const auto bytes = SaveRecordToBlob(&s, &SampleType());
    const support::Bytes expected{
        24, NameCheckByte("TSample"), 7, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 2, 0, 0, 0, 'h', 'i', 0xFF, 0xFF, 9,
        0};
    EXPECT_EQ(bytes, expected);
    Sample back;
    LoadRecordFromBlob(&bytes, &back, &SampleType());
    EXPECT_EQ(back.b, s.b);
    EXPECT_EQ(back.t, "hi");
    EXPECT_EQ(back.c, -1);
    EXPECT_EQ(back.d, 9);
}

TEST(Record, TypeMismatchRaises1360) {
    Sample s;
    const auto bytes = SaveRecordToBlob(&s, &SampleType());
    static const TQELRecType other("TOther", {recfield::Ordinal(&Sample::a)});
    const auto e = Caught<EQELException>([&] { LoadRecordFromBlob(&bytes, &s, &other); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1360);
    EXPECT_THROW(SaveRecordToBlob(nullptr, &other), EQELException);
    EXPECT_THROW(LoadRecordFromBlob(&bytes, &s, nullptr), EQELException);
}

TEST(Record, DynamicArrayCountIsBoundedByTheData) {
    static const TQELRecType list = DynArrayType<Sample>("TSampleArray", SampleType());
    // A count of 2^30 elements with four bytes behind it.
    const support::Bytes bytes{24, NameCheckByte("TSampleArray"), 0, 0, 0, 0x40, 1, 2, 3, 4};
    std::vector<Sample> out;
    ExpectReadError(bytes, [&](TQELReader& r) { ReadRecord(r, &out, list); });
    std::vector<Sample> two(2);
    two[1].t = "x";
    const auto ok = SaveRecordToBlob(&two, &list);
    LoadRecordFromBlob(&ok, &out, &list);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].t, "x");
}

}  // namespace
}  // namespace kestrane::framework
