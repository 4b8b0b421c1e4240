#include "platform/resources.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "common/byte_fields.h"
#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "platform/resources_io.h"
#include "platform/zip_archive.h"
#include "platform/zip_writer.h"

namespace kp = kestrane::platform;
namespace fs = std::filesystem;
using Bytes = kp::ResourceBytes;
using kestrane::testing::Append16;
using kestrane::testing::Append32;
using kestrane::testing::Caught;
using kestrane::testing::FailsWith;
using kestrane::testing::Get32;
using kestrane::testing::Put16;
using kestrane::testing::Put32;

namespace {

Bytes B(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::uint32_t Crc(const Bytes& b) {
    return static_cast<std::uint32_t>(crc32_z(0, b.data(), b.size()));
}

// An entry as it lies in the archive, built here independently of the writer under test.
struct RawEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    Bytes data;  // as stored: deflated for method 8
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
};

RawEntry Stored(std::string name, const Bytes& content) {
    return {std::move(name), 0, 0, content, Crc(content), static_cast<std::uint32_t>(content.size())};
}

RawEntry Deflated(std::string name, const Bytes& content) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&zs, content.size()));
    zs.next_in = const_cast<std::uint8_t*>(content.data());
    zs.avail_in = static_cast<uInt>(content.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return {std::move(name), 8, 0, out, Crc(content), static_cast<std::uint32_t>(content.size())};
}

// stub + local records + central directory + end record, offsets from the start of the file.
struct Layout {
    Bytes file;
    std::vector<std::size_t> local;    // offset of each local header
    std::vector<std::size_t> central;  // offset of each central record
    std::size_t end = 0;
};

Layout BuildFile(const Bytes& stub, const std::vector<RawEntry>& entries) {
    Layout l;
    l.file = stub;
    for (const auto& e : entries) {
        l.local.push_back(l.file.size());
        Append32(l.file, 0x04034b50);
        Append16(l.file, 20);
        Append16(l.file, e.flags);
        Append16(l.file, e.method);
        Append32(l.file, 0);
        Append32(l.file, e.crc);
        Append32(l.file, static_cast<std::uint32_t>(e.data.size()));
        Append32(l.file, e.size);
        Append16(l.file, static_cast<std::uint16_t>(e.name.size()));
        Append16(l.file, 0);
        l.file.insert(l.file.end(), e.name.begin(), e.name.end());
        l.file.insert(l.file.end(), e.data.begin(), e.data.end());
    }
    const std::size_t cd = l.file.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        l.central.push_back(l.file.size());
        Append32(l.file, 0x02014b50);
        Append16(l.file, 20);
        Append16(l.file, 20);
        Append16(l.file, e.flags);
        Append16(l.file, e.method);
        Append32(l.file, 0);
        Append32(l.file, e.crc);
        Append32(l.file, static_cast<std::uint32_t>(e.data.size()));
        Append32(l.file, e.size);
        Append16(l.file, static_cast<std::uint16_t>(e.name.size()));
        for (int k = 0; k < 4; ++k) Append16(l.file, 0);
        Append32(l.file, 0);
        Append32(l.file, static_cast<std::uint32_t>(l.local[i]));
        l.file.insert(l.file.end(), e.name.begin(), e.name.end());
    }
    l.end = l.file.size();
    Append32(l.file, 0x06054b50);
    Append32(l.file, 0);
    Append16(l.file, static_cast<std::uint16_t>(entries.size()));
    Append16(l.file, static_cast<std::uint16_t>(entries.size()));
    Append32(l.file, static_cast<std::uint32_t>(l.end - cd));
    Append32(l.file, static_cast<std::uint32_t>(cd));
    Append16(l.file, 0);
    return l;
}

// Stands in for the executable in front of the archive; holds stray signature bytes on purpose.
Bytes Stub() {
    Bytes s =
        B("\x7f"
          "ELF-stub PK\x05\x06 and PK\x03\x04 inside the program");
    for (int i = 0; i < 300; ++i) s.push_back(static_cast<std::uint8_t>(i * 7));
    return s;
}

