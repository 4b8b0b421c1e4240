// Fixed-size integers in the little-endian byte order of every format the system reads and writes,
// whatever the host.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace kestrane::support {

template <class T>
concept LittleEndianInteger = std::integral<T> && !std::same_as<T, bool>;

// The value of the sizeof(T) bytes at p; the caller has checked that they are there.
template <LittleEndianInteger T>
T LoadLittleEndian(const std::uint8_t* p) {
    using U = std::make_unsigned_t<T>;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= std::uint64_t{p[i]} << (8 * i);
    return static_cast<T>(static_cast<U>(v));
}

template <LittleEndianInteger T>
void StoreLittleEndian(std::uint8_t* p, T value) {
    const auto v = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(value));
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <LittleEndianInteger T>
void AppendLittleEndian(std::vector<std::uint8_t>& out, T value) {
    std::uint8_t b[sizeof(T)];
    StoreLittleEndian(b, value);
    out.insert(out.end(), b, b + sizeof(T));
}

// The UTF-16 code units of little-endian bytes; an odd last byte is no unit.
inline std::u16string LoadUtf16LittleEndian(std::span<const std::uint8_t> bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(LoadLittleEndian<std::uint16_t>(bytes.data() + 2 * i));
    return units;
}

}  // namespace kestrane::support
