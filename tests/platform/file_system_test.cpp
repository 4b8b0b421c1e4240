#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>
#include <vector>

#include "common/expect_error.h"
#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;

namespace {

using kestrane::testing::Caught;
using kestrane::testing::FailsWith;

class FileSystemTest : public kestrane::testing::TempFolderTest {};

TEST(FilePaths, Pieces) {
    struct Case {
        std::string path, name, folder, ext;
    };
    const Case cases[] = {
        {"/opt/app/Setup.BAT", "Setup.BAT", "/opt/app/", ".BAT"},
        {"plain", "plain", "", ""},
        {"/opt/app/", "", "/opt/app/", ""},
        {"/opt/a.b/noext", "noext", "/opt/a.b/", ""},
        {"/x/archive.tar.gz", "archive.tar.gz", "/x/", ".gz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
        EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
}

TEST(FilePaths, PlainFileNames) {
    const struct {
        std::string_view name;
        bool plain;
    } cases[] = {
        {"setup.sh", true}, {"新功能说明.txt", true},
        {"..x", true},      {".hidden", true},
        {"", false},        {".", false},
        {"..", false},      {"a/b", false},
        {"/abs", false},    {"sub\\x.dll", false},
        {"a\\", false},     {std::string_view("a\0b", 3), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
}

TEST_F(FileSystemTest, ForceDirectoriesCreatesEveryMissingParent) {
    const std::string deep = dir_ + "a/b/c/";
    ForceDirectories(deep);
    EXPECT_TRUE(DirectoryExists(deep));
    ForceDirectories(deep);  // existing: no failure
    EXPECT_FALSE(FileExists(deep));
}

TEST_F(FileSystemTest, ForceDirectoriesRemovesWhatItMadeWhenItFailsPartWay) {
    Put("kept/old.txt", "x");
    const std::string deep = dir_ + "kept/new/deeper/" + std::string(300, 'n');
    EXPECT_THROW(ForceDirectories(deep), EFileSystemError);
    EXPECT_FALSE(DirectoryExists(dir_ + "kept/new"));
    EXPECT_TRUE(FileExists(dir_ + "kept/old.txt"));
}

TEST_F(FileSystemTest, ForceDirectoriesFailures) {
    EXPECT_TRUE(FailsWith<EFileSystemError>([&] { ForceDirectories(""); }, "Unable to create directory"));
    std::ofstream(dir_ + "blocker") << "x";
    const auto e = Caught<EFileSystemError>([&] { ForceDirectories(dir_ + "blocker/sub/deeper"); });
    ASSERT_TRUE(e);
    EXPECT_NE(std::string(e->what()).find("blocker/sub"), std::string::npos) << e->what();
}

TEST_F(FileSystemTest, WriteFileReplacingLeavesOnlyTheTarget) {
    const std::string target = dir_ + "data.bin";
    std::ofstream(target) << "old content that is longer";
    const std::vector<std::uint8_t> bytes{0, 1, 2, 0xFF};
    WriteFileReplacing(target, bytes);
    EXPECT_EQ(ReadFileBytes(target), bytes);
    EXPECT_EQ(GetFileAttributes(target)->mode, DefaultFileMode());
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(FileSystemTest, WriteFileReplacingKeepsGivenModeAndReplacesReadOnlyFile) {
    const std::string target = dir_ + "ro.txt";
    std::ofstream(target) << "old";
    SetReadOnly(target, true);
    const auto before = GetFileAttributes(target);
    ASSERT_TRUE(before && before->ReadOnly());
    WriteFileReplacing(target, std::string_view("new"), {.mode = before->mode});
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(GetFileAttributes(target), before);
}

TEST_F(FileSystemTest, WriteFileReplacingIntoMissingFolderFails) {
    EXPECT_THROW(WriteFileReplacing(dir_ + "missing/x.txt", std::string_view("x")), EFileSystemError);
    EXPECT_FALSE(DirectoryExists(dir_ + "missing"));
}

TEST_F(FileSystemTest, PendingFileReplacesTheTargetOnlyWhenCommitted) {
    const std::string target = Put("patch.exe", "old");
    {
        TPendingFile dropped(target);
        std::ofstream(dropped.Path()) << "half";
    }
    EXPECT_EQ(Slurp(target), "old");
    TPendingFile pending(target);
    std::ofstream(pending.Path()) << "new";
    EXPECT_EQ(Slurp(target), "old");
    pending.Commit();
    EXPECT_EQ(Slurp(target), "new");
    // Only the target is left: neither temporary stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(FileSystemTest, TempFolderIsGoneWithAllItHolds) {
    std::string dir;
    {
        TTempFolder folder("kestrane-test");
        dir = folder.Dir();
        EXPECT_EQ(dir.back(), '/');
        EXPECT_TRUE(FolderWritable(dir));
        ForceDirectories(dir + "a/b");
        WriteFileReplacing(dir + "a/b/c.txt", std::string_view("x"));
        EXPECT_NE(TTempFolder("kestrane-test").Dir(), dir);
    }
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_FALSE(FolderWritable(dir));
}

TEST_F(FileSystemTest, FileUpdatableIsAReadAndWritableRegularFile) {
    const std::string plain = Put("plain.exe", "MZ");
    const std::string readOnly = Put("read-only.exe", "MZ");
    SetFileAttributes(readOnly, {0444});
    ASSERT_EQ(::mkfifo((dir_ + "fifo").c_str(), 0600), 0);
    fs::create_symlink(plain, dir_ + "link");
    fs::create_symlink(dir_ + "missing", dir_ + "dangling");
    fs::create_directory(dir_ + "folder");
    const std::pair<std::string, bool> cases[] = {
        {plain, true},
        {dir_ + "link", true},
        // The owner of everything may write a read-only file.
        {readOnly, ::geteuid() == 0},
        {dir_ + "missing", false},
        {dir_ + "dangling", false},
        {dir_ + "folder", false},
        {dir_ + "fifo", false},  // and the probe does not wait for a writer
    };
    for (const auto& [path, updatable] : cases) EXPECT_EQ(FileUpdatable(path), updatable) << path;
    EXPECT_EQ(fs::file_size(plain), 2u);  // the probe leaves the content alone
}

// What a pending file becomes is read as the file it replaced was, or as any new file is.
TEST_F(FileSystemTest, PendingFileTakesTheModeOfTheTarget) {
    const std::string kept = Put("kept.bin", "old");
    SetFileAttributes(kept, {0640});
    const std::pair<std::string, std::uint32_t> cases[] = {{kept, 0640},
                                                           {dir_ + "new.bin", DefaultFileMode()}};
    for (const auto& [target, mode] : cases) {
        SCOPED_TRACE(target);
        TPendingFile pending(target);
        std::ofstream(pending.Path()) << "new";
        pending.Commit();
        EXPECT_EQ(GetFileAttributes(target)->mode, mode);
    }
}

// A file replaced by a process run as root (an install) stays its owner's: the product user can still
// update it. Set-id bits survive the change of owner.
TEST_F(FileSystemTest, AReplacedFileKeepsItsOwnerAndGroup) {
    const bool root = ::geteuid() == 0;
    if (!root) std::cout << "not root: a file cannot be given to another user, so owners are not compared\n";
    const uid_t owner = root ? 4321 : ::geteuid();
    const gid_t group = root ? 8765 : ::getegid();
    const struct {
        const char* name;
        std::function<void(const std::string&)> replace;
        std::uint32_t mode;
    } cases[] = {
        {"replacement", [](const std::string& t) { WriteFileReplacing(t, std::string_view("new")); }, 06755},
        {"replacement with a mode",
         [](const std::string& t) { WriteFileReplacing(t, std::string_view("new"), {.mode = 02750}); },
         02750},
        {"replacement through a link",
         [this](const std::string&) {
             WriteFileReplacing(dir_ + "link", std::string_view("new"), {.throughLink = true});
         },
         06755},
        {"pending file",
         [](const std::string& t) {
             TPendingFile pending(t);
             std::ofstream(pending.Path()) << "new";
             pending.Commit();
         },
         06755},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = Put("owned.bin", "old");
        fs::remove(dir_ + "link");
        fs::create_symlink(target, dir_ + "link");
        ASSERT_EQ(::chown(target.c_str(), owner, group), 0);
        SetFileAttributes(target, {06755});
        c.replace(target);
        EXPECT_EQ(Slurp(target), "new");
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777u, c.mode);
        if (root) {
            EXPECT_EQ(st.st_uid, owner);
            EXPECT_EQ(st.st_gid, group);
        }
    }
}

// ---- replacing files ----

using kestrane::testing::FolderEntries;

TEST_F(FileSystemTest, ReplacementAppearsWholeAtCommitAndNothingBefore) {
    const std::string target = Put("a.txt", "old");
    {
        TReplacementFile dropped(target);
        dropped.Write(std::string_view("half"));
        EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"a.txt"})
            << "an unnamed file while it is written";
    }
    EXPECT_EQ(Slurp(target), "old");
    TReplacementFile file(target);
    file.Write(std::string_view("new "));
    file.Write(std::vector<std::uint8_t>{'c', 'o', 'n', 't', 'e', 'n', 't'});
    EXPECT_EQ(Slurp(target), "old");
    file.Commit();
    EXPECT_EQ(Slurp(target), "new content");
    EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"a.txt"});
}

TEST_F(FileSystemTest, ReplacementTakesTheModeOfTheFileItReplaces) {
    const std::string target = Put("tool", "old");
    SetFileAttributes(target, FileAttributes{0750});
    WriteFileReplacing(target, std::string_view("new"));
    EXPECT_EQ(GetFileAttributes(target)->mode, 0750u);
    WriteFileReplacing(dir_ + "fresh", std::string_view("x"));
    EXPECT_EQ(GetFileAttributes(dir_ + "fresh")->mode, DefaultFileMode());
    WriteFileReplacing(target, std::string_view("given"), {.mode = 0604});
    EXPECT_EQ(GetFileAttributes(target)->mode, 0604u);
}

TEST_F(FileSystemTest, NamesAsLongAsTheFileSystemAllowsAreReplaced) {
    for (const std::size_t length : {248u, 255u}) {
        const std::string target = dir_ + std::string(length, 'n');
        WriteFileReplacing(target, std::string_view("first"));
        WriteFileReplacing(target, std::string_view("second"));
        EXPECT_EQ(Slurp(target), "second") << length;
    }
    EXPECT_EQ(FolderEntries(dir_).size(), 2u);
}

TEST_F(FileSystemTest, KeepExistingNeverReplacesNorWritesThroughALink) {
    const std::string victim = Put("victim.txt", "precious");
    fs::create_directory(dir_ + "out");
    fs::create_symlink("../victim.txt", dir_ + "out/link.txt");
    Put("out/there.txt", "was here");
    for (const std::string name : {"link.txt", "there.txt"}) {
        TReplacementFile file(dir_ + "out/" + name, {.keepExisting = true});
        file.Write(std::string_view("attack"));
        const auto e = Caught<EFileSystemError>([&] { file.Commit(); });
        ASSERT_TRUE(e) << name;
        EXPECT_EQ(e->Code(), EEXIST);
        EXPECT_EQ(std::string(e->what()), "Cannot create file " + dir_ + "out/" + name + ": File exists");
    }
    EXPECT_EQ(Slurp(victim), "precious");
    EXPECT_EQ(Slurp(dir_ + "out/there.txt"), "was here");
    EXPECT_TRUE(fs::is_symlink(dir_ + "out/link.txt"));
    EXPECT_EQ(FolderEntries(dir_ + "out"), (std::vector<std::string>{"link.txt", "there.txt"}));

    // Replacing a link puts a file in its place; what it pointed to stays as it was.
    WriteFileReplacing(dir_ + "out/link.txt", std::string_view("file now"));
    EXPECT_FALSE(fs::is_symlink(dir_ + "out/link.txt"));
    EXPECT_EQ(Slurp(dir_ + "out/link.txt"), "file now");
    EXPECT_EQ(Slurp(victim), "precious");
}

TEST_F(FileSystemTest, ThroughALinkTheFileItNamesIsReplaced) {
    const std::string shared = Put("shared/tnsnames.ora", "old");
    SetFileAttributes(shared, FileAttributes{0640});
    fs::create_directory(dir_ + "home");
    fs::create_symlink("../shared/tnsnames.ora", dir_ + "home/tnsnames.ora");
    TReplacementFile file(dir_ + "home/tnsnames.ora", {.throughLink = true});
    EXPECT_EQ(file.Target(), fs::canonical(shared).string());
    file.Write(std::string_view("new"));
    file.Commit();
    EXPECT_TRUE(fs::is_symlink(dir_ + "home/tnsnames.ora"));
    EXPECT_EQ(Slurp(shared), "new");
    EXPECT_EQ(GetFileAttributes(shared)->mode, 0640u);
}

TEST_F(FileSystemTest, ReplacementFailuresNameTheTargetAndTheReason) {
    const auto missing = Caught<EFileSystemError>([&] { TReplacementFile(dir_ + "missing/x.txt"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(std::string(missing->what()),
              "Cannot create file " + dir_ + "missing/x.txt: No such file or directory");
    EXPECT_EQ(missing->Reason(), "No such file or directory");
    EXPECT_FALSE(missing->DiskFull());
    fs::create_directory(dir_ + "folder");
    TReplacementFile file(dir_ + "folder");
    file.Write(std::string_view("x"));
    EXPECT_TRUE(FailsWith<EFileSystemError>([&] { file.Commit(); },
                                            "Cannot replace file " + dir_ + "folder: Is a directory"));
    EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"folder"});
    EXPECT_TRUE(EFileSystemError("full", ENOSPC).DiskFull());
    EXPECT_EQ(EFileSystemError("no code").Reason(), "no code");
}

TEST_F(FileSystemTest, ALockedFileKeepsOtherHoldersOut) {
    const std::string path = Put("value.lmb", "12345");
    {
        TLockedFile reader(path, false);
        EXPECT_EQ(reader.Size(), 5u);
        char buffer[8] = {};
        EXPECT_EQ(reader.Read(buffer, 3), 3u);
        EXPECT_EQ(reader.Read(buffer + 3, 8), 2u);  // fewer at the end
        EXPECT_STREQ(buffer, "12345");
        const auto busy = Caught<EFileSystemError>([&] { TLockedFile writer(path, true); });
        ASSERT_TRUE(busy);
        EXPECT_EQ(busy->Code(), EWOULDBLOCK);
        std::thread([&] { EXPECT_THROW(TLockedFile(path, false), EFileSystemError); }).join();
    }
    TLockedFile again(path, false);  // released with its holder
    TLockedFile created(dir_ + "new.lmb", true);
    EXPECT_EQ(created.Size(), 0u);
    EXPECT_THROW(TLockedFile(dir_ + "absent.lmb", false), EFileSystemError);
}

TEST_F(FileSystemTest, NamesInAnotherLetterCase) {
    Put("LumoClient.exe", "a");
    Put("lumoclient.EXE", "b");
    Put("Other.exe", "c");
    std::vector<std::string> names = NamesIgnoringCase(dir_, "LUMOCLIENT.exe");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"LumoClient.exe", "lumoclient.EXE"}));
    EXPECT_EQ(NamesIgnoringCase(dir_, "other.EXE"), std::vector<std::string>{"Other.exe"});
    EXPECT_TRUE(NamesIgnoringCase(dir_, "none").empty());
    EXPECT_TRUE(NamesIgnoringCase(dir_ + "absent/", "x").empty());
}

TEST_F(FileSystemTest, ReadFileBytesOfMissingFileFails) {
    EXPECT_THROW(ReadFileBytes(dir_ + "absent"), EFileSystemError);
    EXPECT_EQ(GetFileAttributes(dir_ + "absent"), std::nullopt);
    EXPECT_THROW(SetReadOnly(dir_ + "absent", true), EFileSystemError);
}

TEST_F(FileSystemTest, AttributesRoundTrip) {
    const std::string file = dir_ + "f";
    std::ofstream(file) << "x";
    SetFileAttributes(file, FileAttributes{0640});
    EXPECT_EQ(GetFileAttributes(file)->mode, 0640u);
    SetReadOnly(file, true);
    EXPECT_EQ(GetFileAttributes(file)->mode, 0440u);
    EXPECT_TRUE(GetFileAttributes(file)->ReadOnly());
    SetReadOnly(file, false);
    EXPECT_EQ(GetFileAttributes(file)->mode, 0640u);
}

}  // namespace