const Bytes kParam = B("TPF0\x0eTBaseParamInfo\0\0\0");
const Bytes kFiles = [] {
    Bytes b;
    for (int i = 0; i < 5000; ++i) b.push_back(static_cast<std::uint8_t>(i * 31 + i / 256));
    return b;
}();
const Bytes kInst = B("INSTDATA\0\r\nend");

class ResourcesTest : public kestrane::testing::TempFolderTest {
  protected:
    fs::path At(const std::string& name) const { return fs::path(dir_) / name; }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        WriteFile(At(name), bytes);
        return At(name);
    }
    std::vector<std::string> DirNames() const { return kestrane::testing::FolderEntries(dir_); }
};

TEST_F(ResourcesTest, ArchiveAppendedToPlainFileReadsBack) {
    const Bytes stub = Stub();
    const fs::path exe = Write("Patch.exe", stub);
    kp::UpdateRcData(exe, {{"PARAMDATA", kParam}, {"FILEDATA", kFiles}, {"INSTDATA", kInst}});

    const Bytes after = ReadFile(exe);
    ASSERT_GT(after.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), after.begin())) << "executable bytes must stay in front";

    const auto file = kp::ResourceFile::Open(exe);
    const auto list = file->List();
    ASSERT_EQ(list.size(), 3u);
    const std::pair<std::string, std::size_t> want[] = {
        {"PARAMDATA", kParam.size()}, {"FILEDATA", kFiles.size()}, {"INSTDATA", kInst.size()}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].type, "RCDATA");
        EXPECT_EQ(list[i].name, want[i].first);
        EXPECT_EQ(list[i].language, 0);
        EXPECT_EQ(list[i].size, want[i].second);
    }
    EXPECT_EQ(file->ReadRcData("PARAMDATA"), kParam);
    EXPECT_EQ(file->ReadRcData("filedata"), kFiles);
    EXPECT_EQ(file->ReadRcData("InstData"), kInst);
    EXPECT_TRUE(
        FailsWith<kp::EResourceError>([&] { file->ReadRcData("VERSION"); }, "Resource VERSION not found"));
    EXPECT_EQ(DirNames(), std::vector<std::string>{"Patch.exe"}) << "no temporary file may stay behind";
}

TEST_F(ResourcesTest, UpdateReplacesMatchingEntriesAndKeepsEveryOther) {
    const Bytes stub = Stub();
    const Bytes notes = B("notes of the build, deflated by another tool ");
    Bytes longNotes;
    for (int i = 0; i < 40; ++i) longNotes.insert(longNotes.end(), notes.begin(), notes.end());
    const Layout l = BuildFile(
        stub, {Stored("rcdata/ParamData", B("old parameters")), Deflated("docs/notes.txt", longNotes),
               Stored("RCDATA/FILEDATA", kFiles), Stored("ICON/1", B("icon"))});
    const fs::path exe = Write("Patch.exe", l.file);
    ASSERT_EQ(::chmod(exe.c_str(), 0751), 0);

    kp::UpdateRcData(exe, {{"PARAMDATA", kParam}, {"INSTDATA", B("first")}, {"instdata", kInst}});

    struct stat st {};
    ASSERT_EQ(::stat(exe.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u) << "the file mode must survive the rename";
    const Bytes after = ReadFile(exe);
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), after.begin()));

    const auto file = kp::ResourceFile::Open(exe);
    std::vector<std::string> names;
    for (const auto& r : file->List()) names.push_back(r.type + "/" + r.name);
    // Kept entries first in their order, then the written ones; a name given twice appears once,
    // spelt as it was first given.
    EXPECT_EQ(names, (std::vector<std::string>{"docs/notes.txt", "RCDATA/FILEDATA", "ICON/1",
                                               "RCDATA/PARAMDATA", "RCDATA/INSTDATA"}));
    EXPECT_EQ(file->ReadRcData("PARAMDATA"), kParam);
    EXPECT_EQ(file->ReadRcData("FILEDATA"), kFiles);
    EXPECT_EQ(file->ReadRcData("INSTDATA"), kInst) << "the last bytes given for a name win";

    // The kept deflated entry is copied byte for byte and still inflates.
    const kp::MemorySource source(after.data(), after.size());
    const auto archive = kp::ZipArchive::Find(source, "x");
    ASSERT_TRUE(archive);
    const kp::ZipEntry* kept = archive->FindEntry("DOCS/NOTES.TXT");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->method, 8);
    EXPECT_EQ(kp::ZipArchive::Read(source, *kept, "x"), longNotes);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"Patch.exe"});
}

