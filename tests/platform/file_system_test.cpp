#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

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

TEST_F(FileSystemTest, ForceDirectoriesCreatesEveryMissingParent) {
    const std::string deep = dir_ + "a/b/c/";
    ForceDirectories(deep);
    EXPECT_TRUE(DirectoryExists(deep));
    ForceDirectories(deep);  // existing: no failure
    EXPECT_FALSE(FileExists(deep));
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
