// Connection strings as "key=value" parts separated by ";". A value that could not stand as it is (it
// holds ";", begins with a quote or begins or ends with a blank) is written between double quotes with
// its inner double quotes doubled; a value between quotes (double or single, as OLE DB reads them) is
// taken exactly as it stands between them, so that no value can add, drop or change another key.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/text.h"

namespace kestrane::db {

// Parts in order; empty parts skipped; each part split at its first "=" (no "=" gives an empty value);
// quoted values unquoted. Raises EDatabaseError on a quote that is not closed, or on text after the
// closing quote of a value.
std::vector<std::pair<std::string, std::string>> SplitConnectionString(std::string_view text);
// The same parts, each telling whether its value stood between quotes (and so is meant exactly).
struct ConnectionStringPart {
    std::string key;
    std::string value;
    bool quoted = false;
};
std::vector<ConnectionStringPart> ConnectionStringParts(std::string_view text);
// Value of the first part whose key equals `key` (case-insensitive, keys not trimmed); "" when absent.
std::string ConnectionStringValue(std::string_view text, std::string_view key);
// As above with keys and unquoted values trimmed, for drivers reading strings typed by people.
std::string ConnectionStringValueTrimmed(std::string_view text, std::string_view key);
// Values are written into connection strings by support's QuoteConnectionValue.
using support::QuoteConnectionValue;

}  // namespace kestrane::db