TEST_F(ResourcesTest, DeflatedRcDataEntryReads) {
    const Layout l = BuildFile(Stub(), {Deflated("RCDATA/FILEDATA", kFiles), Deflated("RCDATA/EMPTY", {})});
    const auto file = kp::ResourceFile::Open(Write("p.exe", l.file));
    EXPECT_EQ(file->ReadRcData("FILEDATA"), kFiles);
    EXPECT_EQ(file->ReadRcData("EMPTY"), Bytes{});
}

TEST_F(ResourcesTest, FilesWithoutResources) {
    for (const Bytes& content : {Bytes{}, Stub(),
                                 B("MZ but no PE header follows: e_lfanew at 0x3C is text, pointing far past "
                                   "the end of this file")}) {
        const auto file = kp::ResourceFile::Open(Write("plain", content));
        EXPECT_TRUE(file->List().empty());
        EXPECT_TRUE(FailsWith<kp::EResourceError>([&] { file->ReadRcData("PARAMDATA"); },
                                                  "Resource PARAMDATA not found"));
    }
    const auto empty = kp::ResourceFile::Open(Write("empty-archive", BuildFile(Stub(), {}).file));
    EXPECT_TRUE(empty->List().empty());

    EXPECT_TRUE(FailsWith<kp::EResourceError>(
        [&] { kp::ResourceFile::Open((At("absent")).string()); },
        "Cannot open " + (At("absent")).string() + ": No such file or directory"));
    EXPECT_TRUE(FailsWith<kp::EResourceError>([&] { kp::ResourceFile::Open(dir_); },
                                              "Cannot open " + dir_ + ": not a regular file"));
}

TEST_F(ResourcesTest, EntriesThatAreNoResourcesAreNotListedButKept) {
    const Layout l = BuildFile(Stub(), {Stored("readme", B("a")), Stored("RCDATA/", B("")),
                                        Stored("/x", B("b")), Stored("RCDATA/PARAMDATA", kParam)});
    const fs::path exe = Write("p.exe", l.file);
    const auto before = kp::ResourceFile::Open(exe)->List();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].name, "PARAMDATA");
    kp::UpdateRcData(exe, {{"FILEDATA", kFiles}});
    const Bytes after = ReadFile(exe);
    const kp::MemorySource source(after.data(), after.size());
    const auto archive = kp::ZipArchive::Find(source, "x");
    ASSERT_TRUE(archive);
    std::vector<std::string> names;
    for (const auto& e : archive->Entries()) names.push_back(e.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"readme", "RCDATA/", "/x", "RCDATA/PARAMDATA", "RCDATA/FILEDATA"}));
}

