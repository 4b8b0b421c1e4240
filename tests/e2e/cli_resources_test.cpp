// kestrane-cli on a patch executable written through the resource writer: listing, extracting and
// decoding its resources, and its answers to bad files and bad usage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "common/temp_folder.h"
#include "patch/component_stream.h"
#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"
#include "platform/resources.h"

namespace fs = std::filesystem;
using namespace kestrane::patch;
namespace platform = kestrane::platform;
using kestrane::testing::CliRun;

namespace {

constexpr char kShaAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kShaEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string AsString(const kestrane::support::Bytes& b) {
    return {b.begin(), b.end()};
}

class CliTest : public kestrane::testing::TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        RegisterStreamClasses();
        BuildPatch();
    }

    CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") const {
        return kestrane::testing::RunCli(args, dir_, input);
    }

    void BuildPatch() {
        TBaseParamInfo params;
        params.NeedFreeDiskMB = 200;

        TResCollection files;
        files.PatchType = ptProgram;
        files.NotUpdateVersion = true;
        files.Description = "Lumo 'V5' 补丁\r\n第二行";
        TResItem& program = files.Create<TResItem>();
        program.Name = "a.exe";
        program.RelPath = "bin\\";
        program.OptType = otCopy;
        program.DelayTime = 200;
        program.MemStream = {'a', 'b', 'c'};
        TResItem& script = files.Create<TResItem>();
        script.Name = "../evil.sh";
        script.OptType = otExecute;
        script.Waiting = true;

        TInstResCollection sets;
        sets.ClearItems();
        TInstBillResItem& bills = sets.Create<TInstBillResItem>();
        bills.Description = "单据";
        TNodeItem& node = bills.Create<TNodeItem>();
        node.Tag = "1429";
        node.Caption = "资产购买登记单";
        node.ParamNodeType = pntBill;

        paramData_ = AsString(WriteObjectStream(params));
        fileData_ = AsString(WriteObjectStream(files));
        instData_ = AsString(WriteObjectStream(sets));
        patch_ = Put("Patch.exe", "#!/bin/sh\nexit 0\n");
        platform::UpdateRcData(patch_, {{"PARAMDATA", {paramData_.begin(), paramData_.end()}},
                                        {"FILEDATA", {fileData_.begin(), fileData_.end()}},
                                        {"INSTDATA", {instData_.begin(), instData_.end()}}});
    }

    std::string patch_, paramData_, fileData_, instData_;
};

TEST_F(CliTest, ResourcesAreListedWithTypeNameLanguageAndSize) {
    const CliRun text = Cli({"resources", patch_});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "TYPE    NAME       LANG  SIZE\n"
              "RCDATA  PARAMDATA  0     " +
                  std::to_string(paramData_.size()) +
                  "\n"
                  "RCDATA  FILEDATA   0     " +
                  std::to_string(fileData_.size()) +
                  "\n"
                  "RCDATA  INSTDATA   0     " +
                  std::to_string(instData_.size()) + "\n");

    const CliRun json = Cli({"resources", patch_, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto list = nlohmann::json::parse(json.out);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1],
              (nlohmann::json{
                  {"type", "RCDATA"}, {"name", "FILEDATA"}, {"language", 0}, {"size", fileData_.size()}}));
}

TEST_F(CliTest, ExtractWritesTheRawBytes) {
    const CliRun toFile = Cli({"extract", patch_, "filedata", "-o", dir_ + "out.bin"});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(Slurp(dir_ + "out.bin"), fileData_);

    const CliRun toStdout = Cli({"extract", patch_, "INSTDATA", "-o", "-"});
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, instData_);
}

