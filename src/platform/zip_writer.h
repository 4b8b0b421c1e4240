// Writer of the resource archive: appends a ZIP archive with file-relative offsets to bytes already
// written to a sink, and rewrites a file with some RCDATA entries replaced or added.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/resources.h"
#include "platform/resources_io.h"
#include "platform/zip_archive.h"

namespace kestrane::platform {

class ZipWriter {
  public:
    // `position`: how many bytes the sink already holds, i.e. the file offset of the first entry.
    ZipWriter(ByteSink& sink, std::uint64_t position) : sink_(sink), position_(position) {}

    // Copies an entry of another archive as it is: its local record byte for byte and its central
    // record with the new offset. Throws std::length_error when the archive would exceed 4 GiB.
    void CopyEntry(const ByteSource& from, const ZipEntry& entry);
    // A stored entry; its time stamp is `dosTime` (date in the high half, as in the format).
    void AddStored(std::string_view name, const ResourceBytes& data, std::uint32_t dosTime);
    // The central directory and the end record; nothing may be added afterwards.
    void Finish();

  private:
    void Put(const std::vector<std::uint8_t>& bytes);
    std::uint32_t NextOffset() const;

    ByteSink& sink_;
    std::uint64_t position_;
    std::vector<std::uint8_t> central_;
    std::uint32_t count_ = 0;
};

// The current local time in the format's date and time fields.
std::uint32_t DosTimeNow();

using RcDataList = std::vector<std::pair<std::string, ResourceBytes>>;

// Writes `source` to `sink` with the RCDATA resources replaced or added: the bytes in front of its
// archive (all of them when it has none), every other entry unchanged, then the given resources as
// stored entries "RCDATA/<NAME>" in their order. A name given twice keeps the last bytes. Throws
// EResourceError for a damaged source archive or a bad name, std::length_error past 4 GiB.
void WriteWithRcData(const ByteSource& source, std::string_view origin, const RcDataList& resources,
                     ByteSink& sink, std::uint32_t dosTime);

}  // namespace kestrane::platform
