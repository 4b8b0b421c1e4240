#include "platform/resources_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/resources.h"
#include "platform/resources_texts.h"
#include "support/format.h"
#include "support/little_endian.h"

namespace kestrane::platform {

std::uint16_t ByteSource::U16(std::uint64_t offset) const {
    std::uint8_t b[2];
    ReadAt(offset, b, sizeof b);
    return support::LoadLittleEndian<std::uint16_t>(b);
}

std::uint32_t ByteSource::U32(std::uint64_t offset) const {
    std::uint8_t b[4];
    ReadAt(offset, b, sizeof b);
    return support::LoadLittleEndian<std::uint32_t>(b);
}

FileSource::FileSource(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EResourceError(support::Format(texts::kCannotOpen, path, std::strerror(errno)));
    struct stat st {};
    const bool statted = ::fstat(fd_, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const std::string reason = statted ? texts::kNotRegularFile : std::strerror(errno);
        ::close(fd_);
        throw EResourceError(support::Format(texts::kCannotOpen, path, reason));
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    mode_ = st.st_mode & 07777;
}

FileSource::~FileSource() {
    ::close(fd_);
}

void FileSource::ReadAt(std::uint64_t offset, void* dst, std::size_t n) const {
    if (!Contains(offset, n)) throw EResourceError(texts::kStreamReadError);
    auto* p = static_cast<std::uint8_t*>(dst);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, std::min<std::size_t>(n, 1u << 30), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) throw EResourceError(texts::kStreamReadError);
        p += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
}

void MemorySource::ReadAt(std::uint64_t offset, void* dst, std::size_t n) const {
    if (!Contains(offset, n)) throw EResourceError(texts::kStreamReadError);
    if (n > 0) std::memcpy(dst, data_ + offset, n);
}

void ReplacementSink::Write(const void* data, std::size_t n) {
    file_.Write(std::span(static_cast<const std::uint8_t*>(data), n));
}

void VectorSink::Write(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
}

void CopyRange(const ByteSource& from, std::uint64_t offset, std::uint64_t n, ByteSink& to) {
    if (!from.Contains(offset, n)) throw EResourceError(texts::kStreamReadError);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(n, 1u << 20)));
    while (n > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(n, chunk.size()));
        from.ReadAt(offset, chunk.data(), part);
        to.Write(chunk.data(), part);
        offset += part;
        n -= part;
    }
}

}  // namespace kestrane::platform
