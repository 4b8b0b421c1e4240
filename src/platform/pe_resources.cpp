#include "platform/pe_resources.h"

#include <string>
#include <unordered_set>

#include "platform/resources_texts.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

using support::Format;

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kRcDataType = 10;
constexpr std::uint32_t kHighBit = 0x80000000;
constexpr std::uint32_t kSectionHeaderSize = 40;

struct Section {
    std::uint64_t virtualAddress, rawSize, rawPointer;
};

struct TableEntry {
    std::uint32_t name, data;
};

class Walker {
  public:
    Walker(const ByteSource& source, std::string_view origin, std::vector<Section> sections,
           std::uint64_t base)
        : source_(source), origin_(origin), sections_(std::move(sections)), base_(base) {}

    std::vector<PeResource> Walk() {
        const std::uint64_t available = Available(base_);
        if (available == 0) Damaged(texts::kPeDirOutside);
        // A sound directory stores every table entry and every name once inside its section; tables
        // that overlap to multiply their entries run out of these budgets instead of running long.
        entriesLeft_ = available / 8;
        textLeft_ = 2 * available + 4096;

        std::vector<PeResource> out;
        for (const TableEntry& t : ReadTable(0)) {
            if (!(t.data & kHighBit)) Damaged(texts::kPeShape);
            const std::string type = t.name & kHighBit       ? NameText(t.name)
                                     : t.name == kRcDataType ? std::string("RCDATA")
                                                             : std::to_string(t.name);
            const bool rcData = !(t.name & kHighBit) && t.name == kRcDataType;
            for (const TableEntry& n : ReadTable(t.data & ~kHighBit)) {
                if (!(n.data & kHighBit)) Damaged(texts::kPeShape);
                const std::string name = n.name & kHighBit ? NameText(n.name) : "#" + std::to_string(n.name);
                for (const TableEntry& l : ReadTable(n.data & ~kHighBit)) {
                    if ((l.data & kHighBit) || (l.name & kHighBit)) Damaged(texts::kPeShape);
                    const std::uint64_t at = MapDirectory(base_ + l.data, 16);
                    const std::uint32_t rva = source_.U32(at), size = source_.U32(at + 4);
                    const auto offset = Map(rva, size);
                    if (!offset) Damaged(Format(texts::kPeDataOutside, name));
                    Charge(type.size() + name.size());
                    PeResource r;
                    r.info = {type, name, static_cast<std::uint16_t>(l.name), size};
                    r.rcData = rcData;
                    r.fileOffset = *offset;
                    out.push_back(std::move(r));
                }
            }
        }
        return out;
    }

  private:
    [[noreturn]] void Damaged(const std::string& reason) const {
        throw EResourceError(Format(texts::kPeDamaged, origin_, reason));
    }

    void Charge(std::uint64_t bytes) {
        if (bytes > textLeft_) Damaged(texts::kPeOverlap);
        textLeft_ -= bytes;
    }

