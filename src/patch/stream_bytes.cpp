#include "patch/stream_bytes.h"

#include "patch/stream_error.h"
#include "patch/texts.h"
#include "support/codepage.h"
#include "support/little_endian.h"

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
    return support::LoadLittleEndian<std::uint32_t>(Take(4).data());
}

std::string_view StreamBytes::Chars(std::uint64_t n) {
    const auto b = Take(n);
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

std::int32_t StreamBytes::IntegerPayload(std::uint8_t tag) {
    switch (tag) {
        case vaInt8:
            return static_cast<std::int8_t>(Byte());
        case vaInt16:
            return support::LoadLittleEndian<std::int16_t>(Take(2).data());
        case vaInt32:
            return static_cast<std::int32_t>(U32());
        default:
            throw EStreamError(texts::kInvalidPropertyValue);
    }
}

std::string StreamBytes::WideStringPayload() {
    const std::uint32_t units = U32();
    return support::Utf16ToUtf8(support::LoadUtf16LittleEndian(Take(std::uint64_t{2} * units)));
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
