// Little-endian fields of byte fixtures: read, patched in place (the range checked) and appended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/little_endian.h"

namespace kestrane::testing {

inline std::uint16_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return support::LoadLittleEndian<std::uint16_t>(&b.at(at + 1) - 1);
}
inline std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return support::LoadLittleEndian<std::uint32_t>(&b.at(at + 3) - 3);
}
inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    support::StoreLittleEndian(&b.at(at + 1) - 1, v);
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    support::StoreLittleEndian(&b.at(at + 3) - 3, v);
}
inline void Append16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    support::AppendLittleEndian(b, v);
}
inline void Append32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    support::AppendLittleEndian(b, v);
}

}  // namespace kestrane::testing
