#include "patch/res_items.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "common/env_guard.h"
#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "patch/component_stream.h"
#include "patch/inst_res_items.h"
#include "patch/res_install.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "support/codepage.h"

namespace fs = std::filesystem;
using namespace kestrane::patch;
namespace platform = kestrane::platform;

namespace {

using kestrane::testing::FailsWith;

using kestrane::testing::EnvGuard;

// A temporary folder with an installation folder "Lumo/" in it.
class InstallFolderTest : public kestrane::testing::TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        install_ = dir_ + "Lumo/";
        fs::create_directory(install_);
    }

    // Waits for a file that a process started without waiting writes.
    static std::string Await(const std::string& path, const std::string& want) {
        for (int i = 0; i < 200 && Slurp(path) != want; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        return Slurp(path);
    }
    static TResItem& Add(TResCollection& c, const std::string& name, TKVOperateType type,
                         const std::string& content, const std::string& relPath = "") {
        TResItem& item = c.Create<TResItem>();
        item.Name = name;
        item.OptType = type;
        item.RelPath = relPath;
        item.MemStream.assign(content.begin(), content.end());
        return item;
    }
    std::vector<std::string> EntriesOfRoot() const { return kestrane::testing::FolderEntries(dir_); }

    std::string install_;
};

// ---- filling the list ----

class ResCollectionTest : public InstallFolderTest {};

TEST_F(ResCollectionTest, AddFileReplacesSameNameAndAppends) {
    TResCollection c;
    const std::string first = Put(dir_ + "a/Setup.BAT", "echo one");
    const std::string other = Put(dir_ + "a/readme.txt", "text");
    const std::string second = Put(dir_ + "b/setup.bat", "echo two");

    TResItem& setup = c.AddFile(first);
    EXPECT_EQ(setup.Name, "Setup.BAT");
    EXPECT_EQ(setup.OptType, otExecute);
    EXPECT_EQ(c.AddFile(other).OptType, otCopy);
    TResItem& replaced = c.AddFile(second);
    ASSERT_EQ(c.Count(), 2u);
    EXPECT_EQ(&c.Item(1), &replaced);
    EXPECT_EQ(c.Item(0).Name, "readme.txt");
    EXPECT_EQ(replaced.Name, "setup.bat");
    EXPECT_EQ(std::string(replaced.MemStream.begin(), replaced.MemStream.end()), "echo two");
    EXPECT_EQ(c.FindByName("SETUP.BAT"), &replaced);
    EXPECT_EQ(c.FindByName("absent"), nullptr);
}

TEST_F(ResCollectionTest, ANameThatCannotBeWrittenIntoAPatchIsRefusedWhenAdded) {
    TResCollection c;
    c.AddFile(Put(dir_ + "报表.txt", "a"));
    const std::string bad = Put(dir_ + "报表\xFF.txt", "b");
    EXPECT_TRUE(FailsWith<std::runtime_error>([&] { c.AddFile(bad); },
                                              "文件名“报表?.txt”无法写入补丁，请重命名该文件后再添加"));
    TResItem item;
    EXPECT_TRUE(FailsWith<std::runtime_error>([&] { item.LoadFromFile(bad); },
                                              "文件名“报表?.txt”无法写入补丁，请重命名该文件后再添加"));
    EXPECT_TRUE(item.Name.empty());
    // The list is as it was, and it still makes a patch.
    ASSERT_EQ(c.Count(), 1u);
    EXPECT_EQ(c.Item(0).Name, "报表.txt");
    EXPECT_NO_THROW(WriteObjectStream(c));
}

TEST_F(ResCollectionTest, AddFileOfMissingFileLeavesAnEmptyItem) {
    TResCollection c;
    c.AddFile(Put(dir_ + "readme.txt", "text"));
    TResItem& empty = c.AddFile(dir_ + "gone/readme.txt");
    ASSERT_EQ(c.Count(), 1u);  // the same-named item went first
    EXPECT_EQ(empty.Name, "");
    EXPECT_EQ(empty.OptType, otNone);
    EXPECT_TRUE(empty.MemStream.empty());
}