// Each case damages a sound archive; the damage shows when the file is opened or when the entry is
// read, always as the archive's own message.
TEST_F(ResourcesTest, DamagedArchivesFailWithTheirMessage) {
    const Bytes stub = Stub();
    const std::vector<RawEntry> entries = {Stored("RCDATA/PARAMDATA", kParam),
                                           Deflated("RCDATA/FILEDATA", kFiles)};
    const Layout good = BuildFile(stub, entries);
    const std::size_t cd = good.central[0], end = good.end;
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        bool atOpen;
        std::string reason;
    };
    const Case cases[] = {
        {"content byte changed", [&](Bytes& b) { b[good.local[0] + 30 + 16 + 3] ^= 1; }, false,
         "the CRC-32 of RCDATA/PARAMDATA does not match its content"},
        {"central directory past the file", [&](Bytes& b) { Put32(b, end + 16, 0x7FFFFF00); }, true,
         "the central directory lies outside the file"},
        {"central directory size past the end record",
         [&](Bytes& b) { Put32(b, end + 12, Get32(b, end + 12) + 1); }, true,
         "the central directory lies outside the file"},
        {"more entries than the directory holds",
         [&](Bytes& b) { Put16(b, end + 8, 9), Put16(b, end + 10, 9); }, true,
         "the central directory lies outside the file"},
        {"central record signature", [&](Bytes& b) { b[good.central[1]] = 'X'; }, true,
         "central directory entry 1 is malformed"},
        {"central name runs past the directory", [&](Bytes& b) { Put16(b, good.central[1] + 28, 200); }, true,
         "central directory entry 1 is malformed"},
        {"local header past the central directory",
         [&](Bytes& b) { Put32(b, cd + 42, static_cast<std::uint32_t>(cd)); }, true,
         "the local header of RCDATA/PARAMDATA is missing or lies outside the archive"},
        {"local signature", [&](Bytes& b) { b[good.local[1]] = 0; }, true,
         "the local header of RCDATA/FILEDATA is missing or lies outside the archive"},
        {"compressed size past the central directory",
         [&](Bytes& b) { Put32(b, good.central[1] + 20, 0x10000); }, true,
         "the local header of RCDATA/FILEDATA is missing or lies outside the archive"},
        {"two entries share bytes",
         [&](Bytes& b) { Put32(b, good.central[1] + 42, static_cast<std::uint32_t>(good.local[0])); }, true,
         "entries RCDATA/PARAMDATA and RCDATA/FILEDATA overlap"},
        {"bytes cut from the front", [&](Bytes& b) { b.erase(b.begin(), b.begin() + 40); }, true,
         "the central directory lies outside the file"},
        {"ZIP64 entry count", [&](Bytes& b) { Put16(b, end + 8, 0xFFFF), Put16(b, end + 10, 0xFFFF); }, true,
         "ZIP64 archives are not supported"},
        {"ZIP64 size in an entry", [&](Bytes& b) { Put32(b, cd + 24, 0xFFFFFFFF); }, true,
         "ZIP64 archives are not supported"},
        {"second disk", [&](Bytes& b) { Put16(b, end + 4, 1); }, true, "it spans several disks"},
        {"unknown method", [&](Bytes& b) { Put16(b, cd + 10, 12); }, false,
         "RCDATA/PARAMDATA uses compression method 12, which is not supported"},
        {"encrypted", [&](Bytes& b) { Put16(b, cd + 8, 1); }, false, "RCDATA/PARAMDATA is encrypted"},
        {"stored sizes differ", [&](Bytes& b) { Put32(b, cd + 24, 3); }, false,
         "RCDATA/PARAMDATA does not inflate to its declared size"},
        {"deflated size larger than deflate can give",
         [&](Bytes& b) { Put32(b, good.central[1] + 24, 0x7FFFFFFF); }, false,
         "RCDATA/FILEDATA does not inflate to its declared size"},
        {"deflated size one too large",
         [&](Bytes& b) { Put32(b, good.central[1] + 24, static_cast<std::uint32_t>(kFiles.size() + 1)); },
         false, "RCDATA/FILEDATA does not inflate to its declared size"},
        {"deflated size one too small",
         [&](Bytes& b) { Put32(b, good.central[1] + 24, static_cast<std::uint32_t>(kFiles.size() - 1)); },
         false, "RCDATA/FILEDATA does not inflate to its declared size"},
        {"deflated stream damaged", [&](Bytes& b) { b[good.local[1] + 30 + 15] = 0xFF; }, false,
         "RCDATA/FILEDATA does not inflate to its declared size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = good.file;
        c.damage(bytes);
        const fs::path exe = Write("Patch.exe", bytes);
        const std::string want = "The resource archive of " + exe.string() + " is damaged: " + c.reason;
        if (c.atOpen) {
            EXPECT_TRUE(FailsWith<kp::EResourceError>([&] { kp::ResourceFile::Open(exe); }, want));
            EXPECT_TRUE(FailsWith<kp::EResourceError>(
                [&] {
                    kp::UpdateRcData(exe, {{"PARAMDATA", kParam}});
                },
                want))
                << "an update must not drop a damaged archive";
            EXPECT_EQ(ReadFile(exe), bytes);
        } else {
            const auto file = kp::ResourceFile::Open(exe);
            EXPECT_TRUE(FailsWith<kp::EResourceError>(
                [&] {
                    file->ReadRcData("PARAMDATA");
                    file->ReadRcData("FILEDATA");
                },
                want));
        }
    }
}

