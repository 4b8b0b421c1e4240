// The codecs of stored values: bitwise complement and zlib streams.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/variant.h"

namespace kestrane::framework {

// Level indices 0..3 select zlib levels 0, 1, 4 and 9.
enum TQELCompressLevel : std::uint8_t { clNone = 0, clFastest = 1, clDefault = 2, clMax = 3 };

// Every byte complemented, in place; its own inverse.
void InvertBytes(support::Bytes& bytes);

// One complete zlib stream written in a single finishing pass.
support::Bytes CompressBlob(const support::Bytes& bytes, TQELCompressLevel level);

// The most a stored value or a configuration file may inflate to: far above what the product
// writes, and the same bound on every machine whatever its free memory.
inline constexpr std::size_t kMaxDecompressedSize = 64 << 20;

// SizeHint is the expected length; below 1 the input length rounded up to 256 is used. A zlib failure,
// a stream that ends early, or one that inflates past kMaxDecompressedSize raises 1024
// "DecompressBlob(<zlib's message>)". An honest hint costs the decoded size once, a smaller or missing
// one at most twice.
support::Bytes DecompressBlob(const support::Bytes& stream, std::int32_t sizeHint);

// The whole file, or nothing when it cannot be opened or read.
std::optional<support::Bytes> ReadFileBytes(const std::string& path);

}  // namespace kestrane::framework