TEST(ResCollection, FindMoveAndUserFiles) {
    TResCollection c;
    EXPECT_TRUE(c.HasNoUserFiles());
    for (auto [name, type] : {std::pair{"Update.mdb", otProgram}, std::pair{"ver.xml", otVersion}}) {
        TResItem& i = c.Create<TResItem>();
        i.Name = name;
        i.OptType = type;
    }
    EXPECT_TRUE(c.HasNoUserFiles());
    EXPECT_EQ(c.FindByOptType(otVersion), &c.Item(1));
    EXPECT_EQ(c.FindByOptType(otCopy), nullptr);
    TResItem& user = c.Create<TResItem>();
    user.Name = "user.dll";
    user.OptType = otNone;
    EXPECT_FALSE(c.HasNoUserFiles());

    c.MoveItem(2, 0);
    EXPECT_EQ(c.Item(0).Name, "user.dll");
    EXPECT_EQ(c.Item(1).Name, "Update.mdb");
    c.MoveItem(0, 2);
    EXPECT_EQ(c.Item(2).Name, "user.dll");
    EXPECT_THROW(c.MoveItem(3, 0), std::out_of_range);
    c.Description = "d";
    c.ClearItems();
    EXPECT_EQ(c.Count(), 0u);
    EXPECT_EQ(c.Description, "");
}

// ---- where a file goes ----

TEST(ResInstall, TargetFolders) {
    struct Case {
        std::string relPath, installDir;
        TKVOperateType type;
        std::optional<std::string> want;
    };
    const std::string exeFolder = platform::ExtractFilePath(platform::RunningExecutable());
    const Case cases[] = {
        {"", "/P", otCopy, "/P/"},
        {"", "/P/", otCopy, "/P/"},
        {"\\", "/P", otCopy, "/P/"},
        {"\\bin", "/P", otCopy, "/P/bin"},
        {"bin\\sub\\", "/P", otCopy, "/P/bin/sub/"},
        // What is left after the one "\" removed is a separator, as on the system patches come from.
        {"\\\\x", "/P", otCopy, "/P/x"},
        {"\\\\server\\share", "/P/", otCopy, "/P/server/share"},
        {"/etc", "/P", otCopy, "/P/etc"},
        {"bin", "", otProgram, exeFolder},
        {"bin", "", otCopy, std::nullopt},
        {"", "", otNone, std::nullopt},
    };
    for (const auto& c : cases) {
        TResItem item;
        item.RelPath = c.relPath;
        item.OptType = c.type;
        EXPECT_EQ(ItemTargetFolder(item, c.installDir), c.want) << c.relPath << " in " << c.installDir;
    }
}

TEST(ResInstall, PathsLeavingTheInstallationFolderAreRefused) {
    struct Case {
        std::string name, relPath;
        bool refused;
    };
    const Case cases[] = {
        {"a.dll", "", false},
        {"a.dll", "\\bin\\x64", false},
        {"a..b.dll", "..data", false},
        {"", "", true},
        {".", "", true},
        {"..", "", true},
        {"../a.dll", "", true},
        {"sub/a.dll", "", true},
        {"sub\\a.dll", "", true},
        {"a.dll", "..", true},
        {"a.dll", "bin\\..\\..\\etc", true},
        {"a.dll", "bin/../../etc", true},
        {"a.dll", "\\\\server\\share", false},
        {"a.dll", "/etc", false},
        {"a.dll", "C:\\Windows", true},
        {"a.dll", "d:", true},
    };
    for (const auto& c : cases) {
        TResItem item;
        item.Name = c.name;
        item.RelPath = c.relPath;
        EXPECT_EQ(!CheckItemPaths(item).empty(), c.refused) << c.name << " / " << c.relPath;
    }
    TResItem item;
    item.Name = "../x";
    EXPECT_EQ(CheckItemPaths(item), "文件名“../x”不是有效的文件名");
    item.Name = "x";
    item.RelPath = "..\\up";
    EXPECT_EQ(CheckItemPaths(item), "相对路径“..\\up”指向安装目录之外");
}

