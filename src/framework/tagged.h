// The framework's tagged encoding: every value opens with a one-byte tag naming its kind. Writers
// append to a writable data object, readers take from a readable one; numbers are little-endian and
// texts are code page 936 outside, UTF-8 in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "framework/base.h"
#include "support/guid.h"
#include "support/little_endian.h"
#include "support/variant.h"

namespace kestrane::framework {

enum TQELTag : std::uint8_t {
    tagTrue = 0,
    tagFalse = 1,
    tagInt8 = 2,
    tagInt16 = 3,
    tagInt32 = 4,
    tagInt64 = 5,
    tagDouble = 6,
    tagSingle = 7,
    tagDateTime = 8,
    tagDouble2 = 9,
    tagCardinal = 10,
    tagInt32Ext = 11,
    tagGuid = 12,
    tagCharZero = 13,
    tagChar = 14,
    tagShortStringEmpty = 15,
    tagShortString = 16,
    tagStringEmpty = 19,
    tagString = 20,
    tagWideStringEmpty = 21,
    tagWideString = 22,
    tagRawBlock = 23,
    tagRecord = 24,
    tagClassRef = 25,
    tagItemHeader = 26,
    tagBytes = 27,
    tagBytesEmpty = 28,
};

class TQELWritableData : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELWritableData"; }
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual bool DataFlag() const { return false; }
};

class TQELReadableData : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELReadableData"; }
    // Bytes delivered, fewer only at the end of the data.
    virtual std::size_t Read(void* data, std::size_t size) = 0;
    virtual std::size_t Remaining() const = 0;
    // The next byte without taking it; false when the data cannot tell.
    virtual bool PeekByte(std::uint8_t& byte) const { return false; }
    virtual bool DataFlag() const { return false; }
};

class TQELMemWriteData : public TQELWritableData {
  public:
    std::string ClassName() const override { return "TQELMemWriteData"; }
    void Write(const void* data, std::size_t size) override;
    const support::Bytes& Data() const { return bytes_; }
    support::Bytes Take() { return std::move(bytes_); }

  private:
    support::Bytes bytes_;
};

// Reads from bytes owned by the caller, which must outlive it.
class TQELMemReadData : public TQELReadableData {
  public:
    explicit TQELMemReadData(std::span<const std::uint8_t> data) : data_(data) {}
    std::string ClassName() const override { return "TQELMemReadData"; }
    std::size_t Read(void* data, std::size_t size) override;
    std::size_t Remaining() const override { return data_.size() - pos_; }
    bool PeekByte(std::uint8_t& byte) const override;

  private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

class TQELFilter : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELFilter"; }
    std::int32_t Version = 0;
    virtual bool DataFlag() const = 0;
    virtual bool IsWriter() const = 0;
};

class TQELWriter : public TQELFilter {
  public:
    explicit TQELWriter(TQELWritableData& data) : data_(data) {}
    std::string ClassName() const override { return "TQELWriter"; }
    bool DataFlag() const override { return data_.DataFlag(); }
    bool IsWriter() const override { return true; }

    void WriteBoolean(bool v);
    void WriteInt8(std::uint8_t v);
    void WriteInt16(std::int16_t v);
    void WriteInt32(std::int32_t v);
    void WriteInt64(std::int64_t v);
    void WriteDouble(double v);
    void WriteSingle(float v);
    void WriteDateTime(double v);
    void WriteDouble2(double v);
    void WriteCardinal(std::uint32_t v);
    void WriteInt32Ext(std::int32_t v, std::uint8_t extra);
    void WriteGuid(const support::TGuid& v);
    void WriteChar(char v);
    // Cut to 255 bytes, never in the middle of a double-byte character.
    void WriteShortString(const std::string& utf8);
    void WriteString(const std::string& utf8);
    void WriteWideString(const std::string& utf8);
    void WriteRawBlock(std::span<const std::uint8_t> block);
    void WriteRecordHeader(std::uint8_t nameCheckByte);
    void WriteClassRef(std::uint32_t classId, std::int32_t classVersion);
    void WriteItemHeader(std::uint32_t classId, std::int32_t classVersion, std::uint8_t nameCheckByte);
    void WriteBytes(std::span<const std::uint8_t> bytes);

    // Untagged parts of records.
    void WriteRaw(const void* data, std::size_t size);
    void WriteRawInt32(std::int32_t v);
    void WriteRawText(const std::string& utf8);      // 32-bit length, code page 936 bytes
    void WriteRawWideText(const std::string& utf8);  // 32-bit byte length, UTF-16LE bytes

  private:
    void Tag(TQELTag tag) { WriteRaw(&tag, 1); }
    std::string Encode(const std::string& utf8) const;
    TQELWritableData& data_;
};

struct TQELItemHeader {
    std::uint32_t ClassId = 0;
    std::int32_t ClassVersion = 0;
    std::uint8_t NameCheckByte = 0;
};

// Every read accepts only its own tag and its empty form (texts: all four text tags); anything else,
// and the end of the data, raises 1360.
class TQELReader : public TQELFilter {
  public:
    explicit TQELReader(TQELReadableData& data) : data_(data) {}
    std::string ClassName() const override { return "TQELReader"; }
    bool DataFlag() const override { return data_.DataFlag(); }
    bool IsWriter() const override { return false; }

    bool ReadBoolean();
    std::uint8_t ReadInt8();
    std::int16_t ReadInt16();
    std::int32_t ReadInt32();
    std::int64_t ReadInt64();
    double ReadDouble();
    float ReadSingle();
    double ReadDateTime();
    double ReadDouble2();
    std::uint32_t ReadCardinal();
    std::int32_t ReadInt32Ext(std::uint8_t& extra);
    support::TGuid ReadGuid();
    char ReadChar();
    std::string ReadString();  // tags 15, 16, 19, 20
    std::string ReadWideString();
    support::Bytes ReadRawBlock(std::size_t expectedSize);  // another stored length raises 1360
    void ReadRecordHeader(std::uint8_t expectedCheckByte);
    void ReadClassRef(std::uint32_t& classId, std::int32_t& classVersion);
    TQELItemHeader ReadItemHeader();
    support::Bytes ReadBytes();

    std::uint8_t ReadTag();
    std::uint8_t PeekTag();  // raises 1360 at the end of the data
    bool AtEnd() const { return data_.Remaining() == 0; }
    std::size_t Remaining() const { return data_.Remaining(); }

    void ReadRaw(void* data, std::size_t size);
    std::int32_t ReadRawInt32();
    std::string ReadRawText();
    std::string ReadRawWideText();
    // A length read from the data that must still fit in what is left; raises 1360 otherwise.
    std::size_t CheckedLength(std::int64_t length, std::size_t unit = 1);

    [[noreturn]] void ReadFailed() const;

  private:
    void Expect(TQELTag tag);
    std::string Decode(const std::string& cp936) const;
    std::string ReadLengthPrefixed(std::size_t length);
    TQELReadableData& data_;
};

namespace detail {

// Fixed-size integers in little-endian order, whatever the host.
template <class T>
void PutRawLE(TQELWriter& w, T v) {
    std::uint8_t b[sizeof(T)];
    support::StoreLittleEndian(b, v);
    w.WriteRaw(b, sizeof b);
}

template <class T>
T GetRawLE(TQELReader& r) {
    std::uint8_t b[sizeof(T)];
    r.ReadRaw(b, sizeof b);
    return support::LoadLittleEndian<T>(b);
}

}  // namespace detail

}  // namespace kestrane::framework
