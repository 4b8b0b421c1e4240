// GUIDs in their text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and their 16-byte structure form
// (first group 32-bit little-endian, second and third 16-bit little-endian, last eight in text order).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::support {

struct TGuid {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::array<std::uint8_t, 8> D4{};
    bool operator==(const TGuid&) const = default;
};

using GuidBytes = std::array<std::uint8_t, 16>;

std::string GuidToString(const TGuid& g);  // braces, upper-case digits
// Exactly 38 characters with braces; hexadecimal digits of either case.
std::optional<TGuid> TryStringToGuid(std::string_view text);
TGuid StringToGuid(std::string_view text);  // throws EConvertError "'%s' is not a valid GUID value"
GuidBytes GuidToBytes(const TGuid& g);
TGuid GuidFromBytes(const GuidBytes& b);
// 32 upper-case hexadecimal digits of the structure bytes in memory order; reading takes either case.
std::string GuidToHex(const TGuid& g);
std::optional<TGuid> HexToGuid(std::string_view hex);
TGuid NewGuid();  // random (version 4)

}  // namespace kestrane::support