TEST(ResInstall, CommandLines) {
    struct Case {
        std::string name, param, commandLine, program;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"run.bat", "-x %PATH%", "/bin/sh /C \"/P/run.bat -x /P/\"", "/bin/sh", {"/P/run.bat", "-x", "/P/"}},
        {"RUN.BAT", "", "/bin/sh /C \"/P/RUN.BAT \"", "/bin/sh", {"/P/RUN.BAT"}},
        {"go.sh", "%path%x \"a b\"", "/P/go.sh /P/x \"a b\"", "/bin/sh", {"/P/go.sh", "/P/x", "a b"}},
        {"go.cmd", "%Path%", "/P/go.cmd /P/", "/bin/sh", {"/P/go.cmd", "/P/"}},
        {"setup", "-q %PATH%%PATH%", "/P/setup -q /P//P/", "/P/setup", {"-q", "/P//P/"}},
    };
    for (const auto& c : cases) {
        TResItem item;
        item.Name = c.name;
        item.Param = c.param;
        const TExecuteCommand cmd = BuildExecuteCommand(item, "/P/", "/P/" + c.name);
        EXPECT_EQ(cmd.CommandLine, c.commandLine) << c.name;
        EXPECT_EQ(cmd.Options.program, c.program) << c.name;
        EXPECT_EQ(cmd.Options.arguments, c.args) << c.name;
        EXPECT_EQ(cmd.Options.workingFolder, "/P/");
    }
}

// ---- installing ----

class ResInstallTest : public InstallFolderTest {};

TEST_F(ResInstallTest, CopiesIntoRelativeFoldersAndCreatesThem) {
    TResCollection c;
    Add(c, "a.dll", otCopy, "A");
    Add(c, "b.dll", otCopy, "B", "\\bin\\x64");
    Add(c, "c.dat", otProgram, "C", "\\");
    std::vector<std::string> log, errors;
    EXPECT_TRUE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(Slurp(install_ + "a.dll"), "A");
    EXPECT_EQ(Slurp(install_ + "bin/x64/b.dll"), "B");
    EXPECT_EQ(Slurp(install_ + "c.dat"), "C");
    EXPECT_EQ(log, (std::vector<std::string>{"程序文件“a.dll”升级【成功】", "程序文件“b.dll”升级【成功】",
                                             "程序文件“c.dat”升级【成功】"}));
    EXPECT_TRUE(errors.empty());
    // Nothing beside the target: no temporary file is left.
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(install_)) files += e.is_regular_file();
    EXPECT_EQ(files, 2u);
}

// ---- program files as a user of this platform expects them ----

TEST_F(ResInstallTest, ReplacedFilesKeepTheirModeAndNewProgramsCanStart) {
    const std::string client = Put(install_ + "LumoClient", "old");
    fs::permissions(client, fs::perms(0750));
    const std::string library = Put(install_ + "lib.so", "old");
    fs::permissions(library, fs::perms(0640));
    const std::string elf(
        "\x7F"
        "ELF\x02\x01\x01",
        7);
    TResCollection c;
    Add(c, "LumoClient", otCopy, elf);
    Add(c, "lib.so", otCopy, elf);
    Add(c, "Fenwupd", otCopy, elf);
    Add(c, "update.sh", otCopy, "#!/bin/sh\necho\n");
    Add(c, "notes.txt", otCopy, "# not a script, no #! in front");
    Add(c, "data.bin", otCopy,
        "\x7F"
        "EL");
    std::vector<std::string> log, errors;
    ASSERT_TRUE(c.InstallAll(install_, log, errors)) << errors.front();
    const std::uint32_t plain = platform::DefaultFileMode();
    const std::uint32_t program = plain | (plain & 0444u) >> 2;
    const struct {
        const char* name;
        std::uint32_t mode;
    } cases[] = {{"LumoClient", 0750},   {"lib.so", 0640},     {"Fenwupd", program},
                 {"update.sh", program}, {"notes.txt", plain}, {"data.bin", plain}};
    for (const auto& k : cases)
        EXPECT_EQ(platform::GetFileAttributes(install_ + k.name)->mode, k.mode) << k.name;
    EXPECT_EQ(Slurp(client), elf);
}

