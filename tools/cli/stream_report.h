// A component stream's records shown in the component text form or as JSON, FILEDATA contents hashed and
// optionally written out.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "patch/stream_text.h"

namespace kestrane::cli {

using patch::StreamFile;
using patch::StreamProperty;
using patch::StreamRecord;

struct DecodeOptions {
    // When set, every FILEDATA content is written into this folder under its item's Name (a name
    // that is not a plain file name gets the item's number instead, one already written the number
    // in front). A file already in the folder is an error unless `force` is set; either way a link
    // there is never written through.
    std::string filesDir;
    bool force = false;
};

// Throws patch::EStreamError for a bad stream and CommandFailed when a file cannot be written.
StreamRecord DecodeStream(std::span<const std::uint8_t> bytes, const DecodeOptions& options = {});

// "object TResCollection" ... "end", two spaces per level; texts quoted as that form quotes them.
std::string StreamText(const StreamRecord& root);
nlohmann::ordered_json StreamJson(const StreamRecord& root);

// 'It''s', with control characters as #13 outside the quotes.
std::string QuoteText(std::string_view text);

}  // namespace kestrane::cli
