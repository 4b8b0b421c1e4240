#include "patch/stream_bytes.h"

#include "patch/stream_error.h"
#include "patch/texts.h"
#include "support/codepage.h"

namespace kestrane::patch::detail {

void StreamBytes::Need(std::uint64_t n) const {
    if (n > in_.size() - pos_) throw EStreamError(texts::kStreamReadError);
}

std::uint8_t StreamBytes::Byte() {
    Need(1);
    return in_[pos_++];
}

std::uint8_t StreamBytes::Peek() const {
    Need(1);
    return in_[pos_];
}

std::span<const std::uint8_t> StreamBytes::Take(std::uint64_t n) {
    Need(n);
    auto r = in_.subspan(pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return r;
}

std::uint32_t StreamBytes::U32() {
    const auto b = Take(4);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::string_view StreamBytes::Chars(std::uint64_t n) {
    const auto b = Take(n);
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

std::int32_t StreamBytes::IntegerPayload(std::uint8_t tag) {
    switch (tag) {
        case vaInt8:
            return static_cast<std::int8_t>(Byte());
        case vaInt16: {
            const auto b = Take(2);
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | b[1] << 8));
        }
        case vaInt32:
            return static_cast<std::int32_t>(U32());
        default:
            throw EStreamError(texts::kInvalidPropertyValue);
    }
}

std::string StreamBytes::WideStringPayload() {
    const std::uint32_t units = U32();
    const auto b = Take(std::uint64_t{2} * units);
    std::u16string utf16(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) utf16[i] = static_cast<char16_t>(b[2 * i] | b[2 * i + 1] << 8);
    return support::Utf16ToUtf8(utf16);
}

void StreamBytes::SkipRecordPrefix() {
    if ((Peek() & 0xF0) != 0xF0) return;
    if (Byte() & 0x02) IntegerPayload(Byte());
}

Inflater::Inflater() {
    if (inflateInit(&z_) != Z_OK) throw EStreamError(texts::kZlibError);
}

std::string Printable(std::string_view name) {
    std::string r(name);
    for (auto& c : r)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80) c = '?';
    return r;
}

std::string AnsiText(std::string_view s) {
    return support::IsAscii(s) ? std::string(s) : support::Cp936ToUtf8(s);
}

}  // namespace kestrane::patch::detail
