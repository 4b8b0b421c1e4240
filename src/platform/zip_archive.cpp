#include "platform/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <numeric>

#include "platform/resources_texts.h"
#include "platform/zip_format.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

using support::Format;

[[noreturn]] void Damaged(std::string_view origin, const std::string& reason) {
    throw EResourceError(Format(texts::kArchiveDamaged, origin, reason));
}

std::uint16_t Get16(const std::uint8_t* p) {
    return support::LoadLittleEndian<std::uint16_t>(p);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return support::LoadLittleEndian<std::uint32_t>(p);
}

// The end record is the last signature whose comment reaches exactly to the end of the file; a
// stray signature inside the executable's own bytes does not satisfy that.
std::optional<std::uint64_t> FindEndRecord(const ByteSource& source) {
    const std::uint64_t size = source.Size();
    if (size < zip::kEndSize) return std::nullopt;
    const auto tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(size, zip::kEndSize + 0xFFFF));
    std::vector<std::uint8_t> tail(tailSize);
    source.ReadAt(size - tailSize, tail.data(), tailSize);
    for (std::size_t i = tailSize - zip::kEndSize + 1; i-- > 0;) {
        if (Get32(&tail[i]) == zip::kEndSignature && i + zip::kEndSize + Get16(&tail[i + 20]) == tailSize)
            return size - tailSize + i;
    }
    return std::nullopt;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    return static_cast<std::uint32_t>(crc32_z(0, data, n));
}

void Inflate(const ByteSource& source, const ZipEntry& entry, ResourceBytes& out, std::string_view origin) {
    const std::string printable = PrintableName(entry.name);
    // Deflate cannot expand data by more than about 1032:1; a larger declared size is a lie and
    // must not decide how much memory is taken.
    if (entry.size > entry.compressedSize * 1032 + 1024)
        Damaged(origin, Format(texts::kZipInflate, printable));
    out.resize(static_cast<std::size_t>(entry.size));
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) Damaged(origin, Format(texts::kZipInflate, printable));
    struct End {
        z_stream* zs;
        ~End() { inflateEnd(zs); }
    } end{&zs};
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(entry.compressedSize, 1u << 16)));
    std::uint64_t offset = entry.dataOffset;
    std::uint64_t left = entry.compressedSize;
    std::uint8_t none = 0;  // zlib refuses a null output pointer, even for an empty entry
    zs.next_out = out.empty() ? &none : out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            if (left == 0) break;
            const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
            source.ReadAt(offset, chunk.data(), part);
            offset += part;
            left -= part;
            zs.next_in = chunk.data();
            zs.avail_in = static_cast<uInt>(part);
        }
        rc = inflate(&zs, Z_NO_FLUSH);
        // Z_BUF_ERROR here means the output is full while input remains: more than declared.
        if (rc != Z_OK && rc != Z_STREAM_END) break;
    }
    if (rc != Z_STREAM_END || zs.total_out != entry.size)
        Damaged(origin, Format(texts::kZipInflate, printable));
}

}  // namespace

std::string RcDataEntryName(std::string_view resourceName) {
    return "RCDATA/" + std::string(resourceName);
}

std::string PrintableName(std::string_view name) {
    if (support::IsValidUtf8(name)) return std::string(name);
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return out;
}

