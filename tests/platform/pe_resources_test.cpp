#include "platform/pe_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "common/byte_fields.h"
#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "platform/resources.h"
#include "platform/resources_io.h"

namespace kp = kestrane::platform;
namespace fs = std::filesystem;
using Bytes = kp::ResourceBytes;
using kestrane::testing::FailsWith;
using kestrane::testing::Get16;
using kestrane::testing::Get32;
using kestrane::testing::Put16;
using kestrane::testing::Put32;

namespace {

const fs::path kData = fs::path(KESTRANE_TEST_DATA) / "pe";

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Where the fixture's headers and resource directory lie, found the way a loader finds them.
struct PeLayout {
    std::size_t pe = 0, optional = 0, resourceEntry = 0, sections = 0, resources = 0;
    std::uint16_t magic = 0;
};

PeLayout Locate(const Bytes& b) {
    PeLayout l;
    l.pe = Get32(b, 0x3C);
    l.optional = l.pe + 24;
    l.magic = Get16(b, l.optional);
    l.resourceEntry = l.optional + (l.magic == 0x20b ? 112 : 96) + 16;
    l.sections = l.optional + Get16(b, l.pe + 20);
    const std::uint32_t rva = Get32(b, l.resourceEntry);
    for (std::size_t i = 0; i < Get16(b, l.pe + 6); ++i) {
        const std::size_t h = l.sections + 40 * i;
        const std::uint32_t va = Get32(b, h + 12), raw = Get32(b, h + 16);
        if (rva >= va && rva < va + raw) l.resources = Get32(b, h + 20) + (rva - va);
    }
    return l;
}

struct Fixture {
    const char* file;
    std::uint16_t magic;
};
const Fixture kFixtures[] = {{"rcdata64.exe", 0x20b}, {"rcdata32.exe", 0x10b}};

TEST(PeResources, ToolchainFixturesReadBackByteIdentical) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        const Bytes image = ReadFile(kData / f.file);
        ASSERT_EQ(Locate(image).magic, f.magic) << "the fixture is not the PE kind it claims";

        const auto file = kp::ResourceFile::Open(kData / f.file);
        std::vector<std::string> listed;
        for (const auto& r : file->List())
            listed.push_back(r.type + "|" + r.name + "|" + std::to_string(r.language) + "|" +
                             std::to_string(r.size));
        EXPECT_EQ(listed, (std::vector<std::string>{"KVTYPE|NOTES|0|5", "RCDATA|EMPTY|0|0",
                                                    "RCDATA|FILEDATA|0|300", "RCDATA|INSTDATA|0|14",
                                                    "RCDATA|PARAMDATA|0|22", "RCDATA|#7|2052|5"}));
        EXPECT_EQ(file->ReadRcData("PARAMDATA"), ReadFile(kData / "paramdata.bin"));
        EXPECT_EQ(file->ReadRcData("FileData"), ReadFile(kData / "filedata.bin"));
        EXPECT_EQ(file->ReadRcData("instdata"), ReadFile(kData / "instdata.bin"));
        EXPECT_EQ(file->ReadRcData("EMPTY"), Bytes{});
        EXPECT_EQ(file->ReadRcData("#7"), (Bytes{'s', 'e', 'v', 'e', 'n'}));
        EXPECT_TRUE(
            FailsWith<kp::EResourceError>([&] { file->ReadRcData("NOTES"); }, "Resource NOTES not found"))
            << "only RCDATA resources are read by name";
    }
}