TEST_F(ResourcesTest, TruncatedArchiveLosesItsResourcesAndIsRewritten) {
    const Bytes stub = Stub();
    const Bytes full =
        BuildFile(stub, {Stored("RCDATA/PARAMDATA", kParam), Stored("RCDATA/INSTDATA", kInst)}).file;
    // Without its end record the archive is indistinguishable from program bytes.
    for (std::size_t cut = stub.size(); cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const fs::path exe =
            Write("Patch.exe", Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        const auto file = kp::ResourceFile::Open(exe);
        EXPECT_TRUE(file->List().empty());
        EXPECT_TRUE(FailsWith<kp::EResourceError>([&] { file->ReadRcData("PARAMDATA"); },
                                                  "Resource PARAMDATA not found"));
    }
    const fs::path exe = Write("Patch.exe", Bytes(full.begin(), full.end() - 5));
    kp::UpdateRcData(exe, {{"PARAMDATA", kParam}});
    EXPECT_EQ(kp::ResourceFile::Open(exe)->ReadRcData("PARAMDATA"), kParam);
}

TEST_F(ResourcesTest, RefusedUpdatesLeaveTheFileAsItWas) {
    const Bytes original = BuildFile(Stub(), {Stored("RCDATA/PARAMDATA", kParam)}).file;
    const fs::path exe = Write("Patch.exe", original);
    for (const std::string& bad : {std::string(), std::string("A\0B", 3), std::string("\xC3\x28")}) {
        const auto e = Caught<kp::EResourceError>([&] {
            kp::UpdateRcData(exe, {{"INSTDATA", kInst}, {bad, kInst}});
        });
        ASSERT_TRUE(e);
        EXPECT_THAT(e->what(), ::testing::StartsWith("Invalid resource name"));
    }
    EXPECT_EQ(ReadFile(exe), original);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"Patch.exe"});
    const std::string absent = (At("absent.exe")).string();
    EXPECT_TRUE(FailsWith<kp::EResourceError>(
        [&] {
            kp::UpdateRcData(absent, {{"PARAMDATA", kParam}});
        },
        "Cannot open " + absent + ": No such file or directory"));
}

TEST_F(ResourcesTest, UpdateThroughALinkRewritesTheFileItNames) {
    const fs::path exe = Write("Patch.exe", Stub());
    fs::create_symlink(exe.filename(), At("link.exe"));
    kp::UpdateRcData(At("link.exe"), {{"PARAMDATA", kParam}});
    EXPECT_TRUE(fs::is_symlink(At("link.exe")));
    EXPECT_EQ(kp::ResourceFile::Open(exe)->ReadRcData("PARAMDATA"), kParam);
}

TEST_F(ResourcesTest, UnzipListsAndTestsTheWrittenArchive) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not on PATH";
    const fs::path exe = Write("Patch.exe", Stub());
    kp::UpdateRcData(exe, {{"PARAMDATA", kParam}, {"FILEDATA", kFiles}, {"INSTDATA", kInst}});
    std::string listing;
    {
        FILE* pipe = ::popen(("unzip -l '" + exe.string() + "' 2>&1").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buf[512];
        while (std::fgets(buf, sizeof buf, pipe)) listing += buf;
        EXPECT_EQ(::pclose(pipe), 0) << listing;
    }
    for (const char* name : {"RCDATA/PARAMDATA", "RCDATA/FILEDATA", "RCDATA/INSTDATA"})
        EXPECT_NE(listing.find(name), std::string::npos) << listing;
    EXPECT_NE(listing.find("3 files"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("extra bytes"), std::string::npos) << "offsets must count from the file start\n"
                                                              << listing;
    EXPECT_EQ(std::system(("unzip -tq '" + exe.string() + "' >/dev/null 2>&1").c_str()), 0);
}

TEST(Resources, RunningExecutableIsThisTest) {
    const std::string self = kp::RunningExecutable();
    EXPECT_TRUE(fs::path(self).is_absolute());
    EXPECT_EQ(fs::path(self).filename(), "test_platform");
    EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
}

TEST(ZipWriter, RefusesOffsetsBeyondFourGiB) {
    kp::VectorSink sink;
    kp::ZipWriter writer(sink, 0xFFFFFFF0);
    EXPECT_THROW(writer.AddStored("RCDATA/PARAMDATA", kParam, kp::DosTimeNow()), std::length_error);
}

}  // namespace