TEST_F(ResInstallTest, ATargetInAnotherLetterCaseIsTheFileReplaced) {
    Put(install_ + "LumoClient.exe", "old client");
    Put(install_ + "bin/Tool.DLL", "old tool");
    TResCollection c;
    Add(c, "LumoClient.EXE", otCopy, "new client");
    Add(c, "tool.dll", otCopy, "new tool", "bin");
    std::vector<std::string> log, errors;
    ASSERT_TRUE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(Slurp(install_ + "LumoClient.exe"), "new client");
    EXPECT_EQ(Slurp(install_ + "bin/Tool.DLL"), "new tool");
    EXPECT_EQ(std::distance(fs::directory_iterator(install_), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(install_ + "bin"), fs::directory_iterator()), 1);
    EXPECT_EQ(log[0], "程序文件“LumoClient.EXE”升级【成功】");
}

TEST_F(ResInstallTest, TwoFilesDifferingOnlyInCaseMakeTheItemFail) {
    Put(install_ + "a.exe", "one");
    Put(install_ + "A.exe", "two");
    TResCollection c;
    Add(c, "A.EXE", otCopy, "new");
    std::vector<std::string> log, errors;
    EXPECT_FALSE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(errors,
              std::vector<std::string>{"程序文件“A.EXE”升级【失败】，详细信息如下：“目标目录中有多个文件与"
                                       "“A.EXE”仅大小写不同：A.exe, a.exe”"});
    EXPECT_EQ(Slurp(install_ + "a.exe"), "one");
    EXPECT_EQ(Slurp(install_ + "A.exe"), "two");
    EXPECT_FALSE(fs::exists(install_ + "A.EXE"));
}

TEST_F(ResInstallTest, TwoLeadingBackslashesStayInsideTheInstallationFolder) {
    TResCollection c;
    Add(c, "x.dll", otCopy, "X", "\\\\sub\\deeper");
    std::vector<std::string> log, errors;
    ASSERT_TRUE(c.InstallAll(install_, log, errors)) << errors.front();
    EXPECT_EQ(Slurp(install_ + "sub/deeper/x.dll"), "X");
    EXPECT_EQ(EntriesOfRoot(), std::vector<std::string>{"Lumo"});
}

TEST_F(ResInstallTest, NamesUpTo255BytesInstallAndReplace) {
    TResCollection c;
    for (const std::size_t length : {248u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".dll";
        Put(install_ + name, "old");
        TResItem& item = Add(c, name, otCopy, "new");
        std::string error;
        EXPECT_TRUE(item.InstallItem(install_, error)) << length << ": " << error;
        EXPECT_EQ(Slurp(install_ + name), "new") << length;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(install_), fs::directory_iterator()), 2);
}

TEST_F(ResInstallTest, AnInstallKilledWhileWritingLeavesTheOldFileAndNothingElse) {
    const std::string target = Put(install_ + "big.dat", "old");
    TResCollection c;
    TResItem& big = Add(c, "big.dat", otCopy, std::string(1 << 20, 'x'));
    // The file size limit kills the process part-way through the write, as kill -9 would.
    const auto killedWhileWriting = [&] {
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        big.InstallItem(install_, error);
        std::exit(0);
    };
    EXPECT_EXIT(killedWhileWriting(), ::testing::KilledBySignal(SIGXFSZ), "");
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(install_), fs::directory_iterator()), 1);
}

TEST_F(ResInstallTest, ADeepRelPathThatFailsPartWayLeavesNoFolders) {
    TResCollection c;
    Add(c, "x.dll", otCopy, "X", "new\\deeper\\" + std::string(300, 'n'));
    std::vector<std::string> log, errors;
    EXPECT_THROW(c.InstallAll(install_, log, errors), platform::EFileSystemError);
    EXPECT_FALSE(fs::exists(install_ + "new"));
}

