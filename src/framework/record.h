// Records in the framework's stored form: a record header with the NameCheckByte of the record's type
// name, then the fields in the record's 32-bit memory layout with natural alignment. Texts and dynamic
// arrays are written as a 32-bit length or count and their contents; other bytes as they are. A
// TQELRecType describes one C++ struct field by field in that layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/tagged.h"
#include "support/guid.h"
#include "support/variant.h"

namespace kestrane::framework {

// The check byte of a type or class name, taken over its length-prefixed form.
std::uint8_t NameCheckByte(const std::string& name);

struct TQELRecField {
    std::size_t Size = 0;       // bytes in the memory layout
    std::size_t Align = 1;      // natural alignment
    std::size_t MinStream = 0;  // fewest stored bytes, to bound counts read from the data
    std::function<void(TQELWriter&, const void*)> Write;
    std::function<void(TQELReader&, void*)> Read;
};

class TQELRecType {
  public:
    TQELRecType(std::string name, std::vector<TQELRecField> fields);
    // For a type whose stored check byte is known but whose name is not.
    TQELRecType(std::string name, std::uint8_t checkByte, std::vector<TQELRecField> fields);

    const std::string& Name() const { return name_; }
    std::uint8_t CheckByte() const { return checkByte_; }
    std::size_t Size() const { return size_; }
    std::size_t Alignment() const { return align_; }
    std::size_t MinStream() const { return minStream_; }

    // The fields without the record header.
    void WriteFields(TQELWriter& w, const void* rec) const;
    void ReadFields(TQELReader& r, void* rec) const;

  private:
    void Layout();
    std::string name_;
    std::uint8_t checkByte_;
    std::vector<TQELRecField> fields_;
    std::size_t size_ = 0;
    std::size_t align_ = 1;
    std::size_t minStream_ = 0;
};

namespace detail {

template <class T>
using Underlying =
    typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>::type;

}  // namespace detail

// Field builders, in layout order.
namespace recfield {

template <class R, class T>
TQELRecField Ordinal(T R::*m) {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>);
    using U = detail::Underlying<T>;
    return {
        sizeof(T), sizeof(T), sizeof(T),
        [m](TQELWriter& w, const void* r) {
            detail::PutRawLE(w, static_cast<U>(static_cast<const R*>(r)->*m));
        },
        [m](TQELReader& rd, void* r) { static_cast<R*>(r)->*m = static_cast<T>(detail::GetRawLE<U>(rd)); }};
}

template <class R>
TQELRecField Boolean(bool R::*m) {
    return {
        1, 1, 1,
        [m](TQELWriter& w, const void* r) {
            const std::uint8_t b = static_cast<const R*>(r)->*m ? 1 : 0;
            w.WriteRaw(&b, 1);
        },
        [m](TQELReader& rd, void* r) { static_cast<R*>(r)->*m = detail::GetRawLE<std::uint8_t>(rd) != 0; }};
}

// Bytes kept as they are, alignment filler included.
template <class R, std::size_t N>
TQELRecField Raw(std::array<std::uint8_t, N> R::*m) {
    return {N, 1, N,
            [m](TQELWriter& w, const void* r) { w.WriteRaw((static_cast<const R*>(r)->*m).data(), N); },
            [m](TQELReader& rd, void* r) { rd.ReadRaw((static_cast<R*>(r)->*m).data(), N); }};
}

template <class R>
TQELRecField Guid(support::TGuid R::*m) {
    return {16, 4, 16,
            [m](TQELWriter& w, const void* r) {
                const support::GuidBytes b = support::GuidToBytes(static_cast<const R*>(r)->*m);
                w.WriteRaw(b.data(), b.size());
            },
            [m](TQELReader& rd, void* r) {
                support::GuidBytes b{};
                rd.ReadRaw(b.data(), b.size());
                static_cast<R*>(r)->*m = support::GuidFromBytes(b);
            }};
}

template <class R>
TQELRecField Text(std::string R::*m) {
    return {4, 4, 4, [m](TQELWriter& w, const void* r) { w.WriteRawText(static_cast<const R*>(r)->*m); },
            [m](TQELReader& rd, void* r) { static_cast<R*>(r)->*m = rd.ReadRawText(); }};
}

template <class R>
TQELRecField WideText(std::string R::*m) {
    return {4, 4, 4, [m](TQELWriter& w, const void* r) { w.WriteRawWideText(static_cast<const R*>(r)->*m); },
            [m](TQELReader& rd, void* r) { static_cast<R*>(r)->*m = rd.ReadRawWideText(); }};
}

template <class R, class E>
TQELRecField DynArray(std::vector<E> R::*m, const TQELRecType& element) {
    const TQELRecType* e = &element;
    return {4, 4, 4,
            [m, e](TQELWriter& w, const void* r) {
                const auto& v = static_cast<const R*>(r)->*m;
                w.WriteRawInt32(static_cast<std::int32_t>(v.size()));
                for (const E& item : v) e->WriteFields(w, &item);
            },
            [m, e](TQELReader& rd, void* r) {
                auto& v = static_cast<R*>(r)->*m;
                const std::size_t n =
                    rd.CheckedLength(rd.ReadRawInt32(), e->MinStream() ? e->MinStream() : 1);
                std::vector<E> items(n);
                for (E& item : items) e->ReadFields(rd, &item);
                v = std::move(items);
            }};
}

template <class R, class S>
TQELRecField Record(S R::*m, const TQELRecType& sub) {
    const TQELRecType* t = &sub;
    return {sub.Size(), sub.Alignment(), sub.MinStream(),
            [m, t](TQELWriter& w, const void* r) { t->WriteFields(w, &(static_cast<const R*>(r)->*m)); },
            [m, t](TQELReader& rd, void* r) { t->ReadFields(rd, &(static_cast<R*>(r)->*m)); }};
}

}  // namespace recfield

// A type that is a dynamic array of records (the record is a std::vector<E>), stored as its element
// count and the elements.
template <class E>
TQELRecType DynArrayType(std::string name, const TQELRecType& element) {
    const TQELRecType* e = &element;
    TQELRecField whole{4, 4, 4,
                       [e](TQELWriter& w, const void* r) {
                           const auto& v = *static_cast<const std::vector<E>*>(r);
                           w.WriteRawInt32(static_cast<std::int32_t>(v.size()));
                           for (const E& item : v) e->WriteFields(w, &item);
                       },
                       [e](TQELReader& rd, void* r) {
                           const std::size_t n =
                               rd.CheckedLength(rd.ReadRawInt32(), e->MinStream() ? e->MinStream() : 1);
                           std::vector<E> items(n);
                           for (E& item : items) e->ReadFields(rd, &item);
                           *static_cast<std::vector<E>*>(r) = std::move(items);
                       }};
    return TQELRecType(std::move(name), {std::move(whole)});
}

// Record header and fields.
void WriteRecord(TQELWriter& w, const void* rec, const TQELRecType& type);
// Raises 1360 when the stored check byte is not the type's.
void ReadRecord(TQELReader& r, void* rec, const TQELRecType& type);

// Null arguments raise 1027 with "SaveRecordToBlob(Rec)", "SaveRecordToBlob(,RecTypeInfo)",
// "LoadRecordFromBlob(Rec)", "LoadRecordFromBlob(Data)" or "LoadRecordFromBlob(,RecTypeInfo)".
support::Bytes SaveRecordToBlob(const void* rec, const TQELRecType* type);
void LoadRecordFromBlob(const support::Bytes* data, void* rec, const TQELRecType* type);

}  // namespace kestrane::framework
