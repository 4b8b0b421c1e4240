// Bounds-checked reading of component stream bytes, shared by the stream reader and the stream
// decoder so that both see the same values and fail with the same messages. Internal to patch/.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrane::patch::detail {

enum Tag : std::uint8_t {
    vaNull = 0,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaLString = 0x0C,
    vaWString = 0x12,
    vaUTF8String = 0x14,
};

// Every read past the end fails with "Stream read error".
class StreamBytes {
  public:
    explicit StreamBytes(std::span<const std::uint8_t> in) : in_(in) {}

    std::span<const std::uint8_t> Bytes() const { return in_; }
    std::size_t Pos() const { return pos_; }
    void Seek(std::size_t pos) { pos_ = pos; }

    std::uint8_t Byte();
    std::uint8_t Peek() const;
    std::span<const std::uint8_t> Take(std::uint64_t n);
    std::uint32_t U32();
    std::string_view Chars(std::uint64_t n);
    std::string_view ShortString() { return Chars(Byte()); }

    // The payload of an integer value of that tag; any other tag is "Invalid property value".
    std::int32_t IntegerPayload(std::uint8_t tag);
    // The payload of a vaWString (a count of UTF-16 units), as UTF-8.
    std::string WideStringPayload();
    // F0..FF before a class name: flags, and with flag 2 a child position, both of no use here.
    void SkipRecordPrefix();

  private:
    void Need(std::uint64_t n) const;

    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
};

// A zlib inflate stream, ended however the read ends; "Error" when zlib cannot start one.
class Inflater {
  public:
    Inflater();
    ~Inflater() { inflateEnd(&z_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& z() { return z_; }

  private:
    z_stream z_{};
};

// Names from a stream are meant to be ASCII; anything else is shown as '?' so that messages stay text.
std::string Printable(std::string_view name);
// A vaString/vaLString payload: ASCII as it is, else CP936 to UTF-8.
std::string AnsiText(std::string_view s);

}  // namespace kestrane::patch::detail
