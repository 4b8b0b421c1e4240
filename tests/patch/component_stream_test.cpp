#include "patch/component_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "common/expect_error.h"
#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"
#include "patch/texts.h"
#include "stream_test_util.h"

namespace kestrane::patch {
namespace {

using kestrane::testing::FailsWith;

using namespace testing;

// zlib level 9 of no data and of "abc".
const std::string kEmptyZ("\x78\xDA\x03\x00\x00\x00\x00\x01", 8);
const std::string kAbcZ("\x78\xDA\x4B\x4C\x4A\x06\x00\x02\x4D\x01\x27", 11);

const std::string kCollectionNone =
    Ss("PatchType") + Id("ptNone") + Ss("NotCheckVersion") + kFalse + Ss("NotUpdateVersion") + kFalse;

// An item with every default: name, tag and FILEDATA only where the rules demand.
std::string ItemProps(const std::string& name, const std::string& fileData) {
    return (name.empty() ? "" : Ss("Name") + Str(name)) + Ss("OptType") + Id("otNone") + Ss("Waiting") +
           kFalse + Ss("DelayTime") + Int8(0) + Ss("FILEDATA") +
           U32(static_cast<std::uint32_t>(fileData.size())) + fileData;
}

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterStreamClasses(); }
    void TearDown() override { RegisterStreamClasses(); }

    static std::string Write(const TResBase& root) { return AsString(WriteObjectStream(root)); }
    static void Read(const std::string& bytes, TResBase& root) { ReadObjectStream(AsBytes(bytes), root); }
};

// ---- writing ----

TEST_F(StreamTest, ParametersWriteTextsWhenSetAndIntegersAlways) {
    const struct {
        const char* what;
        std::function<void(TBaseParamInfo&)> set;
        std::string stream;
    } cases[] = {
        {"fresh parameters", [](TBaseParamInfo&) {},
         Stream(Head("TBaseParamInfo") + Ss("RegInstallPath") + Str("Software\\Torlinex\\Lumo") +
                Ss("NeedFreeDiskMB") + Int8(0) + Ss("NeedFreeMemMB") + Int8(0) + Ss("NeedCloseFileNames") +
                Utf8Str(texts::kDefaultNeedCloseFileNames) + Ss("NotBackup") + kFalse + Z + Z)},
        {"empty texts, wider integers",
         [](TBaseParamInfo& p) {
             p.RegInstallPath.clear();
             p.SetNeedCloseFileNames("");
             p.NeedFreeDiskMB = 200;
             p.NeedFreeMemMB = 40000;
             p.NotBackup = true;
         },
         Stream(Head("TBaseParamInfo") + Ss("NeedFreeDiskMB") + "\x03\xC8" + Z + Ss("NeedFreeMemMB") +
                "\x04\x40\x9C" + Z + Z + Ss("NotBackup") + kTrue + Z + Z)},
    };
    for (const auto& c : cases) {
        TBaseParamInfo params;
        c.set(params);
        EXPECT_EQ(Write(params), c.stream) << c.what;
    }
}

TEST_F(StreamTest, IntegerWidthFollowsTheValue) {
    const struct {
        std::int32_t value;
        std::string bytes;
    } cases[] = {
        {0, std::string("\x02\x00", 2)},
        {127, "\x02\x7F"},
        {-128, "\x02\x80"},
        {128, std::string("\x03\x80\x00", 3)},
        {-129, "\x03\x7F\xFF"},
        {200, std::string("\x03\xC8\x00", 3)},
        {32767, "\x03\xFF\x7F"},
        {-32768, std::string("\x03\x00\x80", 3)},
        {32768, std::string("\x04\x00\x80\x00\x00", 5)},
        {40000, std::string("\x04\x40\x9C\x00\x00", 5)},
        {INT32_MAX, "\x04\xFF\xFF\xFF\x7F"},
        {INT32_MIN, std::string("\x04\x00\x00\x00\x80", 5)},
    };
    for (const auto& c : cases) {
        TResCollection root;
        TResItem& item = root.Create<TResItem>();
        item.DelayTime = c.value;
        const std::string expected = Ss("DelayTime") + c.bytes + Ss("FILEDATA");
        EXPECT_NE(Write(root).find(expected), std::string::npos) << c.value;

        TResCollection back;
        Read(Write(root), back);
        ASSERT_EQ(back.Count(), 1u);
        EXPECT_EQ(back.Item(0).DelayTime, c.value);
    }
}