std::optional<ZipArchive> ZipArchive::Find(const ByteSource& source, std::string_view origin) {
    const auto endPos = FindEndRecord(source);
    if (!endPos) return std::nullopt;
    std::uint8_t end[zip::kEndSize];
    source.ReadAt(*endPos, end, sizeof end);
    const std::uint16_t disk = Get16(end + 4), centralDisk = Get16(end + 6);
    const std::uint16_t diskEntries = Get16(end + 8), count = Get16(end + 10);
    const std::uint32_t centralSize = Get32(end + 12), centralStart = Get32(end + 16);
    if (count == 0xFFFF || centralSize == 0xFFFFFFFF || centralStart == 0xFFFFFFFF ||
        (*endPos >= zip::kZip64LocatorSize &&
         source.U32(*endPos - zip::kZip64LocatorSize) == zip::kZip64LocatorSignature))
        Damaged(origin, texts::kZip64);
    if (disk != 0 || centralDisk != 0 || diskEntries != count) Damaged(origin, texts::kZipMultiDisk);
    if (std::uint64_t{centralStart} + centralSize > *endPos) Damaged(origin, texts::kZipCentralOutside);
    if (std::uint64_t{count} * zip::kCentralSize > centralSize) Damaged(origin, texts::kZipCentralOutside);

    ZipArchive archive;
    archive.entries_.reserve(count);
    const std::uint64_t centralEnd = std::uint64_t{centralStart} + centralSize;
    std::uint64_t pos = centralStart;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t rec[zip::kCentralSize];
        if (!(pos + zip::kCentralSize <= centralEnd)) Damaged(origin, Format(texts::kZipCentralEntry, i));
        source.ReadAt(pos, rec, sizeof rec);
        const std::uint16_t nameLen = Get16(rec + 28), extraLen = Get16(rec + 30),
                            commentLen = Get16(rec + 32);
        const std::uint64_t recLen = std::uint64_t{zip::kCentralSize} + nameLen + extraLen + commentLen;
        if (Get32(rec) != zip::kCentralSignature || pos + recLen > centralEnd)
            Damaged(origin, Format(texts::kZipCentralEntry, i));
        ZipEntry e;
        e.flags = Get16(rec + 8);
        e.method = Get16(rec + 10);
        e.crc = Get32(rec + 16);
        e.compressedSize = Get32(rec + 20);
        e.size = Get32(rec + 24);
        e.localOffset = Get32(rec + 42);
        if (e.compressedSize == 0xFFFFFFFF || e.size == 0xFFFFFFFF || e.localOffset == 0xFFFFFFFF)
            Damaged(origin, texts::kZip64);
        e.name.resize(nameLen);
        source.ReadAt(pos + zip::kCentralSize, e.name.data(), nameLen);
        e.centralOffset = pos;
        e.centralLength = static_cast<std::uint32_t>(recLen);
        pos += recLen;

        const std::string printable = PrintableName(e.name);
        std::uint8_t local[zip::kLocalSize];
        if (e.localOffset + zip::kLocalSize > centralStart)
            Damaged(origin, Format(texts::kZipLocalHeader, printable));
        source.ReadAt(e.localOffset, local, sizeof local);
        e.dataOffset = e.localOffset + zip::kLocalSize + Get16(local + 26) + Get16(local + 28);
        if (Get32(local) != zip::kLocalSignature || e.dataOffset + e.compressedSize > centralStart)
            Damaged(origin, Format(texts::kZipLocalHeader, printable));
        archive.entries_.push_back(std::move(e));
    }

    // Entries must not share bytes: each record ends where the next begins at the latest.
    std::vector<std::size_t> order(archive.entries_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return archive.entries_[a].localOffset < archive.entries_[b].localOffset;
    });
    archive.start_ = centralStart;
    for (std::size_t k = 0; k < order.size(); ++k) {
        ZipEntry& e = archive.entries_[order[k]];
        if (k + 1 < order.size()) {
            const ZipEntry& next = archive.entries_[order[k + 1]];
            e.recordEnd = next.localOffset;
            if (e.dataOffset + e.compressedSize > e.recordEnd)
                Damaged(origin, Format(texts::kZipOverlap, PrintableName(e.name), PrintableName(next.name)));
        } else {
            e.recordEnd = centralStart;  // the data was checked against it above
        }
        archive.start_ = std::min(archive.start_, e.localOffset);
    }
    return archive;
}

const ZipEntry* ZipArchive::FindEntry(std::string_view name) const {
    for (const auto& e : entries_)
        if (support::SameText(e.name, name)) return &e;
    return nullptr;
}

ResourceBytes ZipArchive::Read(const ByteSource& source, const ZipEntry& entry, std::string_view origin) {
    const std::string printable = PrintableName(entry.name);
    if (entry.flags & zip::kFlagEncrypted) Damaged(origin, Format(texts::kZipEncrypted, printable));
    ResourceBytes bytes;
    if (entry.method == zip::kMethodStored) {
        if (entry.size != entry.compressedSize) Damaged(origin, Format(texts::kZipInflate, printable));
        bytes.resize(static_cast<std::size_t>(entry.size));
        source.ReadAt(entry.dataOffset, bytes.data(), bytes.size());
    } else if (entry.method == zip::kMethodDeflated) {
        Inflate(source, entry, bytes, origin);
    } else {
        Damaged(origin, Format(texts::kZipMethod, printable, entry.method));
    }
    if (Crc32(bytes.data(), bytes.size()) != entry.crc) Damaged(origin, Format(texts::kZipCrc, printable));
    return bytes;
}

}  // namespace kestrane::platform
