#include "platform/process_list.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;

namespace {

class ProcessListTest : public kestrane::testing::TempFolderTest {
  protected:
    // A process-table entry whose executable link points at `exe` (none when empty).
    void FakeProcess(const std::string& id, const std::string& exe) const {
        fs::create_directories(dir_ + "proc/" + id);
        if (!exe.empty()) fs::create_symlink(exe, dir_ + "proc/" + id + "/exe");
    }
};

TEST(ProcessList, SortedWithoutLetterCaseAndFirstOfANameKept) {
    ProcessList list;
    EXPECT_TRUE(list.Add("b.exe", 7));
    EXPECT_TRUE(list.Add("LumoClient.exe", 9));
    EXPECT_TRUE(list.Add("a.exe", 3));
    EXPECT_FALSE(list.Add("LUMOCLIENT.EXE", 10));
    EXPECT_EQ(list.Entries(),
              (std::vector<RunningProcess>{{"a.exe", 3}, {"b.exe", 7}, {"LumoClient.exe", 9}}));
    ASSERT_NE(list.Find("lumoclient.exe"), nullptr);
    EXPECT_EQ(list.Find("lumoclient.exe")->Id, 9);
    EXPECT_EQ(list.Find("lumoclient"), nullptr);
    EXPECT_EQ(list.Find(""), nullptr);
}

TEST_F(ProcessListTest, TableReadInProcessNumberOrderByExecutableFileName) {
    FakeProcess("1200", "/opt/lumo/lumoclient.EXE");
    FakeProcess("35", "/opt/lumo/LumoClient.exe");
    FakeProcess("36", "/opt/lumo/LumoSysMng.exe (deleted)");
    FakeProcess("37", "");                   // a kernel thread: no executable
    FakeProcess("abc", "/usr/bin/nothing");  // not a process
    FakeProcess(std::to_string(::getpid()), "/opt/lumo/Patch.exe");
    ProcessList list;
    list.Add("stale.exe", 1);
    ListProcesses(list, dir_ + "proc");
    EXPECT_EQ(list.Entries(), (std::vector<RunningProcess>{{"LumoClient.exe", 35}, {"LumoSysMng.exe", 36}}));
    ListProcesses(list, dir_ + "no-such-table");
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(ProcessListTest, ARealProcessIsFoundByNameAndEnded) {
    const std::string exe = dir_ + "KstProbe.EXE";
    fs::copy_file("/bin/sleep", exe);
    fs::permissions(exe, fs::perms::owner_all);
    ProcessOptions options;
    options.program = exe;
    options.arguments = {"30"};
    Process child = Process::Start(options);
    ProcessList list;
    ListProcesses(list);
    const RunningProcess* found = list.Find("kstprobe.exe");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Id, child.Pid());
    std::string error;
    EXPECT_TRUE(TerminateProcessById(found->Id, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(child.Wait(), 128 + 9);
    // Gone now: a process that cannot be found counts as ended.
    EXPECT_TRUE(TerminateProcessById(found->Id, error));
}

TEST(TerminateProcessById, NumbersThatNameNoProcessCountAsEnded) {
    std::string error = "left over";
    for (const ProcessId id : {ProcessId{0}, ProcessId{-1}, ProcessId{INT_MAX}, ProcessId{INT_MAX} + 5})
        EXPECT_TRUE(TerminateProcessById(id, error)) << id;
    EXPECT_EQ(error, "");
}

TEST(TerminateProcessById, AProcessThatMayNotBeEndedGivesTheReason) {
    if (::geteuid() != 0) {
        std::string error;
        EXPECT_FALSE(TerminateProcessById(1, error));
        EXPECT_EQ(error, "Operation not permitted");
        return;
    }
    // Root may end every process: a child running as nobody tries to end this one.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        std::string error;
        const bool ended = TerminateProcessById(::getppid(), error);
        ::_exit(!ended && error == "Operation not permitted" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