TEST_F(StreamTest, TextTagFollowsTheCharacters) {
    const std::string ascii255(255, 'a');
    const std::string ascii256(256, 'b');
    const struct {
        std::string text;
        std::string value;
    } cases[] = {
        {"x", Str("x")},
        {ascii255, Str(ascii255)},
        {ascii256, LStr(ascii256)},
        {"资", WStr(u"资")},                          // 3 UTF-8 bytes against 2 UTF-16 bytes
        {"品牌_NKY", Utf8Str("品牌_NKY")},            // 10 bytes against 12
        {"资产购买登记单", WStr(u"资产购买登记单")},  // 21 bytes against 14
        {"a资", WStr(u"a资")},                        // 4 against 4: UTF-8 must be shorter
        {"😀", WStr(u"😀")},                            // 4 bytes against a surrogate pair, 4 bytes
    };
    for (const auto& c : cases) {
        TResCollection root;
        root.Description = c.text;
        EXPECT_EQ(Write(root),
                  Stream(Head("TResCollection") + kCollectionNone + Ss("Description") + c.value + Z + Z))
            << c.text;
        TResCollection back;
        Read(Write(root), back);
        EXPECT_EQ(back.Description, c.text);
    }
}

TEST_F(StreamTest, RedeclaredPropertiesKeepTheBasePosition) {
    TResCollection files;
    TResItem& item = files.Create<TResItem>();
    item.Name = "a.exe";
    item.RelPath = "bin";
    item.OptType = otExecute;
    item.Param = "-x";
    item.Waiting = true;
    item.DelayTime = 5;
    item.MemStream = {'a', 'b', 'c'};
    EXPECT_EQ(Write(files), Stream(Head("TResCollection") + kCollectionNone + Z + Head("TResItem") +
                                   Ss("Name") + Str("a.exe") + Ss("RelPath") + Str("bin") + Ss("OptType") +
                                   Id("otExecute") + Ss("Param") + Str("-x") + Ss("Waiting") + kTrue +
                                   Ss("DelayTime") + Int8(5) + Ss("FILEDATA") + U32(11) + kAbcZ + Z + Z + Z));

    TInstResItem item2;
    TNodeItem& node = item2.Create<TNodeItem>();
    node.Tag = "1429";
    node.Caption = "C";
    node.TableType = ttStructure;
    node.SQLType = support::dbtOracle;
    node.ParamNodeType = pntBill;
    EXPECT_EQ(Write(item2),
              Stream(Head("TInstResItem") + Z + Head("TNodeItem") + Ss("Tag") + Str("1429") + Ss("Caption") +
                     Str("C") + Ss("TableType") + Id("ttStructure") + Ss("SQLType") + Id("dbtOracle") +
                     Ss("ParamNodeType") + Id("pntBill") + Z + Z + Z));
}

TEST_F(StreamTest, NodeSubclassesAppendTheirPropertiesAndOmitDeclaredDefaults) {
    const std::string nodeBase = Ss("TableType") + Id("ttData") + Ss("SQLType") + Id("dbtMsSql") +
                                 Ss("ParamNodeType") + Id("pntInitScript");
    const struct {
        std::function<void(TNodeScriptItem&)> set;
        std::string tail;
    } cases[] = {
        {[](TNodeScriptItem&) {}, Ss("SQLType2") + Id("dbtMsSql")},
        {[](TNodeScriptItem& n) { n.SQLExecType = seCheck; },
         Ss("SQLType2") + Id("dbtMsSql") + Ss("SQLExecType") + Id("seCheck")},
        {[](TNodeScriptItem& n) { n.DropBeforeCreate = true; },
         Ss("SQLType2") + Id("dbtMsSql") + Ss("DropBeforeCreate") + kTrue},
        {[](TNodeScriptItem& n) {
             n.Text2 = "select 1";
             n.SQLType2 = support::dbtOracle;
         },
         Ss("Text2") + Str("select 1") + Ss("SQLType2") + Id("dbtOracle")},
    };
    for (const auto& c : cases) {
        TInstScriptResItem item;
        c.set(item.Create<TNodeScriptItem>());
        EXPECT_EQ(Write(item), Stream(Head("TInstScriptResItem") + Z + Head("TNodeScriptItem") + nodeBase +
                                      c.tail + Z + Z + Z));
    }

    TInstTableResItem tables;
    TNodeTableItem& t = tables.Create<TNodeTableItem>();
    t.BeforeSQL = "b";
    t.AfterSQL2 = "a2";
    EXPECT_EQ(Write(tables),
              Stream(Head("TInstTableResItem") + Z + Head("TNodeTableItem") + Ss("TableType") + Id("ttData") +
                     Ss("BeforeSQL") + Str("b") + Ss("SQLType") + Id("dbtMsSql") + Ss("ParamNodeType") +
                     Id("pntInitScript") + Ss("AfterSQL2") + Str("a2") + Ss("SQLType2") + Id("dbtMsSql") + Z +
                     Z + Z));
}

