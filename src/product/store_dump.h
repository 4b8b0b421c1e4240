// A value file of the product's store taken apart for people: its trailer, the decoded bytes, and the
// tagged content as a flat list of entries. Records whose layout this program knows (the factory
// record, the instance list, the instance element's data record) are shown field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/variant.h"

namespace kestrane::product {

struct TStoredValueFile {
    std::size_t StoredSize = 0;  // bytes before the trailer
    std::int32_t Trailer = 0;
    bool Empty = true;  // no stored bytes: an empty value
    support::Bytes Decoded;
};

// Splits the trailer off, complements and inflates the stored bytes. A file shorter than its trailer
// holds what arrived and a trailer of 0; a stream that does not inflate raises the framework's 1024.
TStoredValueFile DecodeValueFile(const support::Bytes& file);

struct TTaggedEntry {
    int Depth = 0;      // 0 for tagged values, 1 for the fields of a record
    std::string Kind;   // "int32", "text", "record", a field name ...
    std::string Value;  // readable form
};

// Every value of the data in order. Bad data raises the framework's 1360 "读取缓存错误". A record of an
// unknown type ends the list with its remaining bytes in hexadecimal.
std::vector<TTaggedEntry> DumpTagged(const support::Bytes& data);

}  // namespace kestrane::product
