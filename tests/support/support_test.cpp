#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "support/codepage.h"
#include "support/format.h"
#include "support/guid.h"
#include "support/little_endian.h"
#include "support/text.h"
#include "support/variant.h"

using namespace kestrane::support;

TEST(Format, Patterns) {
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {Format("更新参数配置信息[%0:s]出错", "PARAMDATA"), "更新参数配置信息[PARAMDATA]出错"},
        {Format("%s=%d", "a", 42), "a=42"},
        {Format("%1:s-%0:s-%s", "x", "y"), "y-x-y"},  // index moves the next unindexed argument
        {Format("%0:s %0:s", "again"), "again again"},
        {Format("%x|%4x|%-4d|%5s|%.3d", 255, 10, 7, "ab", 5), "FF|   A|7   |   ab|005"},
        {Format("100%%"), "100%"},
        {Format("%d", -2147483647 - 1), "-2147483648"},
        {Format("%x", -1), "FFFFFFFF"},
        {Format("%.2f", 1.005e3), "1005.00"},
        {Format("%1:d/%0:d", 1, 2), "2/1"},
        {Format("%.2s", "abcdef"), "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(Format("%p", reinterpret_cast<const void*>(0x1A)).size(), sizeof(void*) * 2);
    EXPECT_EQ(Format("%p", reinterpret_cast<const void*>(0x1A)).substr(sizeof(void*) * 2 - 2), "1A");
}

TEST(Format, BadDirectivesThrow) {
    EXPECT_THROW(Format("%d", "text"), EConvertError);
    EXPECT_THROW(Format("%s", 3), EConvertError);
    EXPECT_THROW(Format("%s %s", "one"), EConvertError);
    EXPECT_THROW(Format("%q", 1), EConvertError);
    EXPECT_THROW(Format("abc %"), EConvertError);
    EXPECT_THROW(Format("%5:s", "a"), EConvertError);
}

TEST(Text, TrimAndCase) {
    EXPECT_EQ(Trim(" \t a b \r\n\x01"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a \x1f"), "  a");
    EXPECT_EQ(Trim("\x80 x"), "\x80 x");  // bytes above 0x7F are not blanks
    EXPECT_TRUE(SameText("Kestrane.EXE", "kestrane.exe"));
    EXPECT_FALSE(SameText("资产", "资"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_EQ(UpperCase("g_id资"), "G_ID资");
    EXPECT_EQ(FindText("call %Path% now", "%PATH%"), 5u);
    EXPECT_EQ(FindText("abc", "abcd"), std::string::npos);
    EXPECT_TRUE(EndsText(".BAT", "run.bat"));
    EXPECT_TRUE(StartsText("microsoft.jet", "Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(ReplaceText("a %path% b %PATH%", "%Path%", "/opt"), "a /opt b /opt");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
}

TEST(Text, LineLists) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLines(""), V{});
    EXPECT_EQ(SplitLines("a\r\n"), V{"a"});
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\nb\rc"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("\r\n"), V{""});
    EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(Split("a,,b", ','), (V{"a", "", "b"}));
    EXPECT_EQ(Split("", ','), V{""});
}

TEST(Text, Integers) {
    EXPECT_EQ(TryStrToInt("  42"), 42);
    EXPECT_EQ(TryStrToInt("-7"), -7);
    EXPECT_EQ(TryStrToInt("$ff"), 255);
    EXPECT_EQ(TryStrToInt("0x10"), 16);
    EXPECT_FALSE(TryStrToInt("42 "));
    EXPECT_FALSE(TryStrToInt(""));
    EXPECT_FALSE(TryStrToInt("12a"));
    EXPECT_FALSE(TryStrToInt("2147483648"));
    EXPECT_EQ(TryStrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(TryStrToInt64("99999999999999999999"));
    // Hex digits in either case, only after a hex prefix, bounded like decimals.
    EXPECT_EQ(TryStrToInt("$aB"), 171);
    EXPECT_EQ(TryStrToInt("0XFF"), 255);
    EXPECT_FALSE(TryStrToInt("$fg"));
    EXPECT_FALSE(TryStrToInt("$"));
    EXPECT_FALSE(TryStrToInt("0x"));
    EXPECT_EQ(TryStrToInt64("$7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(TryStrToInt64("$8000000000000000"));
    EXPECT_EQ(TryStrToInt64("-$8000000000000000"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(StrToIntDef("x", 0), 0);
}

TEST(Text, HexTextAndBack) {
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x1F, 0xF0};
    EXPECT_EQ(HexText(bytes), "00AB1FF0");
    EXPECT_EQ(HexText(bytes, true), "00ab1ff0");
    EXPECT_EQ(HexText({}), "");
    const struct {
        const char* text;
        std::optional<std::vector<std::uint8_t>> bytes;
    } cases[] = {
        {"00AB1FF0", std::vector<std::uint8_t>{0x00, 0xAB, 0x1F, 0xF0}},
        {"00ab1fF0", std::vector<std::uint8_t>{0x00, 0xAB, 0x1F, 0xF0}},
        {"", std::vector<std::uint8_t>{}},
        {"ABC", std::nullopt},
        {"0G", std::nullopt},
        {" 1", std::nullopt},
        {"-1", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(TryHexToBytes(c.text), c.bytes) << c.text;
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('g'), -1);
}

TEST(LittleEndian, LoadStoreAppend) {
    const std::uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
    EXPECT_EQ(LoadLittleEndian<std::uint16_t>(b), 0x0201u);
    EXPECT_EQ(LoadLittleEndian<std::uint32_t>(b), 0x04030201u);
    EXPECT_EQ(LoadLittleEndian<std::uint64_t>(b), 0x8807060504030201u);
    EXPECT_EQ(LoadLittleEndian<std::int64_t>(b), static_cast<std::int64_t>(0x8807060504030201u));
    EXPECT_EQ(LoadLittleEndian<std::int16_t>(b + 6), static_cast<std::int16_t>(0x8807));
    EXPECT_EQ(LoadLittleEndian<std::int32_t>(std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}.data()), -1);

    std::uint8_t out[4] = {};
    StoreLittleEndian(out, std::int32_t{-2});
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    std::vector<std::uint8_t> appended{0xAA};
    AppendLittleEndian(appended, std::uint16_t{0x1234});
    AppendLittleEndian(appended, std::uint32_t{0xDEADBEEF});
    EXPECT_EQ(appended, (std::vector<std::uint8_t>{0xAA, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE}));

    const std::uint8_t wide[] = {'A', 0, 0x41, 0x4E, 'z'};  // an odd last byte is no unit
    EXPECT_EQ(LoadUtf16LittleEndian(wide), std::u16string(u"A\u4E41"));
}

TEST(CodePage, RoundTrips) {
    const std::string utf8 = "资产购买登记单";
    const std::string gbk = Utf8ToCp936(utf8);
    EXPECT_EQ(gbk.size(), 14u);
    EXPECT_EQ(static_cast<unsigned char>(gbk[0]), 0xD7);  // 资 = D7 CA
    EXPECT_EQ(static_cast<unsigned char>(gbk[1]), 0xCA);
    EXPECT_EQ(Cp936ToUtf8(gbk), utf8);
    EXPECT_EQ(Utf8ToCp936("a\xF0\x9F\x98\x80"
                          "b"),
              "a?b");                                   // not in the code page
    EXPECT_THROW(Cp936ToUtf8("\xD7"), ECodePageError);  // truncated double byte
    EXPECT_THROW(Utf8ToCp936("\xC3"), ECodePageError);

    EXPECT_EQ(Utf8ToUtf16("品牌_NKY"), u"品牌_NKY");
    EXPECT_EQ(Utf16Length("品牌_NKY"), 6u);
    EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_THROW(Utf16ToUtf8(u"\xD83D"), ECodePageError);
    EXPECT_THROW(Utf8ToUtf16("\xED\xA0\x80"), ECodePageError);  // encoded surrogate
    EXPECT_THROW(Utf8ToUtf16("\xC0\xAF"), ECodePageError);      // overlong
    EXPECT_TRUE(IsAscii("plain"));
    EXPECT_FALSE(IsAscii("资"));
}

TEST(CodePage, LenientFormsForFilesAndMessages) {
    // Each byte that is not valid UTF-8 is one "?", and so is a character code page 936 lacks.
    EXPECT_EQ(Utf8ToCp936Lenient("资\xFF\xC3x\xF0\x9F\x98\x80"), "\xD7\xCA??x?");
    EXPECT_EQ(Utf8ToCp936Lenient("plain"), "plain");
    EXPECT_EQ(SanitizeUtf8("报表\xFF.txt"), "报表?.txt");
    EXPECT_EQ(SanitizeUtf8("\xE6\x8A"), "??");
    EXPECT_EQ(SanitizeUtf8("ok"), "ok");
}

TEST(CodePage, DecodesOneSequenceAtATime) {
    const struct {
        std::string_view text;
        long codePoint;
        std::size_t next;
    } cases[] = {
        {"A", 'A', 1},
        {"\xC3\xA9x", 0xE9, 2},
        {"资", 0x8D44, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\x80", -1, 0},              // a continuation byte alone
        {"\xFF", -1, 0},              // no sequence starts so
        {"\xE6\x8A", -1, 0},          // cut short
        {"\xE6\x41\x41", -1, 0},      // not continued
        {"\xC0\x80", -1, 0},          // overlong
        {"\xED\xA0\x80", -1, 0},      // a surrogate
        {"\xF4\x90\x80\x80", -1, 0},  // past U+10FFFF
    };
    for (const auto& c : cases) {
        std::size_t i = 0;
        EXPECT_EQ(DecodeUtf8(c.text, i), c.codePoint) << testing::PrintToString(c.text);
        EXPECT_EQ(i, c.next) << testing::PrintToString(c.text);
    }
    std::size_t i = 1;
    EXPECT_EQ(DecodeUtf8("a资", i), 0x8D44);
    EXPECT_EQ(i, 4u);
}

TEST(Guid, Forms) {
    const std::string text = "{6AC38416-F835-4A6A-87F1-549EB036D318}";
    const TGuid g = StringToGuid(text);
    EXPECT_EQ(g.D1, 0x6AC38416u);
    EXPECT_EQ(GuidToString(g), text);
    EXPECT_EQ(GuidToString(StringToGuid("{6ac38416-f835-4a6a-87f1-549eb036d318}")), text);
    const GuidBytes b = GuidToBytes(g);
    const GuidBytes want = {0x16, 0x84, 0xC3, 0x6A, 0x35, 0xF8, 0x6A, 0x4A,
                            0x87, 0xF1, 0x54, 0x9E, 0xB0, 0x36, 0xD3, 0x18};
    EXPECT_EQ(b, want);
    EXPECT_EQ(GuidFromBytes(b), g);
    EXPECT_EQ(GuidToHex(g), "1684C36A35F86A4A87F1549EB036D318");
    EXPECT_EQ(HexToGuid("1684c36a35f86a4a87f1549eb036d318"), g);
    EXPECT_FALSE(HexToGuid("1684c36a35f86a4a87f1549eb036d3"));
    for (const char* bad :
         {"", "6AC38416-F835-4A6A-87F1-549EB036D318", "{6AC38416-F835-4A6A-87F1-549EB036D31G}",
          "{6AC38416+F835-4A6A-87F1-549EB036D318}"})
        EXPECT_FALSE(TryStringToGuid(bad)) << bad;
    EXPECT_THROW(StringToGuid("x"), EConvertError);
    EXPECT_EQ(GuidToString(TGuid{}), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_NE(NewGuid(), NewGuid());
    EXPECT_EQ(GuidToString(NewGuid())[15], '4');
}

TEST(Variant, Conversions) {
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_EQ(Variant::Null().AsString(), "");
    EXPECT_EQ(Variant(std::int64_t{-5}).AsString(), "-5");
    EXPECT_EQ(Variant(" 12").AsInteger(), 12);
    EXPECT_EQ(Variant(true).AsString(), "True");
    EXPECT_TRUE(Variant("true").AsBoolean());
    EXPECT_EQ(Variant(0.1).AsString(), "0.1");
    EXPECT_DOUBLE_EQ(Variant::FromDecimal("12.345").AsDouble(), 12.345);
    EXPECT_EQ(Variant::FromDecimal("12.345").AsString(), "12.345");
    EXPECT_THROW(Variant("abc").AsInteger(), EConvertError);
    EXPECT_THROW(Variant(Bytes{1, 2}).AsDouble(), EConvertError);
    EXPECT_THROW(Variant(1).AsBytes(), EConvertError);
    EXPECT_EQ(Variant(Bytes{1, 2}).AsBytes().size(), 2u);
    EXPECT_THROW(Variant(std::int64_t{1} << 40).AsInteger(), EConvertError);
}

TEST(Variant, DateTimes) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(2026, 12, 10, 12, 0, 0), 46366.5);
    EXPECT_EQ(DateTimeToText(46366.5), "2026-12-10 12:00:00");
    EXPECT_EQ(DateTimeToText(46366.0), "2026-12-10");
    double d = 0;
    ASSERT_TRUE(TryTextToDateTime("2026-12-10 09:13:04", d));
    EXPECT_EQ(DateTimeToText(d), "2026-12-10 09:13:04");
    EXPECT_FALSE(TryTextToDateTime("2026-13-01", d));
    EXPECT_FALSE(TryTextToDateTime("yesterday", d));
}

TEST(Variant, DateTimeTexts) {
    // Whole days, times, the last millisecond before midnight, negative days, the range ends.
    const std::pair<double, const char*> cases[] = {
        {0, "1899-12-30"},
        {1, "1899-12-31"},
        {-1, "1899-12-29"},
        {0.5, "1899-12-30 12:00:00"},
        {-0.5, "1899-12-30 12:00:00"},
        {45351.5451, "2024-02-29 13:04:56"},
        {45351.99999999, "2024-02-29 23:59:59"},
        {45351.999999999, "2024-03-01"},
        {2.0 / 86400000.0, "1899-12-30"},
        {-693593, "0001-01-01"},
        {2958465.99998843, "9999-12-31 23:59:59"},
        {-700000, "-0017-06-18"},
        {3000000, "10113-09-19"},
        {36526.000005787, "2000-01-01"},
    };
    for (const auto& [days, want] : cases) EXPECT_EQ(DateTimeToText(days), want) << days;
    // With milliseconds: written only where there are some, a time-only value keeps its time.
    const std::pair<double, const char*> withMs[] = {
        {EncodeDateTime(2024, 1, 2, 3, 4, 5, 123), "2024-01-02 03:04:05.123"},
        {2.0 / 86400000.0, "1899-12-30 00:00:00.002"},
        {EncodeDateTime(1899, 12, 30, 0, 0, 0, 5), "1899-12-30 00:00:00.005"},
        {45351.99999999, "2024-02-29 23:59:59.999"},
        {45351.999999999, "2024-03-01"},
        {0.5, "1899-12-30 12:00:00"},
        {46366.0, "2026-12-10"},
        {-700000 - 0.5 - 7.0 / 86400000.0, "-0017-06-18 12:00:00.007"},
    };
    for (const auto& [days, want] : withMs) EXPECT_EQ(DateTimeToText(days, true), want) << days;
    // Text and back again over four centuries, with and without milliseconds.
    for (int i = 0; i < 2000; ++i) {
        const double days = -40000 + i * 97.123456789;
        for (const bool ms : {false, true}) {
            double back = 0;
            ASSERT_TRUE(TryTextToDateTime(DateTimeToText(days, ms), back)) << days;
            EXPECT_EQ(DateTimeToText(back, ms), DateTimeToText(days, ms)) << days;
        }
    }
}

TEST(Variant, TextToDateTimeForms) {
    struct Case {
        const char* text;
        const char* want;  // nullptr: refused
    };
    const Case cases[] = {
        {"2024-02-29", "2024-02-29"},
        {"2024-02-29T13:05:09", "2024-02-29 13:05:09"},
        {"2024-02-29  13:05", "2024-02-29 13:05:00"},
        {" 2024/2/9 1:02:03 ", "2024-02-09 01:02:03"},
        {"2024-02-29 13:05:09.997", "2024-02-29 13:05:09"},
        {"2023-02-29", nullptr},
        {"2024-04-31", nullptr},
        {"2024-02-29 13", nullptr},
        {"2024-02-29 24:00:00", nullptr},
        {"2024-02-29x", nullptr},
        {"2024-02-29 13:05:09 junk", nullptr},
        {"2024-02/29", nullptr},
        {"-2024-02-29", nullptr},
        {"2024-02-29 13:05:09.", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double d = 0;
        if (!c.want) {
            EXPECT_FALSE(TryTextToDateTime(c.text, d));
            continue;
        }
        ASSERT_TRUE(TryTextToDateTime(c.text, d));
        EXPECT_EQ(DateTimeToText(d), c.want);
    }
    double d = 0;
    ASSERT_TRUE(TryTextToDateTime("2026-12-10 12:00:00.500", d));
    EXPECT_DOUBLE_EQ(d, EncodeDateTime(2026, 12, 10, 12, 0, 0, 500));
    EXPECT_EQ(Variant::FromDateTime(46366.5).AsString(), "2026-12-10 12:00:00");
}