TEST_F(StreamTest, FreshAccountSetCollectionWritesTenBareItems) {
    TInstResCollection items;
    std::string children;
    for (const char* name :
         {"TInstInitScriptResItem", "TInstReCstResItem", "TInstBillResItem", "TInstQueryResItem",
          "TInstAnalyseResItem", "TInstBaseDataResItem", "TInstDeskFlowResItem", "TInstTableResItem",
          "TInstViewResItem", "TInstScriptResItem"})
        children += Head(name) + Z + Z;
    EXPECT_EQ(Write(items), Stream(Head("TInstResCollection") + Z + children + Z));
}

TEST_F(StreamTest, FileDataIsAlwaysWrittenAndReadBack) {
    TResCollection files;
    files.Create<TResItem>();
    EXPECT_EQ(Write(files), Stream(Head("TResCollection") + kCollectionNone + Z + Head("TResItem") +
                                   ItemProps("", kEmptyZ) + Z + Z + Z));

    TResCollection back;
    back.Create<TResItem>().MemStream = {1, 2, 3};  // read items are added, the old one stays
    Read(Write(files), back);
    ASSERT_EQ(back.Count(), 2u);
    EXPECT_TRUE(back.Item(1).MemStream.empty());

    // A length of 0 or less stands for no content.
    for (const std::string& len : {U32(0), U32(0xFFFFFFFF)}) {
        TResCollection none;
        Read(Stream(Head("TResCollection") + Z + Head("TResItem") + Ss("FILEDATA") + len + Z + Z + Z), none);
        ASSERT_EQ(none.Count(), 1u);
        EXPECT_TRUE(none.Item(0).MemStream.empty());
    }
}