TEST_F(CliTest, DecodeShowsNestedRecordsInTextForm) {
    const CliRun files = Cli({"decode", Put("files.bin", fileData_)});
    ASSERT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(files.out, std::string("object TResCollection\n"
                                     "  PatchType = ptProgram\n"
                                     "  NotCheckVersion = False\n"
                                     "  NotUpdateVersion = True\n"
                                     "  Description = 'Lumo ''V5'' 补丁'#13#10'第二行'\n"
                                     "  object TResItem\n"
                                     "    Name = 'a.exe'\n"
                                     "    RelPath = 'bin\\'\n"
                                     "    OptType = otCopy\n"
                                     "    Waiting = False\n"
                                     "    DelayTime = 200\n"
                                     "    FILEDATA = {3 bytes, SHA-256 ") +
                             kShaAbc +
                             "}\n"
                             "  end\n"
                             "  object TResItem\n"
                             "    Name = '../evil.sh'\n"
                             "    OptType = otExecute\n"
                             "    Waiting = True\n"
                             "    DelayTime = 0\n"
                             "    FILEDATA = {0 bytes, SHA-256 " +
                             kShaEmpty +
                             "}\n"
                             "  end\n"
                             "end\n");

    // Read from standard input; a UTF-16 text (tag 12) and three levels of records.
    const CliRun sets = Cli({"decode"}, instData_);
    ASSERT_EQ(sets.status, 0) << sets.err;
    EXPECT_EQ(sets.out,
              "object TInstResCollection\n"
              "  object TInstBillResItem\n"
              "    Description = '单据'\n"
              "    object TNodeItem\n"
              "      Tag = '1429'\n"
              "      Caption = '资产购买登记单'\n"
              "      TableType = ttData\n"
              "      SQLType = dbtMsSql\n"
              "      ParamNodeType = pntBill\n"
              "    end\n"
              "  end\n"
              "end\n");
}

TEST_F(CliTest, DecodeAsJsonAndWritingTheFilesOut) {
    const std::string out = dir_ + "files/";
    const CliRun r = Cli({"--json", "decode", "-", "--files", out}, fileData_);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto root = nlohmann::json::parse(r.out);
    EXPECT_EQ(root["class"], "TResCollection");
    EXPECT_EQ(root["properties"]["PatchType"], "ptProgram");
    EXPECT_EQ(root["properties"]["NotUpdateVersion"], true);
    EXPECT_EQ(root["properties"]["Description"], "Lumo 'V5' 补丁\r\n第二行");
    ASSERT_EQ(root["children"].size(), 2u);
    const auto& first = root["children"][0]["properties"];
    EXPECT_EQ(first["DelayTime"], 200);
    EXPECT_EQ(
        first["FILEDATA"],
        (nlohmann::json{{"size", 3}, {"sha256", kShaAbc}, {"file", (fs::path(out) / "a.exe").string()}}));

    // A name that would leave the folder is replaced by the item's number.
    EXPECT_EQ(Slurp(out + "a.exe"), "abc");
    EXPECT_TRUE(fs::exists(out + "item2"));
    EXPECT_EQ(fs::file_size(out + "item2"), 0u);
    EXPECT_FALSE(fs::exists(dir_ + "evil.sh"));
}

// ---- files written by the tool: whole or not at all, never through a link ----

using kestrane::testing::FolderEntries;

