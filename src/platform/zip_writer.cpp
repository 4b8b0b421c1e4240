#include "platform/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "platform/local_time.h"
#include "platform/resources_texts.h"
#include "platform/zip_format.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

// Unix host, format version 2.0; the external attributes then carry a file mode for unzip.
constexpr std::uint16_t kMadeBy = (3 << 8) | 20;
constexpr std::uint16_t kNeededStored = 10;
constexpr std::uint32_t kRegularFileMode = 0100644;

void U16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    support::AppendLittleEndian(out, v);
}
void U32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    support::AppendLittleEndian(out, v);
}

// The fields a stored entry's local header and central record share, from "version needed" to the
// length of the extra field.
struct EntryFields {
    std::uint16_t flags;
    std::uint32_t dosTime, crc, size;
    std::uint16_t nameLength;

    void Put(std::vector<std::uint8_t>& out) const {
        U16(out, kNeededStored);
        U16(out, flags);
        U16(out, zip::kMethodStored);
        U32(out, dosTime);
        U32(out, crc);
        U32(out, size);  // compressed
        U32(out, size);
        U16(out, nameLength);
        U16(out, 0);  // extra field
    }
};

void CheckName(std::string_view name) {
    const bool bad = name.empty() || name.find('\0') != std::string_view::npos ||
                     !support::IsValidUtf8(name) || name.size() > 0xFFFF - RcDataEntryName("").size();
    if (bad) throw EResourceError(support::Format(texts::kBadResourceName, PrintableName(name)));
}

}  // namespace

std::uint32_t DosTimeNow() {
    const LocalTimeFields t = LocalTimeNow();
    if (t.year < 1980 || t.year > 2107) return (1 << 5 | 1) << 16;  // 1980-01-01
    const auto date = static_cast<std::uint32_t>((t.year - 1980) << 9 | t.month << 5 | t.day);
    const auto time = static_cast<std::uint32_t>(t.hour << 11 | t.minute << 5 | t.second / 2);
    return date << 16 | time;
}

void ZipWriter::Put(const std::vector<std::uint8_t>& bytes) {
    sink_.Write(bytes.data(), bytes.size());
    position_ += bytes.size();
}

std::uint32_t ZipWriter::NextOffset() const {
    if (position_ > zip::kMaxOffset || count_ >= zip::kMaxEntries) throw std::length_error(texts::kTooLarge);
    return static_cast<std::uint32_t>(position_);
}

void ZipWriter::CopyEntry(const ByteSource& from, const ZipEntry& entry) {
    const std::uint32_t offset = NextOffset();
    std::vector<std::uint8_t> record(entry.centralLength);
    from.ReadAt(entry.centralOffset, record.data(), record.size());
    support::StoreLittleEndian(record.data() + zip::kCentralOffsetField, offset);
    CopyRange(from, entry.localOffset, entry.recordEnd - entry.localOffset, sink_);
    position_ += entry.recordEnd - entry.localOffset;
    central_.insert(central_.end(), record.begin(), record.end());
    ++count_;
}

void ZipWriter::AddStored(std::string_view name, const ResourceBytes& data, std::uint32_t dosTime) {
    const std::uint32_t offset = NextOffset();
    if (data.size() > zip::kMaxOffset ||
        position_ + zip::kLocalSize + name.size() + data.size() > zip::kMaxOffset)
        throw std::length_error(texts::kTooLarge);
    const auto size = static_cast<std::uint32_t>(data.size());
    const auto crc = static_cast<std::uint32_t>(crc32_z(0, data.data(), data.size()));
    const std::uint16_t flags = support::IsAscii(name) ? 0 : zip::kFlagUtf8;
    const auto nameLen = static_cast<std::uint16_t>(name.size());

    const EntryFields fields{flags, dosTime, crc, size, nameLen};

    std::vector<std::uint8_t> local;
    U32(local, zip::kLocalSignature);
    fields.Put(local);
    local.insert(local.end(), name.begin(), name.end());
    Put(local);
    sink_.Write(data.data(), data.size());
    position_ += data.size();

    std::vector<std::uint8_t>& c = central_;
    U32(c, zip::kCentralSignature);
    U16(c, kMadeBy);
    fields.Put(c);
    U16(c, 0);  // comment
    U16(c, 0);  // disk
    U16(c, 0);  // internal attributes
    U32(c, kRegularFileMode << 16);
    U32(c, offset);
    c.insert(c.end(), name.begin(), name.end());
    ++count_;
}

void ZipWriter::Finish() {
    const std::uint64_t centralStart = position_;
    if (centralStart > zip::kMaxOffset || centralStart + central_.size() > zip::kMaxOffset)
        throw std::length_error(texts::kTooLarge);
    Put(central_);
    std::vector<std::uint8_t> end;
    U32(end, zip::kEndSignature);
    U16(end, 0);
    U16(end, 0);
    U16(end, static_cast<std::uint16_t>(count_));
    U16(end, static_cast<std::uint16_t>(count_));
    U32(end, static_cast<std::uint32_t>(central_.size()));
    U32(end, static_cast<std::uint32_t>(centralStart));
    U16(end, 0);
    Put(end);
    central_.clear();
}

void WriteWithRcData(const ByteSource& source, std::string_view origin, const RcDataList& resources,
                     ByteSink& sink, std::uint32_t dosTime) {
    // One entry per name, ignoring case: the first position, the last bytes.
    std::vector<std::pair<std::string, const ResourceBytes*>> wanted;
    for (const auto& resource : resources) {
        const std::string& name = resource.first;
        const ResourceBytes& bytes = resource.second;
        CheckName(name);
        auto it = std::find_if(wanted.begin(), wanted.end(),
                               [&](const auto& w) { return support::SameText(w.first, name); });
        if (it == wanted.end())
            wanted.emplace_back(name, &bytes);
        else
            it->second = &bytes;
    }
    for (auto& w : wanted) w.first = RcDataEntryName(w.first);

    const auto archive = ZipArchive::Find(source, origin);
    const std::uint64_t front = archive ? archive->Start() : source.Size();
    CopyRange(source, 0, front, sink);
    ZipWriter writer(sink, front);
    if (archive) {
        for (const auto& e : archive->Entries()) {
            const bool replaced = std::any_of(wanted.begin(), wanted.end(), [&](const auto& w) {
                return support::SameText(w.first, e.name);
            });
            if (!replaced) writer.CopyEntry(source, e);
        }
    }
    for (const auto& [entryName, bytes] : wanted) writer.AddStored(entryName, *bytes, dosTime);
    writer.Finish();
}

}  // namespace kestrane::platform