TEST_F(ResInstallTest, ReadOnlyTargetIsReplacedAndStaysReadOnly) {
    const std::string target = Put(install_ + "ro.dll", "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    TResCollection c;
    Add(c, "ro.dll", otCopy, "new");
    std::string error;
    ASSERT_TRUE(c.Item(0).InstallItem(install_, error)) << error;
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::group_read);
}

TEST_F(ResInstallTest, NoneTouchesNothing) {
    const std::string target = Put(install_ + "keep.ini", "mine");
    fs::permissions(target, fs::perms::owner_read);
    TResCollection c;
    Add(c, "keep.ini", otNone, "theirs");
    Add(c, "fresh.ini", otNone, "theirs");
    std::vector<std::string> log, errors;
    EXPECT_TRUE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(Slurp(target), "mine");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read);
    EXPECT_FALSE(fs::exists(install_ + "fresh.ini"));
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(ResInstallTest, RefusedItemsFailAndTheOthersGoOn) {
    TResCollection c;
    Add(c, "../evil.sh", otCopy, "x");
    Add(c, "evil.sh", otExecute, "touch pwned", "..\\..");
    Add(c, "good.txt", otCopy, "ok");
    std::vector<std::string> log, errors;
    EXPECT_FALSE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(EntriesOfRoot(), std::vector<std::string>{"Lumo"});
    EXPECT_FALSE(fs::exists(fs::path(dir_).parent_path().parent_path() / "pwned"));
    EXPECT_EQ(Slurp(install_ + "good.txt"), "ok");
    const std::vector<std::string> failures{
        "程序文件“../evil.sh”升级【失败】，详细信息如下：“文件名“../evil.sh”不是有效的文件名”",
        "程序文件“evil.sh”升级【失败】，详细信息如下：“相对路径“..\\..”指向安装目录之外”"};
    EXPECT_EQ(errors, failures);
    EXPECT_EQ(log, (std::vector<std::string>{failures[0], failures[1], "程序文件“good.txt”升级【成功】"}));
}

TEST_F(ResInstallTest, FolderThatCannotBeCreatedStopsTheRun) {
    Put(install_ + "blocker", "a file where a folder should be");
    TResCollection c;
    Add(c, "a.txt", otCopy, "A");
    Add(c, "b.txt", otCopy, "B", "blocker\\sub");
    Add(c, "c.txt", otCopy, "C");
    std::vector<std::string> log, errors;
    EXPECT_THROW(c.InstallAll(install_, log, errors), platform::EFileSystemError);
    EXPECT_EQ(log, std::vector<std::string>{"程序文件“a.txt”升级【成功】"});
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(fs::exists(install_ + "c.txt"));

    TResItem item;
    item.Name = "x.txt";
    item.OptType = otCopy;
    std::string error;
    EXPECT_TRUE(FailsWith<platform::EFileSystemError>([&] { item.InstallItem("", error); },
                                                      "Unable to create directory"));
}

TEST_F(ResInstallTest, ProgramFileWithoutInstallFolderGoesBesideTheProgram) {
    const std::string name = "kestrane-res-test-" + std::to_string(::getpid()) + ".dat";
    const std::string target = platform::ExtractFilePath(platform::RunningExecutable()) + name;
    TResCollection c;
    Add(c, name, otProgram, "P");
    std::string error;
    EXPECT_TRUE(c.Item(0).InstallItem("", error)) << error;
    EXPECT_EQ(Slurp(target), "P");
    fs::remove(target);
}

TEST_F(ResInstallTest, ShippedScriptsRunInTheirFolderWithParameters) {
    TResCollection c;
    // The .bat line is one both interpreters understand.
    TResItem& bat = Add(c, "mark.bat", otExecute, "echo bat> bat-marker.txt\n", "\\tools");
    bat.Waiting = true;
    TResItem& sh =
        Add(c, "mark.sh", otExecute, "printf '%s\\n' \"$@\" > sh-marker.txt; pwd >> sh-marker.txt\n");
    sh.Param = "-x %Path% \"two words\" %PATH%sub";
    sh.Waiting = true;
    std::vector<std::string> log, errors;
    ASSERT_TRUE(c.InstallAll(install_, log, errors)) << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(Slurp(install_ + "tools/bat-marker.txt"), "bat\n");
    const std::string canonical = fs::canonical(install_).string();
    EXPECT_EQ(Slurp(install_ + "sh-marker.txt"),
              "-x\n" + install_ + "\ntwo words\n" + install_ + "sub\n" + canonical + "\n");
}