    // File offset of [rva, rva + n) when it lies wholly in the file bytes of one section.
    std::optional<std::uint64_t> Map(std::uint64_t rva, std::uint64_t n) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
            const std::uint64_t into = rva - s.virtualAddress;
            if (n > s.rawSize - into) continue;
            const std::uint64_t offset = s.rawPointer + into;
            if (source_.Contains(offset, n)) return offset;
        }
        return std::nullopt;
    }

    std::uint64_t Available(std::uint64_t rva) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
            const std::uint64_t offset = s.rawPointer + (rva - s.virtualAddress);
            if (offset >= source_.Size()) continue;
            return std::min(s.rawSize - (rva - s.virtualAddress), source_.Size() - offset);
        }
        return 0;
    }

    std::uint64_t MapDirectory(std::uint64_t rva, std::uint64_t n) const {
        const auto offset = Map(rva, n);
        if (!offset) Damaged(texts::kPeDirOutside);
        return *offset;
    }

    std::vector<TableEntry> ReadTable(std::uint32_t offset) {
        if (!visited_.insert(offset).second) Damaged(texts::kPeLoop);
        const std::uint64_t at = MapDirectory(base_ + offset, 16);
        const std::uint32_t count = std::uint32_t{source_.U16(at + 12)} + source_.U16(at + 14);
        const std::uint64_t first = MapDirectory(base_ + offset + 16, std::uint64_t{count} * 8);
        if (count > entriesLeft_) Damaged(texts::kPeOverlap);
        entriesLeft_ -= count;
        std::vector<std::uint8_t> raw(std::size_t{count} * 8);
        source_.ReadAt(first, raw.data(), raw.size());
        std::vector<TableEntry> entries(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* p = &raw[std::size_t{i} * 8];
            entries[i].name = support::LoadLittleEndian<std::uint32_t>(p);
            entries[i].data = support::LoadLittleEndian<std::uint32_t>(p + 4);
        }
        return entries;
    }

    // A name string: a 16-bit count of UTF-16 units, then the units.
    std::string NameText(std::uint32_t field) {
        const std::uint64_t rva = base_ + (field & ~kHighBit);
        const std::uint16_t units = source_.U16(MapDirectory(rva, 2));
        Charge(2 + 2 * std::uint64_t{units});
        const std::uint64_t at = MapDirectory(rva + 2, 2 * std::uint64_t{units});
        std::vector<std::uint8_t> raw(2 * std::size_t{units});
        source_.ReadAt(at, raw.data(), raw.size());
        try {
            return support::Utf16ToUtf8(support::LoadUtf16LittleEndian(raw));
        } catch (const support::ECodePageError&) {
            Damaged(texts::kPeBadName);
        }
    }

    const ByteSource& source_;
    std::string_view origin_;
    std::vector<Section> sections_;
    std::uint64_t base_;
    std::uint64_t entriesLeft_ = 0;
    std::uint64_t textLeft_ = 0;
    std::unordered_set<std::uint32_t> visited_;
};

}  // namespace

std::optional<PeResources> PeResources::Find(const ByteSource& source, std::string_view origin) {
    const auto damaged = [&](const std::string& reason) {
        return EResourceError(Format(texts::kPeDamaged, origin, reason));
    };
    if (source.Size() < 0x40 || source.U16(0) != 0x5A4D) return std::nullopt;  // "MZ"
    const std::uint64_t pe = source.U32(0x3C);
    if (!source.Contains(pe, 4) || source.U32(pe) != kPeSignature) return std::nullopt;

    const std::uint64_t optional = pe + 24;
    if (!source.Contains(pe, 24 + 2)) throw damaged(texts::kPeHeaders);
    const std::uint16_t sectionCount = source.U16(pe + 6);
    const std::uint16_t optionalSize = source.U16(pe + 20);
    if (!source.Contains(optional, optionalSize)) throw damaged(texts::kPeHeaders);
    const std::uint16_t magic = source.U16(optional);
    std::uint64_t countField = 0, directories = 0;
    if (magic == kMagicPe32) {
        countField = 92, directories = 96;
    } else if (magic == kMagicPe32Plus) {
        countField = 108, directories = 112;
    } else {
        throw damaged(Format(texts::kPeMagic, magic));
    }
    PeResources result;
    if (countField + 4 > optionalSize || source.U32(optional + countField) <= kResourceDirectoryIndex)
        return result;
    const std::uint64_t entry = directories + 8 * kResourceDirectoryIndex;
    if (entry + 8 > optionalSize) throw damaged(texts::kPeHeaders);
    const std::uint32_t resourceRva = source.U32(optional + entry);
    if (resourceRva == 0) return result;

    const std::uint64_t table = optional + optionalSize;
    if (!source.Contains(table, std::uint64_t{sectionCount} * kSectionHeaderSize))
        throw damaged(texts::kPeSectionTable);
    std::vector<Section> sections;
    sections.reserve(sectionCount);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t h = table + std::uint64_t{i} * kSectionHeaderSize;
        sections.push_back({source.U32(h + 12), source.U32(h + 16), source.U32(h + 20)});
    }
    result.resources_ = Walker(source, origin, std::move(sections), resourceRva).Walk();
    return result;
}

const PeResource* PeResources::FindRcData(std::string_view name) const {
    const PeResource* found = nullptr;
    for (const auto& r : resources_) {
        if (!r.rcData || !support::SameText(r.info.name, name)) continue;
        if (r.info.language == 0) return &r;
        if (!found) found = &r;
    }
    return found;
}

ResourceBytes PeResources::Read(const ByteSource& source, const PeResource& resource) {
    ResourceBytes bytes(static_cast<std::size_t>(resource.info.size));
    source.ReadAt(resource.fileOffset, bytes.data(), bytes.size());
    return bytes;
}

}  // namespace kestrane::platform
