#include "support/guid.h"

#include <algorithm>
#include <random>

#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::support {

namespace {
// Text order of the structure bytes: the first three groups are printed most significant first.
constexpr int kTextOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
}  // namespace

GuidBytes GuidToBytes(const TGuid& g) {
    GuidBytes b{};
    StoreLittleEndian(b.data(), g.D1);
    StoreLittleEndian(b.data() + 4, g.D2);
    StoreLittleEndian(b.data() + 6, g.D3);
    for (std::size_t k = 0; k < 8; ++k) b[8 + k] = g.D4[k];
    return b;
}

TGuid GuidFromBytes(const GuidBytes& b) {
    TGuid g;
    g.D1 = LoadLittleEndian<std::uint32_t>(b.data());
    g.D2 = LoadLittleEndian<std::uint16_t>(b.data() + 4);
    g.D3 = LoadLittleEndian<std::uint16_t>(b.data() + 6);
    for (std::size_t k = 0; k < 8; ++k) g.D4[k] = b[8 + k];
    return g;
}

std::string GuidToString(const TGuid& g) {
    const std::string hex = HexText(GuidToBytes(g));
    std::string s = "{";
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) s += '-';
        s.append(hex, 2 * static_cast<std::size_t>(kTextOrder[k]), 2);
    }
    s += '}';
    return s;
}

std::optional<TGuid> TryStringToGuid(std::string_view t) {
    if (t.size() != 38 || t.front() != '{' || t.back() != '}') return std::nullopt;
    GuidBytes b{};
    std::size_t pos = 1;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) {
            if (t[pos] != '-') return std::nullopt;
            ++pos;
        }
        const int hi = HexDigitValue(t[pos]), lo = HexDigitValue(t[pos + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        b[static_cast<std::size_t>(kTextOrder[k])] = static_cast<std::uint8_t>(hi << 4 | lo);
        pos += 2;
    }
    return GuidFromBytes(b);
}

TGuid StringToGuid(std::string_view text) {
    if (auto g = TryStringToGuid(text)) return *g;
    throw EConvertError(Format("'%s' is not a valid GUID value", text));
}

std::string GuidToHex(const TGuid& g) {
    return HexText(GuidToBytes(g));
}

std::optional<TGuid> HexToGuid(std::string_view hex) {
    const auto bytes = hex.size() == 32 ? TryHexToBytes(hex) : std::nullopt;
    if (!bytes) return std::nullopt;
    GuidBytes b{};
    std::copy(bytes->begin(), bytes->end(), b.begin());
    return GuidFromBytes(b);
}

TGuid NewGuid() {
    static thread_local std::mt19937_64 gen{std::random_device{}()};
    GuidBytes b{};
    for (std::size_t k = 0; k < 16; k += 8) {
        const std::uint64_t r = gen();
        for (std::size_t j = 0; j < 8; ++j) b[k + j] = static_cast<std::uint8_t>(r >> (8 * j));
    }
    b[7] = static_cast<std::uint8_t>((b[7] & 0x0F) | 0x40);  // version 4 (D3's high nibble)
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // variant 1
    return GuidFromBytes(b);
}

}  // namespace kestrane::support