TEST_F(ResInstallTest, WithoutWaitingTheRunGoesOnAndDelayPauses) {
    TResCollection c;
    TResItem& late = Add(c, "late.sh", otExecute, "sleep 0.5; echo late > late.txt\n");
    TResItem& delayed = Add(c, "delay.sh", otExecute, "echo quick > quick.txt\n");
    delayed.DelayTime = 300;

    const auto start = std::chrono::steady_clock::now();
    std::string error;
    ASSERT_TRUE(late.InstallItem(install_, error)) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_FALSE(fs::exists(install_ + "late.txt"));

    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(delayed.InstallItem(install_, error)) << error;
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_EQ(Slurp(install_ + "quick.txt"), "quick\n");  // the pause gave it the time to finish
    EXPECT_EQ(Await(install_ + "late.txt", "late\n"), "late\n");
}

TEST_F(ResInstallTest, ExecutablesAreStartedDirectly) {
    TResCollection c;
    TResItem& tool = Add(c, "tool", otExecute, "#!/bin/sh\necho \"$1\" > tool.txt\n");
    tool.Param = "%PATH%";
    tool.Waiting = true;
    std::string error;
    ASSERT_TRUE(tool.InstallItem(install_, error)) << error;
    EXPECT_EQ(Slurp(install_ + "tool.txt"), install_ + "\n");
    EXPECT_NE(fs::status(install_ + "tool").permissions() & fs::perms::owner_exec, fs::perms::none);

    TResItem& junk = Add(c, "junk.exe", otExecute, std::string("\x7F\x01\x02", 3));
    junk.Param = "-a %PATH%";
    EXPECT_FALSE(junk.InstallItem(install_, error));
    EXPECT_EQ(error, "执行失败：" + install_ + "junk.exe -a %PATH%");
    EXPECT_TRUE(fs::exists(install_ + "junk.exe"));  // written before the start failed
}

TEST_F(ResInstallTest, VbsRunsThroughWscriptOnlyWhenPresent) {
    TResCollection c;
    TResItem& vbs = Add(c, "job.vbs", otExecute, "WScript.Echo 1\n");
    vbs.Param = "/q %PATH%";
    vbs.Waiting = true;
    std::string error;
    {
        EnvGuard path("PATH", dir_ + "empty-bin");
        EXPECT_FALSE(vbs.InstallItem(install_, error));
        EXPECT_EQ(error, "执行失败：wscript \"" + install_ + "job.vbs /q %PATH%\"");
    }
    const std::string bin = dir_ + "bin/";
    Put(bin + "wscript", "#!/bin/sh\nprintf '%s|' \"$@\" > wscript.txt\n");
    fs::permissions(bin + "wscript", fs::perms::owner_all);
    EnvGuard path("PATH", bin + ":/usr/bin:/bin");
    ASSERT_TRUE(vbs.InstallItem(install_, error)) << error;
    EXPECT_EQ(Slurp(install_ + "wscript.txt"), install_ + "job.vbs|/q|" + install_ + "|");
}

TEST_F(ResInstallTest, UpdateClientIsRegisteredForLogon) {
    EnvGuard config("XDG_CONFIG_HOME", dir_ + "config");
    TResCollection c;
    Add(c, "fenwupd.EXE", otCopy, "client", "\\Update");
    Add(c, "other.exe", otCopy, "x");
    std::vector<std::string> log, errors;
    ASSERT_TRUE(c.InstallAll(install_, log, errors));
    EXPECT_EQ(platform::RegisteredAutorun(), install_ + "Update/fenwupd.EXE");
}

