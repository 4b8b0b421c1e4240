#include "framework/record.h"

#include "framework/texts.h"

namespace kestrane::framework {

std::uint8_t NameCheckByte(const std::string& name) {
    const std::size_t length = std::min<std::size_t>(name.size(), 255);
    // The length byte and the first length-1 characters, on top of the length itself.
    std::uint32_t s = static_cast<std::uint32_t>(length);
    if (length > 0) {
        s += static_cast<std::uint32_t>(length);
        for (std::size_t i = 0; i + 1 < length; ++i) s += static_cast<std::uint8_t>(name[i]);
    }
    const std::uint32_t x = (s + (s >> 16)) & 0xFFFFu;
    return static_cast<std::uint8_t>((x & 0xFFu) + (x >> 8));
}

TQELRecType::TQELRecType(std::string name, std::vector<TQELRecField> fields)
    : name_(std::move(name)), checkByte_(NameCheckByte(name_)), fields_(std::move(fields)) {
    Layout();
}

TQELRecType::TQELRecType(std::string name, std::uint8_t checkByte, std::vector<TQELRecField> fields)
    : name_(std::move(name)), checkByte_(checkByte), fields_(std::move(fields)) {
    Layout();
}

namespace {
std::size_t PadTo(std::size_t offset, std::size_t align) {
    return align > 1 ? (align - offset % align) % align : 0;
}
}  // namespace

void TQELRecType::Layout() {
    std::size_t offset = 0;
    for (const auto& f : fields_) {
        const std::size_t pad = PadTo(offset, f.Align);
        offset += pad + f.Size;
        minStream_ += pad + f.MinStream;
        align_ = std::max(align_, f.Align);
    }
    const std::size_t tail = PadTo(offset, align_);
    size_ = offset + tail;
    minStream_ += tail;
}

void TQELRecType::WriteFields(TQELWriter& w, const void* rec) const {
    static const std::uint8_t zeros[8] = {};
    std::size_t offset = 0;
    for (const auto& f : fields_) {
        const std::size_t pad = PadTo(offset, f.Align);
        w.WriteRaw(zeros, pad);
        f.Write(w, rec);
        offset += pad + f.Size;
    }
    w.WriteRaw(zeros, size_ - offset);
}

void TQELRecType::ReadFields(TQELReader& r, void* rec) const {
    std::uint8_t skip[8];
    std::size_t offset = 0;
    for (const auto& f : fields_) {
        const std::size_t pad = PadTo(offset, f.Align);
        r.ReadRaw(skip, pad);
        f.Read(r, rec);
        offset += pad + f.Size;
    }
    r.ReadRaw(skip, size_ - offset);
}

void WriteRecord(TQELWriter& w, const void* rec, const TQELRecType& type) {
    w.WriteRecordHeader(type.CheckByte());
    type.WriteFields(w, rec);
}

void ReadRecord(TQELReader& r, void* rec, const TQELRecType& type) {
    r.ReadRecordHeader(type.CheckByte());
    type.ReadFields(r, rec);
}

support::Bytes SaveRecordToBlob(const void* rec, const TQELRecType* type) {
    if (!rec) RaiseParamRequired("SaveRecordToBlob(Rec)");
    if (!type) RaiseParamRequired("SaveRecordToBlob(,RecTypeInfo)");
    TQELMemWriteData sink;
    TQELWriter writer(sink);
    WriteRecord(writer, rec, *type);
    return sink.Take();
}

void LoadRecordFromBlob(const support::Bytes* data, void* rec, const TQELRecType* type) {
    if (!rec) RaiseParamRequired("LoadRecordFromBlob(Rec)");
    if (!data) RaiseParamRequired("LoadRecordFromBlob(Data)");
    if (!type) RaiseParamRequired("LoadRecordFromBlob(,RecTypeInfo)");
    TQELMemReadData source(*data);
    TQELReader reader(source);
    ReadRecord(reader, rec, *type);
}

}  // namespace kestrane::framework
