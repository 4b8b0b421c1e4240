#include "framework/bin_data_store.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "framework/texts.h"
#include "platform/file_system.h"
#include "support/format.h"
#include "support/little_endian.h"

namespace kestrane::framework {

namespace {

bool IsGuidTextChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-';
}

}  // namespace

support::TGuid ServerAppIdFromText(const std::string& text) {
    if (text.empty()) return DefaultAppId;
    if (text.size() >= 36) {
        bool guidChars = true;
        for (std::size_t i = 0; i < 36; ++i) guidChars = guidChars && IsGuidTextChar(text[i]);
        if (guidChars) {
            if (auto g = support::TryStringToGuid("{" + text.substr(0, 36) + "}")) return *g;
        }
    }
    // Any other text: a stable identifier from four CRC-32 passes over it.
    support::GuidBytes b{};
    for (unsigned part = 0; part < 4; ++part) {
        uLong crc = crc32(0L, Z_NULL, 0);
        const unsigned char seed = static_cast<unsigned char>(part);
        crc = crc32(crc, &seed, 1);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
        for (unsigned i = 0; i < 4; ++i) b[part * 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    return support::GuidFromBytes(b);
}

const support::TGuid& ServerAppId() {
    static const support::TGuid id = [] {
        const char* env = std::getenv("Lumo_SvrAppID");
        return ServerAppIdFromText(env ? env : "");
    }();
    return id;
}

std::string StorePostfix(const std::string& lmbFilePostfix, const support::TGuid& appId) {
    if (!lmbFilePostfix.empty()) return lmbFilePostfix;
    if (appId == DefaultAppId) return {};
    std::string digits;
    for (char c : support::GuidToString(appId))
        if (c != '{' && c != '}' && c != '-') digits += c;
    return "_" + digits;
}

TQELSBDFProvider::TQELSBDFProvider(std::string dir) : dir_(std::move(dir)) {
    const char* env = std::getenv("Lumo_LMBFilePostfix");
    postfix_ = StorePostfix(env ? env : "", ServerAppId());
}

TQELSBDFProvider::TQELSBDFProvider(std::string dir, std::string postfix)
    : dir_(std::move(dir)), postfix_(std::move(postfix)) {}

std::string TQELSBDFProvider::FileName(std::int32_t value, std::uint8_t key) const {
    return dir_ + support::Format("lumo_bd_%d_%d", value, key) + postfix_ + ".lmb";
}

void TQELSBDFProvider::SystemFailure(int error) const {
    RaiseErrorText(errSystemCall, support::Format(texts::kSystemError, error), std::strerror(error), error);
}

void TQELSBDFProvider::ClearValue(std::int32_t value, std::uint8_t key) {
    WriteValue({}, value, key, 0);
}

TQELStoredValue TQELSBDFProvider::ReadValue(std::int32_t value, std::uint8_t key) {
    TQELStoredValue result;
    const std::string path = FileName(value, key);
    if (!platform::FileExists(path)) return result;
    // Another holder of the value keeps it out of reach: that reads as not found.
    std::optional<platform::TLockedFile> file;
    try {
        file.emplace(path, false);
    } catch (const platform::EFileSystemError&) {
        return result;
    }
    result.Found = true;
    try {
        const std::uint64_t size = file->Size();
        // A file shorter than its trailer holds no value.
        if (size < 4) return result;
        result.Bytes.resize(static_cast<std::size_t>(size - 4));
        const std::size_t got = file->Read(result.Bytes.data(), result.Bytes.size());
        if (got < result.Bytes.size()) {
            result.Bytes.resize(got);
            return result;
        }
        std::uint8_t trailer[4];
        if (file->Read(trailer, sizeof trailer) == sizeof trailer)
            result.Trailer = support::LoadLittleEndian<std::int32_t>(trailer);
    } catch (const platform::EFileSystemError& e) {
        SystemFailure(e.Code());
    }
    return result;
}

bool TQELSBDFProvider::WriteValue(const support::Bytes& bytes, std::int32_t value, std::uint8_t key,
                                  std::int32_t trailer) {
    const std::string path = FileName(value, key);
    const bool existed = platform::FileExists(path);
    try {
        // The lock on the value file keeps other readers and writers out while it is replaced.
        const platform::TLockedFile lock(path, true);
        platform::TReplacementFile file(path, {.mode = existed ? std::optional<std::uint32_t>() : 0644u});
        file.Write(bytes);
        std::uint8_t le[4];
        support::StoreLittleEndian(le, trailer);
        file.Write(le);
        file.Commit();
    } catch (const platform::EFileSystemError& e) {
        if (e.DiskFull())
            RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "WriteBlobToDisk( Disk Full )");
        SystemFailure(e.Code());
    }
    return !existed;
}

}  // namespace kestrane::framework