TEST_F(ResInstallTest, ProgressPositionsCountTheVersionItem) {
    struct Report {
        const void* sender;
        TKVParamNodeType type;
        std::string msg;
        int position, maximum;
        bool operator==(const Report&) const = default;
    };
    for (bool versionFirst : {false, true}) {
        TResCollection c;
        if (versionFirst) Add(c, "ver.xml", otVersion, "<v/>");
        Add(c, "a.txt", otCopy, "A");
        Add(c, "b.txt", otCopy, "B");
        if (!versionFirst) Add(c, "ver.xml", otVersion, "<v/>");
        std::vector<Report> reports;
        c.OnProgress = [&](const void* sender, TKVParamNodeType type, const std::string& msg, int pos,
                           int max) {
            reports.push_back({sender, type, msg, pos, max});
        };
        std::vector<std::string> log, errors;
        ASSERT_TRUE(c.InstallAll(install_, log, errors));
        const int p = versionFirst ? 2 : 1;
        EXPECT_EQ(reports,
                  (std::vector<Report>{
                      {&c, pntOther, "正在复制文件（" + std::to_string(p) + "/3）：a.txt……", p, 3},
                      {&c, pntOther, "正在复制文件（" + std::to_string(p + 1) + "/3）：b.txt……", p + 1, 3}}));
        EXPECT_FALSE(fs::exists(install_ + "ver.xml"));
    }
}

TEST_F(ResInstallTest, StreamedPatchInstallsAndIsLogged) {
    RegisterStreamClasses();
    TResCollection made;
    made.PatchType = ptProgram;
    TResItem& copy = made.AddFile(Put(dir_ + "src/lib.dll", "library"));
    copy.RelPath = "\\bin";
    TResItem& run = made.AddFile(Put(dir_ + "src/setup.bat", "echo \"$1\" > setup-ran.txt\n"));
    run.Param = "%PATH%";
    run.Waiting = true;
    made.AddFile(Put(dir_ + "src/user.cfg", "shipped")).OptType = otNone;
    made.AddFile(Put(dir_ + "src/Update.mdb", "db")).OptType = otProgram;
    made.AddFile(Put(dir_ + "src/version.xml", "<v/>")).OptType = otVersion;
    Put(install_ + "user.cfg", "local");

    // Through a patch executable's resource, as the installer gets it.
    const std::string patchFile = Put(dir_ + "Patch.exe", "program bytes");
    platform::UpdateRcData(patchFile, {{"FILEDATA", WriteObjectStream(made)}});
    TResCollection loaded;
    ReadObjectStream(platform::ResourceFile::Open(patchFile)->ReadRcData("FILEDATA"), loaded);
    ASSERT_EQ(loaded.Count(), 5u);
    EXPECT_EQ(loaded.PatchType, ptProgram);
    std::vector<std::string> fullLog, detailLog;
    ASSERT_TRUE(loaded.InstallAll(install_, fullLog, detailLog));
    EXPECT_EQ(Slurp(install_ + "bin/lib.dll"), "library");
    EXPECT_EQ(Slurp(install_ + "setup-ran.txt"), install_ + "\n");
    EXPECT_EQ(Slurp(install_ + "user.cfg"), "local");
    EXPECT_EQ(Slurp(install_ + "Update.mdb"), "db");
    EXPECT_FALSE(fs::exists(install_ + "version.xml"));
    EXPECT_TRUE(detailLog.empty());

    std::string text;
    for (const auto& line : fullLog) text += line + "\r\n";
    TLogManager logManager(install_);
    logManager.Now = [] { return std::time_t{1796893984}; };
    ASSERT_TRUE(logManager.Write(text));
    const std::string logText = kestrane::support::Cp936ToUtf8(Slurp(install_ + "PatchLog.log"));
    const std::string stamp = UpgradeLogTimeStamp(1796893984);
    EXPECT_EQ(logText, "[升级时间：" + stamp + "]\r\n详细信息=\r\n" + text + "\r\n\r\n");
    EXPECT_NE(logText.find("程序文件“setup.bat”升级【成功】"), std::string::npos);
}

}  // namespace
