// Record layout constants of the ZIP format, shared by the archive reader and writer.
#pragma once

#include <cstdint>

namespace kestrane::platform::zip {

inline constexpr std::uint32_t kLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;

inline constexpr std::uint32_t kLocalSize = 30;    // fixed part of a local header
inline constexpr std::uint32_t kCentralSize = 46;  // fixed part of a central directory record
inline constexpr std::uint32_t kEndSize = 22;      // end of central directory record, without comment
inline constexpr std::uint32_t kZip64LocatorSize = 20;
inline constexpr std::uint32_t kCentralOffsetField = 42;  // local header offset inside a central record

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;

// Offsets and sizes are 32-bit fields; the writer refuses anything that would not fit.
inline constexpr std::uint64_t kMaxOffset = 0xFFFFFFFE;
inline constexpr std::uint32_t kMaxEntries = 0xFFFE;

}  // namespace kestrane::platform::zip