// The reader must end with the section's own message on every damage, whatever the fields say.
TEST(PeResources, DamagedHeadersAndDirectoriesFailWithTheirMessage) {
    struct Case {
        const char* what;
        std::function<void(Bytes&, const PeLayout&)> damage;
        std::string reason;  // empty: the file opens with no resources
    };
    // Directory offsets of the fixture (both kinds): root table at 0 with the KVTYPE entry at 10 and
    // the RCDATA entry at 18; RCDATA's name table at 50 with FILEDATA at 68; FILEDATA's language table
    // at A0 whose entry at B0 names the data entry at 180.
    const Case cases[] = {
        {"resource directory far outside",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resourceEntry, 0x00F00000); },
         "the resource directory points outside the file"},
        {"root table claims more entries than fit",
         [](Bytes& b, const PeLayout& l) { Put16(b, l.resources + 12, 0xFFFF); },
         "the resource directory points outside the file"},
        {"type pointing back to the root",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x14, 0x80000000); },
         "the resource directory contains a loop"},
        {"language table pointing at its own name table",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x6C, 0x80000050); },
         "the resource directory contains a loop"},
        {"type entry naming data instead of a table",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x1C, 0x00000180); },
         "the resource directory is not three levels deep"},
        {"language entry naming a table",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0xB4, 0x800000A0); },
         "the resource directory is not three levels deep"},
        {"data size past the file",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x184, 0x7FFFFFFF); },
         "the data of FILEDATA lies outside the file"},
        {"data address in no section",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x180, 0x00100000); },
         "the data of FILEDATA lies outside the file"},
        {"type name outside the section",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.resources + 0x10, 0x8000FFF0); },
         "the resource directory points outside the file"},
        {"type name with a lone surrogate",
         [](Bytes& b, const PeLayout& l) { Put16(b, l.resources + 0x102, 0xD800); },
         "a resource name is not valid UTF-16"},
        {"unknown optional header", [](Bytes& b, const PeLayout& l) { Put16(b, l.optional, 0x999); },
         "unknown optional header magic 999"},
        {"section table past the file", [](Bytes& b, const PeLayout& l) { Put16(b, l.pe + 6, 0xFFFF); },
         "the section table lies outside the file"},
        {"optional header past the file", [](Bytes& b, const PeLayout& l) { b.resize(l.optional + 40); },
         "the PE headers are truncated"},
        {"no resource directory", [](Bytes& b, const PeLayout& l) { Put32(b, l.resourceEntry, 0); }, ""},
        {"too few data directories",
         [](Bytes& b, const PeLayout& l) { Put32(b, l.optional + (l.magic == 0x20b ? 108 : 92), 2); }, ""},
    };
    for (const Fixture& f : kFixtures) {
        const Bytes image = ReadFile(kData / f.file);
        const PeLayout layout = Locate(image);
        ASSERT_EQ(Get32(image, layout.resources + 0x14), 0x80000020u) << f.file;
        ASSERT_EQ(Get32(image, layout.resources + 0x6C), 0x800000A0u) << f.file;
        ASSERT_EQ(Get32(image, layout.resources + 0xB4), 0x180u) << f.file;
        ASSERT_EQ(Get32(image, layout.resources + 0x184), 300u) << f.file;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(f.file) + ": " + c.what);
            Bytes bytes = image;
            c.damage(bytes, layout);
            const kp::MemorySource source(bytes.data(), bytes.size());
            if (c.reason.empty()) {
                const auto pe = kp::PeResources::Find(source, "Patch.exe");
                ASSERT_TRUE(pe);
                EXPECT_TRUE(pe->Resources().empty());
            } else {
                EXPECT_TRUE(FailsWith<kp::EResourceError>(
                    [&] { kp::PeResources::Find(source, "Patch.exe"); },
                    "The resource section of Patch.exe is damaged: " + c.reason));
            }
        }
    }
}

TEST(PeResources, UpdatedPeKeepsItsImageAndReadsFromTheArchive) {
    const kestrane::testing::TempFolder dir;
    const fs::path exe = dir.File("Patch.exe");
    fs::copy_file(kData / "rcdata64.exe", exe);
    const Bytes param = {'n', 'e', 'w'};
    kp::UpdateRcData(exe, {{"PARAMDATA", param}});

    const Bytes image = ReadFile(kData / "rcdata64.exe");
    const Bytes after = ReadFile(exe);
    ASSERT_GT(after.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), after.begin()));
    const auto file = kp::ResourceFile::Open(exe);
    ASSERT_EQ(file->List().size(), 1u);
    EXPECT_EQ(file->ReadRcData("PARAMDATA"), param);
    EXPECT_TRUE(
        FailsWith<kp::EResourceError>([&] { file->ReadRcData("FILEDATA"); }, "Resource FILEDATA not found"));
}

}  // namespace
