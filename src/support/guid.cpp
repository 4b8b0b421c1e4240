#include "support/guid.h"

#include <random>

#include "support/format.h"

namespace kestrane::support {

namespace {
const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendHexByte(std::string& s, std::uint8_t b) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
}
}  // namespace

GuidBytes GuidToBytes(const TGuid& g) {
    GuidBytes b{};
    for (int k = 0; k < 4; ++k) b[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(g.D1 >> (8 * k));
    b[4] = static_cast<std::uint8_t>(g.D2);
    b[5] = static_cast<std::uint8_t>(g.D2 >> 8);
    b[6] = static_cast<std::uint8_t>(g.D3);
    b[7] = static_cast<std::uint8_t>(g.D3 >> 8);
    for (std::size_t k = 0; k < 8; ++k) b[8 + k] = g.D4[k];
    return b;
}

TGuid GuidFromBytes(const GuidBytes& b) {
    TGuid g;
    g.D1 = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    g.D2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    g.D3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    for (std::size_t k = 0; k < 8; ++k) g.D4[k] = b[8 + k];
    return g;
}

std::string GuidToString(const TGuid& g) {
    const GuidBytes b = GuidToBytes(g);
    // text order of the bytes: the first three groups are printed most significant first
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string s = "{";
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) s += '-';
        AppendHexByte(s, b[static_cast<std::size_t>(order[k])]);
    }
    s += '}';
    return s;
}

std::optional<TGuid> TryStringToGuid(std::string_view t) {
    if (t.size() != 38 || t.front() != '{' || t.back() != '}') return std::nullopt;
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    GuidBytes b{};
    std::size_t pos = 1;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) {
            if (t[pos] != '-') return std::nullopt;
            ++pos;
        }
        const int hi = HexDigit(t[pos]), lo = HexDigit(t[pos + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        b[static_cast<std::size_t>(order[k])] = static_cast<std::uint8_t>(hi << 4 | lo);
        pos += 2;
    }
    return GuidFromBytes(b);
}

TGuid StringToGuid(std::string_view text) {
    if (auto g = TryStringToGuid(text)) return *g;
    throw EConvertError(Format("'%s' is not a valid GUID value", text));
}

std::string GuidToHex(const TGuid& g) {
    std::string s;
    for (std::uint8_t byte : GuidToBytes(g)) AppendHexByte(s, byte);
    return s;
}

std::optional<TGuid> HexToGuid(std::string_view hex) {
    if (hex.size() != 32) return std::nullopt;
    GuidBytes b{};
    for (std::size_t k = 0; k < 16; ++k) {
        const int hi = HexDigit(hex[2 * k]), lo = HexDigit(hex[2 * k + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        b[k] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
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
