// A component stream as a tree of its records, for showing it as text. The stream is first read by
// the patch reader, so a bad one fails with the reader's own message; the tree then shows the
// records as they stand in the bytes (absent properties stay absent).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrane::patch {

struct StreamFile {
    std::uint64_t size = 0;  // inflated
    std::string sha256;      // lowercase hex of the inflated content, when a sink gives it
    std::string savedAs;     // where a sink wrote the content, else empty
};

struct StreamProperty {
    enum Kind { Integer, Boolean, Identifier, Text, FileData };
    std::string name;
    Kind kind = Integer;
    std::int32_t integer = 0;
    bool boolean = false;
    std::string text;  // Identifier and Text; texts in UTF-8
    StreamFile file;
};

struct StreamRecord {
    std::string className;
    std::string objectName;
    std::vector<StreamProperty> properties;
    std::vector<StreamRecord> children;
};

// Gets each FILEDATA content in pieces as it is inflated, so that it is never held whole.
class StreamFileSink {
  public:
    virtual ~StreamFileSink() = default;
    // itemName: the record's Name property read before the content, else empty.
    virtual void Begin(const std::string& itemName, StreamFile& file) = 0;
    virtual void Write(std::span<const std::uint8_t> piece) = 0;
    virtual void End(StreamFile& file) = 0;
};

// Throws EStreamError for a bad stream; what the sink throws passes through.
StreamRecord DecodeStream(std::span<const std::uint8_t> bytes, StreamFileSink* sink = nullptr);

}  // namespace kestrane::patch
