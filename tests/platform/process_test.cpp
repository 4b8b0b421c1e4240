#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;

namespace {

class ProcessTest : public kestrane::testing::TempFolderTest {};

TEST(SplitCommandLine, WindowsRuntimeRules) {
    struct Case {
        std::string text;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"-x /opt/P/", {"-x", "/opt/P/"}},
        {"  a   b\tc ", {"a", "b", "c"}},
        {"\"with blank\" next", {"with blank", "next"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {R"(C:\P\ x)", {R"(C:\P\)", "x"}},
        {R"("a\"b")", {"a\"b"}},
        {R"("a\\" b)", {R"(a\)", "b"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("say ""hi""")", {R"(say "hi")"}},
        {"\"unterminated quote", {"unterminated quote"}},
        {R"(trailing\)", {R"(trailing\)"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.args) << c.text;
}

TEST_F(ProcessTest, WaitsInWorkingFolderAndGivesExitStatus) {
    ProcessOptions o;
    o.program = "/bin/sh";
    o.arguments = {"-c", "pwd > where.txt; printf '%s|' \"$@\" > args.txt; exit 7", "sh", "one two", "%x"};
    o.workingFolder = dir_;
    EXPECT_EQ(RunProcess(o, true), 7);
    std::string where = Slurp(dir_ + "where.txt");
    ASSERT_FALSE(where.empty());
    where.pop_back();
    EXPECT_EQ(fs::canonical(where), fs::canonical(dir_));
    EXPECT_EQ(Slurp(dir_ + "args.txt"), "one two|%x|");
}

TEST_F(ProcessTest, BareNameIsLookedUpOnPath) {
    ProcessOptions o;
    o.program = "sh";
    o.arguments = {"-c", "kill -9 $$"};
    EXPECT_EQ(RunProcess(o, true), 128 + 9);
    EXPECT_FALSE(FindOnPath("sh").empty());
    EXPECT_EQ(FindOnPath("kestrane-no-such-program"), "");
}

TEST_F(ProcessTest, WithoutWaitingReturnsWhileTheChildRuns) {
    ProcessOptions o;
    o.program = "/bin/sh";
    o.arguments = {"-c", "sleep 0.5; echo done > late.txt"};
    o.workingFolder = dir_;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunProcess(o, false), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_FALSE(fs::exists(dir_ + "late.txt"));
    for (int i = 0; i < 100 && Slurp(dir_ + "late.txt") != "done\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Slurp(dir_ + "late.txt"), "done\n");
}

TEST_F(ProcessTest, StartFailures) {
    std::ofstream(dir_ + "notexec.sh") << "exit 0\n";
    struct Case {
        std::string program, folder;
    };
    const Case cases[] = {
        {dir_ + "absent", ""},
        {"kestrane-no-such-program", ""},
        {dir_ + "notexec.sh", ""},
        {"/bin/sh", dir_ + "no-such-folder"},
    };
    for (const auto& c : cases) {
        ProcessOptions o;
        o.program = c.program;
        o.workingFolder = c.folder;
        EXPECT_THROW(Process::Start(o), EProcessStartError) << c.program << " in " << c.folder;
    }
}

TEST_F(ProcessTest, WaitTwiceFails) {
    ProcessOptions o;
    o.program = "/bin/true";
    Process p = Process::Start(o);
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_THROW(p.Wait(), EProcessError);
}

}  // namespace
