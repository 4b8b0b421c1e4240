// Bounded byte access for the resource containers: parsers read outside bytes only through a
// ByteSource, which refuses any range that is not wholly inside it, and write through a ByteSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace kestrane::platform {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Throws EResourceError("Stream read error") unless [offset, offset + n) lies inside the source.
    virtual void ReadAt(std::uint64_t offset, void* dst, std::size_t n) const = 0;

    bool Contains(std::uint64_t offset, std::uint64_t n) const {
        return offset <= Size() && n <= Size() - offset;
    }
    std::uint16_t U16(std::uint64_t offset) const;
    std::uint32_t U32(std::uint64_t offset) const;
};

// A file read with pread, so that a resource is copied once, straight into its buffer. The size is
// taken when the file is opened; bytes that vanish afterwards give "Stream read error".
class FileSource : public ByteSource {
  public:
    explicit FileSource(const std::string& path);  // throws EResourceError
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t offset, void* dst, std::size_t n) const override;
    int Descriptor() const { return fd_; }
    unsigned Mode() const { return mode_; }

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    unsigned mode_ = 0;
};

class MemorySource : public ByteSource {
  public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t offset, void* dst, std::size_t n) const override;

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, std::size_t n) = 0;
};

// Writes the new content of a file being replaced; a failing write throws EFileSystemError.
class ReplacementSink : public ByteSink {
  public:
    explicit ReplacementSink(TReplacementFile& file) : file_(file) {}
    void Write(const void* data, std::size_t n) override;

  private:
    TReplacementFile& file_;
};

class VectorSink : public ByteSink {
  public:
    void Write(const void* data, std::size_t n) override;
    std::vector<std::uint8_t> bytes;
};

// Copies [offset, offset + n) of the source to the sink in bounded chunks.
void CopyRange(const ByteSource& from, std::uint64_t offset, std::uint64_t n, ByteSink& to);

}  // namespace kestrane::platform
