// A component stream as a tree of its records, for showing it in the Delphi text form or as JSON.
// The stream is first read by the patch reader, so a bad one fails with the reader's own message;
// the tree then shows the records as they stand in the bytes (absent properties stay absent).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::cli {

struct StreamFile {
    std::uint64_t size = 0;  // inflated
    std::string sha256;      // lowercase hex of the inflated content
    std::string savedAs;     // path written with DecodeOptions::filesDir, else empty
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

struct DecodeOptions {
    // When set, every FILEDATA content is written into this folder under its item's Name (a name
    // that is not a plain file name, or one already written, gets the item's number instead).
    std::string filesDir;
};

// Throws patch::EStreamError for a bad stream and CommandFailed when a file cannot be written.
StreamRecord DecodeStream(std::span<const std::uint8_t> bytes, const DecodeOptions& options = {});

// "object TResCollection" ... "end", two spaces per level; texts quoted Delphi-style.
std::string StreamText(const StreamRecord& root);
nlohmann::ordered_json StreamJson(const StreamRecord& root);

// 'It''s', with control characters as #13 outside the quotes.
std::string QuoteText(std::string_view text);

}  // namespace kestrane::cli
