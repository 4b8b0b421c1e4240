// Reader of a ZIP archive that ends a file, with offsets counted from the start of the file (as in a
// self-extracting executable). Every structure is checked against the file before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"
#include "platform/resources_io.h"

namespace kestrane::platform {

struct ZipEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;    // the local header
    std::uint64_t dataOffset = 0;     // first byte of the entry's data
    std::uint64_t recordEnd = 0;      // the next local header or the central directory
    std::uint64_t centralOffset = 0;  // this entry's central directory record
    std::uint32_t centralLength = 0;
};

class ZipArchive {
  public:
    // nullopt when the source does not end in an archive; throws EResourceError when it ends in a
    // damaged one. `origin` names the file in messages.
    static std::optional<ZipArchive> Find(const ByteSource& source, std::string_view origin);

    // Central directory order.
    const std::vector<ZipEntry>& Entries() const { return entries_; }
    // Where the archive begins: its first local header, or the central directory when it is empty.
    std::uint64_t Start() const { return start_; }
    // First entry of that name, ignoring ASCII case; nullptr when absent.
    const ZipEntry* FindEntry(std::string_view name) const;

    // The entry's bytes, inflated if need be, with the CRC-32 checked. Throws EResourceError.
    static ResourceBytes Read(const ByteSource& source, const ZipEntry& entry, std::string_view origin);

  private:
    std::vector<ZipEntry> entries_;
    std::uint64_t start_ = 0;
};

// Entry name of an RCDATA resource.
std::string RcDataEntryName(std::string_view resourceName);

// An entry name as it may appear in a message: bytes that are not UTF-8 become '?'.
std::string PrintableName(std::string_view name);

}  // namespace kestrane::platform
