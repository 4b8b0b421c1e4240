// The resource readers on arbitrary bytes: an appended ZIP archive (every entry read, then the
// file rewritten with a replaced resource and read again) and a PE resource section.
#include <cstddef>
#include <cstdint>

#include "platform/pe_resources.h"
#include "platform/resources.h"
#include "platform/resources_io.h"
#include "platform/zip_archive.h"
#include "platform/zip_writer.h"
#include "support/text.h"

namespace kp = kestrane::platform;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

void ZipRoundTrip(const kp::ByteSource& source) {
    const auto archive = kp::ZipArchive::Find(source, "fuzz");
    if (!archive) return;
    for (const auto& e : archive->Entries()) {
        try {
            const kp::ResourceBytes bytes = kp::ZipArchive::Read(source, e, "fuzz");
            Require(bytes.size() == e.size);
        } catch (const kp::EResourceError&) {
        }
    }

    // Whatever the reader accepted, the writer must turn into an archive that reads again, with the
    // new resource in it and every other entry kept.
    const kp::ResourceBytes param = {'T', 'P', 'F', '0'};
    kp::VectorSink sink;
    try {
        kp::WriteWithRcData(source, "fuzz", {{"PARAMDATA", param}}, sink, 0);
    } catch (...) {
        Require(false);
    }
    const kp::MemorySource rewritten(sink.bytes.data(), sink.bytes.size());
    const auto again = kp::ZipArchive::Find(rewritten, "fuzz");
    Require(again.has_value());
    const kp::ZipEntry* entry = again->FindEntry("RCDATA/PARAMDATA");
    Require(entry != nullptr && kp::ZipArchive::Read(rewritten, *entry, "fuzz") == param);
    std::size_t kept = 0;
    for (const auto& e : archive->Entries()) {
        if (kestrane::support::SameText(e.name, "RCDATA/PARAMDATA")) continue;
        Require(again->FindEntry(e.name) != nullptr);
        ++kept;
    }
    Require(again->Entries().size() == kept + 1);
}

void PeRead(const kp::ByteSource& source) {
    const auto pe = kp::PeResources::Find(source, "fuzz");
    if (!pe) return;
    for (const auto& r : pe->Resources()) Require(kp::PeResources::Read(source, r).size() == r.info.size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kp::MemorySource source(data, size);
    try {
        ZipRoundTrip(source);
    } catch (const kp::EResourceError&) {
    }
    try {
        PeRead(source);
    } catch (const kp::EResourceError&) {
    }
    return 0;
}
