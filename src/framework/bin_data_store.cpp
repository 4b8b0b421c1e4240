#include "framework/bin_data_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "framework/texts.h"
#include "support/format.h"

namespace kestrane::framework {

namespace {

class FileHandle {
  public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

bool IsGuidTextChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-';
}

// Opens without sharing: another holder of the same value makes this fail.
int OpenExclusive(const std::string& path, int flags, mode_t mode = 0) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
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
    FileHandle file(OpenExclusive(FileName(value, key), O_RDONLY));
    if (!file) return result;
    result.Found = true;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) SystemFailure(errno);
    // A file shorter than its trailer holds no value.
    if (st.st_size < 4) return result;
    result.Bytes.resize(static_cast<std::size_t>(st.st_size) - 4);
    std::size_t got = 0;
    while (got < result.Bytes.size()) {
        const ssize_t n = ::read(file.get(), result.Bytes.data() + got, result.Bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            SystemFailure(errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got < result.Bytes.size()) {
        result.Bytes.resize(got);
        return result;
    }
    std::uint8_t trailer[4];
    std::size_t tgot = 0;
    while (tgot < 4) {
        const ssize_t n = ::read(file.get(), trailer + tgot, 4 - tgot);
        if (n < 0) {
            if (errno == EINTR) continue;
            SystemFailure(errno);
        }
        if (n == 0) break;
        tgot += static_cast<std::size_t>(n);
    }
    if (tgot == 4)
        result.Trailer =
            static_cast<std::int32_t>(std::uint32_t{trailer[0]} | (std::uint32_t{trailer[1]} << 8) |
                                      (std::uint32_t{trailer[2]} << 16) | (std::uint32_t{trailer[3]} << 24));
    return result;
}

void TQELSBDFProvider::WriteToDisk(int fd, const void* data, std::size_t size) const {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (n < 0 && (errno == ENOSPC || errno == EDQUOT)))
            RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "WriteBlobToDisk( Disk Full )");
        if (n < 0) SystemFailure(errno);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

bool TQELSBDFProvider::WriteValue(const support::Bytes& bytes, std::int32_t value, std::uint8_t key,
                                  std::int32_t trailer) {
    const std::string path = FileName(value, key);
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    // The lock on the value file keeps other readers and writers out while it is replaced.
    FileHandle target(OpenExclusive(path, O_WRONLY | O_CREAT, 0644));
    if (!target) SystemFailure(errno);
    std::string temp = path + ".XXXXXX";
    FileHandle file(::mkstemp(temp.data()));
    if (!file) SystemFailure(errno);
    try {
        (void)::fchmod(file.get(), existed ? (before.st_mode & 07777) : 0644);
        WriteToDisk(file.get(), bytes.data(), bytes.size());
        const auto t = static_cast<std::uint32_t>(trailer);
        const std::uint8_t le[4] = {static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t >> 8),
                                    static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 24)};
        WriteToDisk(file.get(), le, sizeof le);
        if (::fsync(file.get()) != 0) SystemFailure(errno);
        if (::rename(temp.c_str(), path.c_str()) != 0) SystemFailure(errno);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    FileHandle folder(::open(dir_.empty() ? "." : dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
    return !existed;
}

}  // namespace kestrane::framework
