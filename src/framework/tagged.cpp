#include "framework/tagged.h"

#include <bit>
#include <cstring>

#include "framework/texts.h"
#include "support/codepage.h"

namespace kestrane::framework {

using detail::GetRawLE;
using detail::PutRawLE;

void TQELMemWriteData::Write(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

std::size_t TQELMemReadData::Read(void* data, std::size_t size) {
    const std::size_t n = std::min(size, Remaining());
    if (n != 0) std::memcpy(data, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

bool TQELMemReadData::PeekByte(std::uint8_t& byte) const {
    if (pos_ >= data_.size()) return false;
    byte = data_[pos_];
    return true;
}

// ---- writer ----

void TQELWriter::WriteRaw(const void* data, std::size_t size) {
    if (size != 0) data_.Write(data, size);
}

std::string TQELWriter::Encode(const std::string& utf8) const {
    try {
        return support::Utf8ToCp936(utf8);
    } catch (const support::ECodePageError&) {
        RaiseError(errWriteBuffer, texts::kWriteError);
    }
}

void TQELWriter::WriteRawInt32(std::int32_t v) {
    PutRawLE(*this, v);
}

void TQELWriter::WriteRawText(const std::string& utf8) {
    const std::string bytes = Encode(utf8);
    PutRawLE(*this, static_cast<std::int32_t>(bytes.size()));
    WriteRaw(bytes.data(), bytes.size());
}

void TQELWriter::WriteRawWideText(const std::string& utf8) {
    std::u16string wide;
    try {
        wide = support::Utf8ToUtf16(utf8);
    } catch (const support::ECodePageError&) {
        RaiseError(errWriteBuffer, texts::kWriteError);
    }
    PutRawLE(*this, static_cast<std::int32_t>(wide.size() * 2));
    for (char16_t c : wide) PutRawLE(*this, static_cast<std::uint16_t>(c));
}

void TQELWriter::WriteBoolean(bool v) {
    Tag(v ? tagTrue : tagFalse);
}
void TQELWriter::WriteInt8(std::uint8_t v) {
    Tag(tagInt8);
    WriteRaw(&v, 1);
}
void TQELWriter::WriteInt16(std::int16_t v) {
    Tag(tagInt16);
    PutRawLE(*this, v);
}
void TQELWriter::WriteInt32(std::int32_t v) {
    Tag(tagInt32);
    PutRawLE(*this, v);
}
void TQELWriter::WriteInt64(std::int64_t v) {
    Tag(tagInt64);
    PutRawLE(*this, v);
}
void TQELWriter::WriteDouble(double v) {
    Tag(tagDouble);
    PutRawLE(*this, std::bit_cast<std::uint64_t>(v));
}
void TQELWriter::WriteSingle(float v) {
    Tag(tagSingle);
    PutRawLE(*this, std::bit_cast<std::uint32_t>(v));
}
void TQELWriter::WriteDateTime(double v) {
    Tag(tagDateTime);
    PutRawLE(*this, std::bit_cast<std::uint64_t>(v));
}
void TQELWriter::WriteDouble2(double v) {
    Tag(tagDouble2);
    PutRawLE(*this, std::bit_cast<std::uint64_t>(v));
}
void TQELWriter::WriteCardinal(std::uint32_t v) {
    Tag(tagCardinal);
    PutRawLE(*this, v);
}
void TQELWriter::WriteInt32Ext(std::int32_t v, std::uint8_t extra) {
    Tag(tagInt32Ext);
    PutRawLE(*this, v);
    WriteRaw(&extra, 1);
}
void TQELWriter::WriteGuid(const support::TGuid& v) {
    Tag(tagGuid);
    const support::GuidBytes b = support::GuidToBytes(v);
    WriteRaw(b.data(), b.size());
}
void TQELWriter::WriteChar(char v) {
    if (v == 0) {
        Tag(tagCharZero);
        return;
    }
    Tag(tagChar);
    WriteRaw(&v, 1);
}

void TQELWriter::WriteShortString(const std::string& utf8) {
    std::string bytes = Encode(utf8);
    if (bytes.empty()) {
        Tag(tagShortStringEmpty);
        return;
    }
    if (bytes.size() > 255) {
        // A lead byte left alone at the cut would make the text unreadable.
        std::size_t cut = 0;
        while (cut < 255) {
            const auto c = static_cast<std::uint8_t>(bytes[cut]);
            const std::size_t width = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
            if (cut + width > 255) break;
            cut += width;
        }
        bytes.resize(cut);
    }
    Tag(tagShortString);
    const auto n = static_cast<std::uint8_t>(bytes.size());
    WriteRaw(&n, 1);
    WriteRaw(bytes.data(), bytes.size());
}

void TQELWriter::WriteString(const std::string& utf8) {
    const std::string bytes = Encode(utf8);
    if (bytes.empty()) {
        Tag(tagStringEmpty);
        return;
    }
    Tag(tagString);
    PutRawLE(*this, static_cast<std::int32_t>(bytes.size()));
    WriteRaw(bytes.data(), bytes.size());
}

void TQELWriter::WriteWideString(const std::string& utf8) {
    std::u16string wide;
    try {
        wide = support::Utf8ToUtf16(utf8);
    } catch (const support::ECodePageError&) {
        RaiseError(errWriteBuffer, texts::kWriteError);
    }
    if (wide.empty()) {
        Tag(tagWideStringEmpty);
        return;
    }
    Tag(tagWideString);
    PutRawLE(*this, static_cast<std::int32_t>(wide.size()));
    for (char16_t c : wide) PutRawLE(*this, static_cast<std::uint16_t>(c));
}

void TQELWriter::WriteRawBlock(std::span<const std::uint8_t> block) {
    Tag(tagRawBlock);
    PutRawLE(*this, static_cast<std::int32_t>(block.size()));
    WriteRaw(block.data(), block.size());
}

void TQELWriter::WriteRecordHeader(std::uint8_t nameCheckByte) {
    Tag(tagRecord);
    WriteRaw(&nameCheckByte, 1);
}

void TQELWriter::WriteClassRef(std::uint32_t classId, std::int32_t classVersion) {
    Tag(tagClassRef);
    PutRawLE(*this, classId);
    PutRawLE(*this, classVersion);
}

void TQELWriter::WriteItemHeader(std::uint32_t classId, std::int32_t classVersion,
                                 std::uint8_t nameCheckByte) {
    Tag(tagItemHeader);
    PutRawLE(*this, classId);
    PutRawLE(*this, classVersion);
    WriteRaw(&nameCheckByte, 1);
}

void TQELWriter::WriteBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        Tag(tagBytesEmpty);
        return;
    }
    Tag(tagBytes);
    PutRawLE(*this, static_cast<std::int32_t>(bytes.size()));
    WriteRaw(bytes.data(), bytes.size());
}

// ---- reader ----

void TQELReader::ReadFailed() const {
    RaiseError(errReadBuffer, texts::kReadError);
}

void TQELReader::ReadRaw(void* data, std::size_t size) {
    if (size == 0) return;
    if (data_.Read(data, size) != size) ReadFailed();
}

std::uint8_t TQELReader::ReadTag() {
    std::uint8_t tag = 0;
    ReadRaw(&tag, 1);
    return tag;
}

std::uint8_t TQELReader::PeekTag() {
    std::uint8_t tag = 0;
    if (AtEnd() || !data_.PeekByte(tag)) ReadFailed();
    return tag;
}

void TQELReader::Expect(TQELTag tag) {
    if (ReadTag() != tag) ReadFailed();
}

std::size_t TQELReader::CheckedLength(std::int64_t length, std::size_t unit) {
    if (length < 0) ReadFailed();
    const auto n = static_cast<std::uint64_t>(length);
    if (unit != 0 && n > data_.Remaining() / unit) ReadFailed();
    return static_cast<std::size_t>(n);
}

std::string TQELReader::Decode(const std::string& cp936) const {
    try {
        return support::Cp936ToUtf8(cp936);
    } catch (const support::ECodePageError&) {
        ReadFailed();
    }
}

std::string TQELReader::ReadLengthPrefixed(std::size_t length) {
    std::string bytes(length, '\0');
    ReadRaw(bytes.data(), length);
    return Decode(bytes);
}

std::int32_t TQELReader::ReadRawInt32() {
    return GetRawLE<std::int32_t>(*this);
}

std::string TQELReader::ReadRawText() {
    return ReadLengthPrefixed(CheckedLength(ReadRawInt32()));
}

std::string TQELReader::ReadRawWideText() {
    const std::size_t bytes = CheckedLength(ReadRawInt32());
    if (bytes % 2 != 0) ReadFailed();
    std::u16string wide(bytes / 2, u'\0');
    for (auto& c : wide) c = static_cast<char16_t>(GetRawLE<std::uint16_t>(*this));
    try {
        return support::Utf16ToUtf8(wide);
    } catch (const support::ECodePageError&) {
        ReadFailed();
    }
}

bool TQELReader::ReadBoolean() {
    const std::uint8_t tag = ReadTag();
    if (tag == tagTrue) return true;
    if (tag == tagFalse) return false;
    ReadFailed();
}

std::uint8_t TQELReader::ReadInt8() {
    Expect(tagInt8);
    return GetRawLE<std::uint8_t>(*this);
}
std::int16_t TQELReader::ReadInt16() {
    Expect(tagInt16);
    return GetRawLE<std::int16_t>(*this);
}
std::int32_t TQELReader::ReadInt32() {
    Expect(tagInt32);
    return GetRawLE<std::int32_t>(*this);
}
std::int64_t TQELReader::ReadInt64() {
    Expect(tagInt64);
    return GetRawLE<std::int64_t>(*this);
}
double TQELReader::ReadDouble() {
    Expect(tagDouble);
    return std::bit_cast<double>(GetRawLE<std::uint64_t>(*this));
}
float TQELReader::ReadSingle() {
    Expect(tagSingle);
    return std::bit_cast<float>(GetRawLE<std::uint32_t>(*this));
}
double TQELReader::ReadDateTime() {
    Expect(tagDateTime);
    return std::bit_cast<double>(GetRawLE<std::uint64_t>(*this));
}
double TQELReader::ReadDouble2() {
    Expect(tagDouble2);
    return std::bit_cast<double>(GetRawLE<std::uint64_t>(*this));
}
std::uint32_t TQELReader::ReadCardinal() {
    Expect(tagCardinal);
    return GetRawLE<std::uint32_t>(*this);
}
std::int32_t TQELReader::ReadInt32Ext(std::uint8_t& extra) {
    Expect(tagInt32Ext);
    const auto v = GetRawLE<std::int32_t>(*this);
    extra = GetRawLE<std::uint8_t>(*this);
    return v;
}
support::TGuid TQELReader::ReadGuid() {
    Expect(tagGuid);
    support::GuidBytes b{};
    ReadRaw(b.data(), b.size());
    return support::GuidFromBytes(b);
}
char TQELReader::ReadChar() {
    const std::uint8_t tag = ReadTag();
    if (tag == tagCharZero) return '\0';
    if (tag != tagChar) ReadFailed();
    return static_cast<char>(GetRawLE<std::uint8_t>(*this));
}

std::string TQELReader::ReadString() {
    switch (ReadTag()) {
        case tagShortStringEmpty:
        case tagStringEmpty:
            return {};
        case tagShortString:
            return ReadLengthPrefixed(GetRawLE<std::uint8_t>(*this));
        case tagString:
            return ReadLengthPrefixed(CheckedLength(GetRawLE<std::int32_t>(*this)));
        default:
            ReadFailed();
    }
}

std::string TQELReader::ReadWideString() {
    const std::uint8_t tag = ReadTag();
    if (tag == tagWideStringEmpty) return {};
    if (tag != tagWideString) ReadFailed();
    const std::size_t count = CheckedLength(GetRawLE<std::int32_t>(*this), 2);
    std::u16string wide(count, u'\0');
    for (auto& c : wide) c = static_cast<char16_t>(GetRawLE<std::uint16_t>(*this));
    try {
        return support::Utf16ToUtf8(wide);
    } catch (const support::ECodePageError&) {
        ReadFailed();
    }
}

support::Bytes TQELReader::ReadRawBlock(std::size_t expectedSize) {
    Expect(tagRawBlock);
    const std::int32_t stored = GetRawLE<std::int32_t>(*this);
    if (stored < 0 || static_cast<std::size_t>(stored) != expectedSize) ReadFailed();
    support::Bytes block(CheckedLength(stored));
    ReadRaw(block.data(), block.size());
    return block;
}

void TQELReader::ReadRecordHeader(std::uint8_t expectedCheckByte) {
    Expect(tagRecord);
    if (GetRawLE<std::uint8_t>(*this) != expectedCheckByte) ReadFailed();
}

void TQELReader::ReadClassRef(std::uint32_t& classId, std::int32_t& classVersion) {
    Expect(tagClassRef);
    classId = GetRawLE<std::uint32_t>(*this);
    classVersion = GetRawLE<std::int32_t>(*this);
}

TQELItemHeader TQELReader::ReadItemHeader() {
    Expect(tagItemHeader);
    TQELItemHeader h;
    h.ClassId = GetRawLE<std::uint32_t>(*this);
    h.ClassVersion = GetRawLE<std::int32_t>(*this);
    h.NameCheckByte = GetRawLE<std::uint8_t>(*this);
    return h;
}

support::Bytes TQELReader::ReadBytes() {
    const std::uint8_t tag = ReadTag();
    if (tag == tagBytesEmpty) return {};
    if (tag != tagBytes) ReadFailed();
    support::Bytes bytes(CheckedLength(GetRawLE<std::int32_t>(*this)));
    ReadRaw(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace kestrane::framework
