#include "framework/blob_codec.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <limits>

#include "framework/base.h"
#include "framework/texts.h"

namespace kestrane::framework {

namespace {

[[noreturn]] void ZlibFailed(const char* operation, const z_stream& z, int result) {
    const std::string message = z.msg ? z.msg : zError(result);
    RaiseFrameworkError(errNotSupported, support::Format(texts::kNotSupported, "",
                                                         std::string(operation) + "(" + message + ")"));
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
    const std::size_t step = std::max<std::size_t>(256, (stream.size() + 255) / 256 * 256);
    const std::size_t ceiling = stream.size() * kMaxRatio + 256;
    std::size_t size =
        sizeHint > 0 ? std::min<std::size_t>(static_cast<std::size_t>(sizeHint), ceiling) : step;
    support::Bytes out(size);
    z_stream z{};
    int result = inflateInit(&z);
    if (result != Z_OK) ZlibFailed("DecompressBlob", z, result);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    for (;;) {
        if (z.total_out == out.size()) out.resize(out.size() + step);
        z.next_out = out.data() + z.total_out;
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        result = inflate(&z, Z_NO_FLUSH);
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
        if (out.size() > std::numeric_limits<uInt>::max() - step) {
            inflateEnd(&z);
            z_stream none{};
            ZlibFailed("DecompressBlob", none, Z_MEM_ERROR);
        }
    }
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::optional<support::Bytes> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    support::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

}  // namespace kestrane::framework