TEST_F(CliTest, ExtractReplacesItsOutputWhole) {
    const std::string out = Put("out/FILEDATA.bin", "old");
    fs::create_hard_link(out, dir_ + "old.bin");  // another name of the old file
    const CliRun r = Cli({"extract", patch_, "FILEDATA", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(out), fileData_);
    EXPECT_EQ(Slurp(dir_ + "old.bin"), "old");
    EXPECT_EQ(FolderEntries(dir_ + "out"), std::vector<std::string>{"FILEDATA.bin"});
}

TEST_F(CliTest, AWriteKilledPartWayLeavesTheOldFileAndNothingElse) {
    // A resource larger than the file size limit the shell sets: the tool dies in the middle of it.
    std::string noise(256 * 1024, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string big = Put("Big.exe", "#!/bin/sh\n");
    platform::UpdateRcData(big, {{"NOISE", {noise.begin(), noise.end()}}});
    const std::string out = Put("out/noise.bin", "old");
    const std::string command = "ulimit -f 64; exec " + kestrane::testing::ShellQuote(KESTRANE_CLI) +
                                " extract " + kestrane::testing::ShellQuote(big) + " NOISE -o " +
                                kestrane::testing::ShellQuote(out) + " 2>/dev/null";
    const int rc = std::system(("sh -c " + kestrane::testing::ShellQuote(command)).c_str());
    ASSERT_NE(rc, 0) << "the limit did not stop the write";
    EXPECT_TRUE(Slurp(out) == "old") << "the old file was cut: " << Slurp(out).size() << " bytes";
    EXPECT_EQ(FolderEntries(dir_ + "out"), std::vector<std::string>{"noise.bin"});
    ASSERT_EQ(Cli({"extract", big, "NOISE", "-o", out}).status, 0);
    EXPECT_TRUE(Slurp(out) == noise);
}

TEST_F(CliTest, DecodeNeverWritesThroughALinkNorOverAFileUnlessForced) {
    const std::string victim = Put("victim.txt", "precious");
    const std::string stream = Put("files.bin", fileData_);
    fs::create_directories(dir_ + "out");
    fs::create_symlink("../victim.txt", dir_ + "out/a.exe");
    const CliRun linked = Cli({"decode", stream, "--files", dir_ + "out"});
    EXPECT_EQ(linked.status, 1);
    EXPECT_NE(linked.err.find(dir_ + "out/a.exe already exists (--force replaces it)"), std::string::npos)
        << linked.err;
    EXPECT_EQ(Slurp(victim), "precious");
    EXPECT_TRUE(fs::is_symlink(dir_ + "out/a.exe"));

    // Forced, the link itself is replaced by the file; what it pointed to stays as it was.
    const CliRun forced = Cli({"decode", stream, "--files", dir_ + "out", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_FALSE(fs::is_symlink(dir_ + "out/a.exe"));
    EXPECT_EQ(Slurp(dir_ + "out/a.exe"), "abc");
    EXPECT_EQ(Slurp(victim), "precious");

    // A plain file already there is an error too, and is replaced whole when forced.
    const std::string mine = Put("mine/a.exe", "mine");
    fs::create_hard_link(mine, dir_ + "mine.bak");
    EXPECT_EQ(Cli({"decode", stream, "--files", dir_ + "mine"}).status, 1);
    EXPECT_EQ(Slurp(mine), "mine");
    ASSERT_EQ(Cli({"decode", stream, "--files", dir_ + "mine", "--force"}).status, 0);
    EXPECT_EQ(Slurp(mine), "abc");
    EXPECT_EQ(Slurp(dir_ + "mine.bak"), "mine");
}

TEST_F(CliTest, DecodePicksFreeNamesForClashes) {
    TResCollection files;
    for (const auto& [name, content] : {std::pair{"a", "first"}, {"3-a", "second"}, {"a", "third"}}) {
        TResItem& item = files.Create<TResItem>();
        item.Name = name;
        item.OptType = otCopy;
        item.MemStream.assign(content, content + std::strlen(content));
    }
    const CliRun r = Cli({"decode", "-", "--files", dir_ + "out"}, AsString(WriteObjectStream(files)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FolderEntries(dir_ + "out"), (std::vector<std::string>{"3-a", "4-a", "a"}));
    EXPECT_EQ(Slurp(dir_ + "out/a"), "first");
    EXPECT_EQ(Slurp(dir_ + "out/3-a"), "second");
    EXPECT_EQ(Slurp(dir_ + "out/4-a"), "third");
}

TEST_F(CliTest, BadFilesFailWithStatusOneAndBadUsageWithTwo) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string message;  // part of standard error
    };
    const Case cases[] = {
        {"not a stream", {"decode", "-"}, "MZ\x90\x00", 1, "standard input: Invalid stream format"},
        {"cut stream", {"decode"}, fileData_.substr(0, fileData_.size() - 3), 1, "Stream read error"},
        {"unknown class", {"decode"}, std::string("TPF0\x04TFoo\x00\x00\x00", 12), 1, "Class TFoo not found"},
        {"missing stream file", {"decode", dir_ + "none.bin"}, "", 1, "cannot open"},
        {"missing executable", {"resources", dir_ + "none.exe"}, "", 1, "none.exe"},
        {"file without resources", {"resources", Put("plain.txt", "text")}, "", 1, "carries no resources"},
        {"missing resource",
         {"extract", patch_, "OTHER", "-o", dir_ + "x"},
         "",
         1,
         "Resource OTHER not found"},
        {"no command", {}, "", 2, ""},
        {"unknown command", {"frobnicate"}, "", 2, ""},
        {"missing argument", {"extract", patch_}, "", 2, ""},
        {"json to standard output", {"--json", "extract", patch_, "FILEDATA", "-o", "-"}, "", 2, ""},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        if (c.status == 1) {
            EXPECT_EQ(r.out, "") << c.what;
        }
    }
}

}  // namespace
