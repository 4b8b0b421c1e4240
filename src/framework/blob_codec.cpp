#include "framework/blob_codec.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "framework/base.h"
#include "framework/texts.h"
#include "platform/file_system.h"

namespace kestrane::framework {

namespace {

[[noreturn]] void ZlibFailed(const char* operation, const z_stream& z, int result) {
    const std::string message = z.msg ? z.msg : zError(result);
    RaiseFrameworkError(errNotSupported, support::Format(texts::kNotSupported, "",
                                                         std::string(operation) + "(" + message + ")"));
}

// More than the bound: the same verdict on every machine, whatever its free memory.
[[noreturn]] void InflatedTooLarge() {
    RaiseFrameworkError(
        errNotSupported,
        support::Format(
            texts::kNotSupported, "",
            "DecompressBlob(" +
                support::Format(texts::kInflatedTooLarge, static_cast<int>(kMaxDecompressedSize)) + ")"));
}

// Deflate expands by at most about 1032:1, so a hint beyond that cannot be honest.
constexpr std::size_t kMaxRatio = 1032;

}  // namespace

void InvertBytes(support::Bytes& bytes) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(~b);
}

support::Bytes CompressBlob(const support::Bytes& bytes, TQELCompressLevel level) {
    static const int kLevels[] = {0, 1, 4, 9};
    z_stream z{};
    int result = deflateInit(&z, kLevels[level & 3]);
    if (result != Z_OK) ZlibFailed("CompressBlob", z, result);
    support::Bytes out(deflateBound(&z, static_cast<uLong>(bytes.size())));
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    result = deflate(&z, Z_FINISH);
    if (result != Z_STREAM_END) {
        deflateEnd(&z);
        ZlibFailed("CompressBlob", z, result == Z_OK ? Z_BUF_ERROR : result);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

support::Bytes DecompressBlob(const support::Bytes& stream, std::int32_t sizeHint) {
    // One byte past the bound tells a stream that would go on from one that ends there.
    constexpr std::size_t limit = kMaxDecompressedSize + 1;
    // The first buffer: the hint, which a stored value gets from its trailer, or the input length in
    // whole steps; never more than the input can honestly inflate to.
    const std::size_t step = std::max<std::size_t>(256, (stream.size() + 255) / 256 * 256);
    const std::size_t ceiling = std::min(stream.size() * kMaxRatio + 256, limit);
    support::Bytes out(sizeHint > 0 ? std::min<std::size_t>(static_cast<std::size_t>(sizeHint), ceiling)
                                    : std::min(step, limit));
    // Output past the first buffer goes to pieces of a fixed size joined once at the end: a hint that
    // is too small costs the decoded size once more, not the copies of a growing buffer.
    std::vector<support::Bytes> pieces;
    z_stream z{};
    int result = inflateInit(&z);
    if (result != Z_OK) ZlibFailed("DecompressBlob", z, result);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    support::Bytes* buffer = &out;
    std::size_t used = 0;  // of *buffer
    for (;;) {
        if (used == buffer->size()) {
            const std::size_t total = z.total_out;
            if (total >= limit) {
                inflateEnd(&z);
                InflatedTooLarge();
            }
            pieces.emplace_back(std::min(std::max<std::size_t>(step, 1u << 20), limit - total));
            buffer = &pieces.back();
            used = 0;
        }
        z.next_out = buffer->data() + used;
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(buffer->size() - used, 1u << 30));
        const uInt room = z.avail_out;
        result = inflate(&z, Z_NO_FLUSH);
        used += room - z.avail_out;
        if (result == Z_STREAM_END) break;
        // Z_OK with input left means more room is needed; anything else is a broken or cut stream.
        if (result != Z_OK && !(result == Z_BUF_ERROR && z.avail_out == 0 && z.avail_in > 0)) {
            const z_stream copy = z;
            inflateEnd(&z);
            ZlibFailed("DecompressBlob", copy, result);
        }
        if (z.avail_in == 0 && z.avail_out != 0) {
            inflateEnd(&z);
            z_stream none{};
            ZlibFailed("DecompressBlob", none, Z_BUF_ERROR);
        }
    }
    const std::size_t total = z.total_out;
    inflateEnd(&z);
    if (total > kMaxDecompressedSize) InflatedTooLarge();
    if (pieces.empty()) {
        out.resize(total);
        // A hint far above the content would otherwise stay allocated with it.
        if (out.capacity() > 2 * out.size() + 4096) out.shrink_to_fit();
        return out;
    }
    pieces.back().resize(used);
    support::Bytes joined;
    joined.reserve(total);
    joined.insert(joined.end(), out.begin(), out.end());
    support::Bytes().swap(out);
    for (auto& piece : pieces) {
        joined.insert(joined.end(), piece.begin(), piece.end());
        support::Bytes().swap(piece);
    }
    return joined;
}

std::optional<support::Bytes> ReadFileBytes(const std::string& path) {
    try {
        return platform::ReadFileBytes(path);
    } catch (const platform::EFileSystemError&) {
        return std::nullopt;
    }
}

}  // namespace kestrane::framework
