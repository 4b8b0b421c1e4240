// Builders for component stream bytes in tests: a stream is assembled from its pieces as a string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace kestrane::patch::testing {

inline std::string Ss(std::string_view s) {
    return std::string(1, static_cast<char>(s.size())) + std::string(s);
}
inline std::string U32(std::uint32_t v) {
    std::string r;
    for (int i = 0; i < 4; ++i) r += static_cast<char>((v >> (8 * i)) & 0xFF);
    return r;
}
inline const std::string Z(1, '\0');
inline const std::string kFalse = "\x08";
inline const std::string kTrue = "\x09";
inline std::string Int8(int v) {
    return std::string("\x02") + static_cast<char>(v);
}
inline std::string Id(std::string_view name) {
    return "\x07" + Ss(name);
}
inline std::string Str(std::string_view s) {
    return "\x06" + Ss(s);
}
inline std::string LStr(std::string_view s) {
    return "\x0C" + U32(static_cast<std::uint32_t>(s.size())) + std::string(s);
}
inline std::string Utf8Str(std::string_view s) {
    return "\x14" + U32(static_cast<std::uint32_t>(s.size())) + std::string(s);
}
inline std::string WStr(std::u16string_view s) {
    std::string r = "\x12" + U32(static_cast<std::uint32_t>(s.size()));
    for (char16_t c : s) {
        r += static_cast<char>(c & 0xFF);
        r += static_cast<char>(c >> 8);
    }
    return r;
}
// Record head: class name and the empty object name.
inline std::string Head(std::string_view className) {
    return Ss(className) + Z;
}
inline std::string Stream(std::string_view root) {
    return "TPF0" + std::string(root);
}

inline std::string AsString(const support::Bytes& b) {
    return {b.begin(), b.end()};
}
inline support::Bytes AsBytes(std::string_view s) {
    return {s.begin(), s.end()};
}

}  // namespace kestrane::patch::testing