TEST_F(StreamTest, LargeAndMixedFileContentRoundTrips) {
    TResCollection files;
    TResItem& text = files.Create<TResItem>();
    for (int i = 0; i < 200000; ++i) text.MemStream.push_back(static_cast<std::uint8_t>("program "[i % 8]));
    TResItem& noise = files.Create<TResItem>();
    std::uint32_t x = 12345;
    for (int i = 0; i < 300000; ++i) {
        x = x * 1103515245u + 12345u;
        noise.MemStream.push_back(static_cast<std::uint8_t>(x >> 24));
    }
    // The reader sizes its buffer from the ratio of the first piece: a head that compresses far worse
    // than the rest must still come out whole, and so must content that shrinks a thousandfold.
    TResItem& mixed = files.Create<TResItem>();
    mixed.MemStream = noise.MemStream;
    mixed.MemStream.resize(12u << 20, 0);
    files.Create<TResItem>().MemStream.assign(8u << 20, 0);
    const std::string bytes = Write(files);
    TResCollection back;
    Read(bytes, back);
    ASSERT_EQ(back.Count(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(back.Item(i).MemStream == files.Item(i).MemStream) << i;
    EXPECT_EQ(Write(back), bytes);
}

// Items of many sizes and kinds of content, more than the compressor keeps in flight.
TResCollection& ManyFiles(TResCollection& files) {
    std::uint32_t x = 99;
    for (int i = 0; i < 14; ++i) {
        TResItem& item = files.Create<TResItem>();
        item.Name = "f" + std::to_string(i) + ".dll";
        const std::size_t size = i == 3 ? 0 : i == 6 ? 1u << 20 : static_cast<std::size_t>(1000 + 9000 * i);
        item.MemStream.resize(size);
        for (auto& b : item.MemStream) {
            x = x * 1103515245u + 12345u;
            b = i % 3 == 0 ? static_cast<std::uint8_t>(x >> 24)
                           : static_cast<std::uint8_t>("mov eax, ebx; "[(x >> 20) % 14]);
        }
    }
    return files;
}

TEST_F(StreamTest, ParallelCompressionWritesTheSerialBytes) {
    TResCollection files;
    ManyFiles(files);
    const support::Bytes serial = WriteObjectStream(files, 1);
    for (unsigned threads : {2u, 3u, 8u, 0u})
        EXPECT_TRUE(WriteObjectStream(files, threads) == serial) << threads;

    TResCollection back;
    ReadObjectStream(serial, back);
    ASSERT_EQ(back.Count(), files.Count());
    for (std::size_t i = 0; i < files.Count(); ++i)
        EXPECT_TRUE(back.Item(i).MemStream == files.Item(i).MemStream) << i;
}

TEST_F(StreamTest, FailureWhileCompressingInParallelStopsTheWriter) {
    TResCollection files;
    ManyFiles(files).Item(5).OptType = static_cast<TKVOperateType>(9);
    for (unsigned threads : {1u, 4u}) {
        EXPECT_TRUE(
            FailsWith<EStreamError>([&] { WriteObjectStream(files, threads); }, "Invalid property value"))
            << threads;
    }
}

// ---- reading ----

TEST_F(StreamTest, ReadAcceptsEveryTagOfTheKind) {
    const struct {
        const char* what;
        std::string props;
        std::function<void(const TResCollection&)> check;
    } cases[] = {
        {"enum name in any case", Ss("PatchType") + Id("PTBOTH"),
         [](const TResCollection& c) { EXPECT_EQ(c.PatchType, ptBoth); }},
        {"boolean as 09", Ss("NotCheckVersion") + kTrue,
         [](const TResCollection& c) { EXPECT_TRUE(c.NotCheckVersion); }},
        {"boolean as identifier", Ss("notcheckversion") + Id("tRuE"),
         [](const TResCollection& c) { EXPECT_TRUE(c.NotCheckVersion); }},
        {"boolean as 08", Ss("NotUpdateVersion") + kFalse,
         [](const TResCollection& c) { EXPECT_FALSE(c.NotUpdateVersion); }},
        {"short text", Ss("Description") + Str("abc"),
         [](const TResCollection& c) { EXPECT_EQ(c.Description, "abc"); }},
        {"short text in code page 936", Ss("Description") + Str("\xC6\xB7\xC5\xC6"),
         [](const TResCollection& c) { EXPECT_EQ(c.Description, "品牌"); }},
        {"long text", Ss("Description") + LStr("de"),
         [](const TResCollection& c) { EXPECT_EQ(c.Description, "de"); }},
        {"UTF-16 text", Ss("Description") + WStr(u"资产"),
         [](const TResCollection& c) { EXPECT_EQ(c.Description, "资产"); }},
        {"UTF-8 text", Ss("Description") + Utf8Str("品牌_NKY"),
         [](const TResCollection& c) { EXPECT_EQ(c.Description, "品牌_NKY"); }},
    };
    for (const auto& c : cases) {
        TResCollection root;
        root.NotUpdateVersion = true;
        Read(Stream(Head("TResCollection") + c.props + Z + Z), root);
        c.check(root);
    }

    // Any integer width for an integer property.
    for (const std::string& v :
         {Int8(7), std::string("\x03\x07\x00", 3), std::string("\x04\x07\x00\x00\x00", 5)}) {
        TBaseParamInfo params;
        Read(Stream(Head("TBaseParamInfo") + Ss("NeedFreeMemMB") + v + Z + Z), params);
        EXPECT_EQ(params.NeedFreeMemMB, 7);
    }
}

TEST_F(StreamTest, FlagsPrefixIsSkippedAndTrailingBytesIgnored) {
    const std::string child = Head("TResItem") + Ss("Name") + Str("a") + Z + Z;
    for (const std::string& prefix : {std::string("\xF0"), std::string("\xF2") + Int8(3),
                                      std::string("\xF3\x03\x01\x01", 4), std::string("\xF1")}) {
        TResCollection root;
        Read(Stream(prefix + Head("TResCollection") + Z + prefix + child + Z) + "junk", root);
        ASSERT_EQ(root.Count(), 1u);
        EXPECT_EQ(root.Item(0).Name, "a");
    }
}

TEST_F(StreamTest, ReadingIntoAnExistingRootKeepsAbsentProperties) {
    TBaseParamInfo fresh;
    fresh.RegInstallPath.clear();
    fresh.SetNeedCloseFileNames("");
    fresh.NeedFreeDiskMB = 10;
    const std::string stream = Write(fresh);

    TBaseParamInfo params;  // the initial key and close list survive: empty texts are not streamed
    params.NotBackup = true;
    Read(stream, params);
    EXPECT_EQ(params.RegInstallPath, texts::kDefaultRegInstallPath);
    EXPECT_EQ(params.NeedCloseFileNames(), texts::kDefaultNeedCloseFileNames);
    EXPECT_EQ(params.CloseFileCount(), 4u);
    EXPECT_EQ(params.NeedFreeDiskMB, 10);
    EXPECT_FALSE(params.NotBackup);

    // The root's class name is not checked; its own properties are what count.
    TBaseParamInfo other;
    other.RegInstallPath = "Software\\Other";
    Read(Stream(Head("TSomethingElse") + Ss("NeedFreeMemMB") + Int8(3) + Z + Z), other);
    EXPECT_EQ(other.RegInstallPath, "Software\\Other");
    EXPECT_EQ(other.NeedFreeMemMB, 3);
}

TEST_F(StreamTest, LoadedCloseListIsParsed) {
    TBaseParamInfo params;
    Read(Stream(Head("TBaseParamInfo") + Ss("NeedCloseFileNames") + Utf8Str("a.exe-程序A,b.exe") + Z + Z),
         params);
    ASSERT_EQ(params.CloseFileCount(), 2u);
    EXPECT_EQ(params.CloseFileCaption(0), "程序A");
    EXPECT_EQ(params.CloseFileName(1), "b.exe");
}

TEST_F(StreamTest, ChildrenAreCreatedByClassAndOwnedByTheirRecord) {
    TInstResCollection items;
    items.ClearItems();
    Read(Stream(Head("TInstResCollection") + Z + Head("tinstviewresitem") + Ss("Description") + Str("v") + Z +
                Head("TNodeScriptItem") + Ss("Tag") + Str("V_A") + Z + Z + Head("TNodeTableItem") + Z + Z +
                Z + Head("TInstBillResItem") + Z + Z + Z),
         items);
    ASSERT_EQ(items.Count(), 2u);
    auto* view = dynamic_cast<TInstViewResItem*>(&items.Item(0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Description, "v");
    EXPECT_EQ(view->ParamNodeType(), pntView);
    ASSERT_EQ(view->NodeCount(), 2u);
    auto* script = dynamic_cast<TNodeScriptItem*>(&view->Node(0));
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(script->Tag, "V_A");
    EXPECT_EQ(script->SQLExecType, seExc);  // the stream default, not the designer's values
    EXPECT_EQ(script->Owner(), view);
    EXPECT_NE(dynamic_cast<TNodeTableItem*>(&view->Node(1)), nullptr);
    EXPECT_NE(dynamic_cast<TInstBillResItem*>(&items.Item(1)), nullptr);
}

TEST_F(StreamTest, ChildOfAnUnlistedClassIsOwnedButNotWritten) {
    TResCollection files;
    Read(Stream(Head("TResCollection") + Z + Head("TNodeItem") + Ss("Tag") + Str("t") + Z + Z + Z), files);
    EXPECT_EQ(files.Count(), 0u);
    ASSERT_EQ(files.ComponentCount(), 1u);
    EXPECT_EQ(Write(files), Stream(Head("TResCollection") + kCollectionNone + Z + Z));
}

TEST_F(StreamTest, RootCreatedFromItsClassName) {
    TInstResCollection items;
    items.Item(2).Create<TNodeItem>().Tag = "1429";
    const std::string bytes = Write(items);
    const auto root = ReadObjectStream(AsBytes(bytes));
    auto* back = dynamic_cast<TInstResCollection*>(root.get());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->Count(), 20u);  // ten from its constructor, ten from the stream
    EXPECT_EQ(back->Item(12).Node(0).Tag, "1429");
}

TEST_F(StreamTest, FullTreesRoundTripByteForByte) {
    TResCollection files;
    files.PatchType = ptBoth;
    files.NotUpdateVersion = true;
    files.Description = "补丁描述 v2";
    for (int i = 0; i < 3; ++i) {
        TResItem& item = files.Create<TResItem>();
        item.Name = "f" + std::to_string(i) + ".dll";
        item.OptType = static_cast<TKVOperateType>(i + 1);
        item.RelPath = "\\lib";
        item.MemStream.assign(static_cast<std::size_t>(i) * 1000, static_cast<std::uint8_t>(i));
    }
    TInstResCollection items;
    items.Item(1).Description = "重构";
    TNodeScriptItem& s = items.Item(1).Create<TNodeScriptItem>();
    s.Tag = "QEL_InstElmnt";
    s.Text = " and SvcID > 0";
    s.SQLType2 = support::dbtOracle;
    s.DropBeforeCreate = true;
    TNodeTableItem& t = items.Item(7).Create<TNodeTableItem>();
    t.Tag = "T_Table";
    t.Text2 = "x = 'y'";
    t.ParamNodeType = pntTable;

    const std::string fileBytes = Write(files);
    TResCollection filesBack;
    Read(fileBytes, filesBack);
    EXPECT_EQ(Write(filesBack), fileBytes);
    EXPECT_EQ(filesBack.Description, files.Description);
    EXPECT_EQ(filesBack.Item(2).MemStream, files.Item(2).MemStream);

    const std::string itemBytes = Write(items);
    TInstResCollection itemsBack;
    itemsBack.ClearItems();
    Read(itemBytes, itemsBack);
    EXPECT_EQ(Write(itemsBack), itemBytes);
    const auto& back = dynamic_cast<const TNodeScriptItem&>(itemsBack.Item(1).Node(0));
    EXPECT_TRUE(back.DropBeforeCreate);
    EXPECT_EQ(back.SQLType2, support::dbtOracle);
}

// ---- failures ----

TEST_F(StreamTest, BadStreamsFailWithTheirMessage) {
    const std::string collection = Head("TResCollection");
    const struct {
        const char* what;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"empty", "", "Invalid stream format"},
        {"short signature", "TPF", "Invalid stream format"},
        {"other signature", "TPF1" + collection + Z + Z, "Invalid stream format"},
        {"signature only", "TPF0", "Stream read error"},
        {"text for an integer", Stream(Head("TResItem") + Ss("DelayTime") + Str("1") + Z + Z),
         "Invalid property value"},
        {"integer for a text", Stream(collection + Ss("Description") + Int8(1) + Z + Z),
         "Invalid property value"},
        {"identifier for a text", Stream(collection + Ss("Description") + Id("x") + Z + Z),
         "Invalid property value"},
        {"integer for an enum", Stream(collection + Ss("PatchType") + Int8(1) + Z + Z),
         "Invalid property value"},
        {"unknown enum name", Stream(collection + Ss("PatchType") + Id("ptAll") + Z + Z),
         "Invalid property value"},
        {"false for an enum", Stream(collection + Ss("PatchType") + kFalse + Z + Z),
         "Invalid property value"},
        {"boolean named otherwise", Stream(collection + Ss("NotCheckVersion") + Id("Yes") + Z + Z),
         "Invalid property value"},
        {"untyped tag", Stream(collection + Ss("Description") + "\x05" + Z + Z), "Invalid property value"},
        {"unknown property", Stream(collection + Ss("Foo") + Int8(1) + Z + Z), "Property Foo does not exist"},
        {"FILEDATA elsewhere", Stream(collection + Ss("FILEDATA") + U32(0) + Z + Z),
         "Property FILEDATA does not exist"},
        {"object name of the base", Stream(collection + Ss("Name") + Int8(1) + Z + Z),
         "Invalid property value"},
        {"unknown class", Stream(collection + Z + Head("TFoo") + Z + Z + Z), "Class TFoo not found"},
        {"unregistered base class",
         Stream(Head("TInstResCollection") + Z + Head("TInstScriptBaseResItem") + Z + Z + Z),
         "Class TInstScriptBaseResItem not found"},
        {"bad zlib", Stream(Head("TResItem") + Ss("FILEDATA") + U32(4) + "abcd" + Z + Z), "Error"},
        {"cut zlib", Stream(Head("TResItem") + Ss("FILEDATA") + U32(6) + kAbcZ.substr(0, 6) + Z + Z),
         "Error"},
        {"FILEDATA past the end", Stream(Head("TResItem") + Ss("FILEDATA") + U32(0x7FFFFFFF) + kAbcZ),
         "Stream read error"},
        {"UTF-16 past the end", Stream(collection + Ss("Description") + "\x12" + U32(0xFFFFFFFF) + "ab"),
         "Stream read error"},
        {"long text past the end", Stream(collection + Ss("Description") + "\x0C" + U32(0x80000000)),
         "Stream read error"},
        {"UTF-8 past the end", Stream(collection + Ss("Description") + "\x14" + U32(3) + "ab"),
         "Stream read error"},
        {"bad UTF-8", Stream(collection + Ss("Description") + Utf8Str("\xC3(") + Z + Z),
         "Invalid property value"},
        {"lone surrogate",
         Stream(collection + Ss("Description") + "\x12" + U32(1) + std::string("\x00\xD8", 2) + Z + Z),
         "Invalid property value"},
        {"bad code page 936", Stream(collection + Ss("Description") + Str("\xFF\xFF") + Z + Z),
         "Invalid property value"},
        {"prefix with a text position", Stream(std::string("\xF2") + Str("x") + collection + Z + Z),
         "Invalid property value"},
    };
    for (const auto& c : cases) {
        TResItem item;
        TResCollection files;
        TInstResCollection items;
        TResBase* root = &files;
        if (c.bytes.find("TResItem") == 5) root = &item;
        if (c.bytes.find("TInstResCollection") == 5) root = &items;
        EXPECT_TRUE(FailsWith<EStreamError>([&] { Read(c.bytes, *root); }, c.message)) << c.what;
    }
}

TEST_F(StreamTest, EveryTruncationIsAReadError) {
    TResCollection files;
    files.PatchType = ptProgram;
    files.Description = "品牌_NKY";
    TResItem& item = files.Create<TResItem>();
    item.Name = "a.exe";
    item.DelayTime = 40000;
    item.MemStream = {'a', 'b', 'c'};
    files.Create<TResItem>();
    const std::string bytes = Write(files);
    for (std::size_t n = 4; n < bytes.size(); ++n) {
        TResCollection back;
        EXPECT_TRUE(FailsWith<EStreamError>([&] { Read(bytes.substr(0, n), back); }, "Stream read error"))
            << n;
    }
}

TEST_F(StreamTest, ItemsReadBeforeAFailureStay) {
    TResCollection files;
    const std::string bytes =
        Stream(Head("TResCollection") + Z + Head("TResItem") + Ss("Name") + Str("a") + Z + Z +
               Head("TResItem") + Ss("Name") + Str("b") + Ss("Bad") + Int8(0) + Z + Z + Z);
    EXPECT_TRUE(FailsWith<EStreamError>([&] { Read(bytes, files); }, "Property Bad does not exist"));
    ASSERT_EQ(files.Count(), 2u);
    EXPECT_EQ(files.Item(1).Name, "b");
}

// The object name may also come as a "Name" property of any text tag; it is held to what a record's
// object name can be, so that what was read writes out and reads back the same.
TEST_F(StreamTest, ObjectNameGivenAsPropertyStaysAShortString) {
    TResCollection files;
    Read(Stream(Head("TResCollection") + Ss("Name") + Utf8Str("a\x01\xC3\xA9") + Z + Z), files);
    EXPECT_EQ(files.ObjectName(), "a???");
    const std::string written = Write(files);
    TResCollection again;
    Read(written, again);
    EXPECT_EQ(Write(again), written);

    TResCollection tooLong;
    EXPECT_TRUE(FailsWith<EStreamError>(
        [&] {
            Read(Stream(Head("TResCollection") + Ss("Name") + LStr(std::string(256, 'n')) + Z + Z), tooLong);
        },
        "Invalid property value"));
}

TEST_F(StreamTest, DeepNestingIsRefused) {
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += Head("TNodeItem") + Z;
    TResCollection files;
    EXPECT_TRUE(FailsWith<EStreamError>([&] { Read(Stream(Head("TResCollection") + Z + nested), files); },
                                        "Invalid stream format"));
}

TEST_F(StreamTest, EmptyRegistryKnowsNoClass) {
    UnregisterStreamClasses();
    EXPECT_EQ(FindStreamClass("TResItem"), nullptr);
    TResCollection files;
    EXPECT_TRUE(FailsWith<EStreamError>(
        [&] { Read(Stream(Head("TResCollection") + Z + Head("TResItem") + Z + Z + Z), files); },
        "Class TResItem not found"));
    RegisterStreamClasses();
    EXPECT_EQ(FindStreamClass("tresitem"), &TResItem::StaticClassInfo());
    EXPECT_EQ(FindStreamClass("TInstScriptBaseResItem"), nullptr);
}

}  // namespace
}  // namespace kestrane::patch
