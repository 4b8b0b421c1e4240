// Connection strings as "key=value" parts separated by ";".
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane::db {

// Parts in order; empty parts skipped; each part split at its first "=" (no "=" gives an empty value).
std::vector<std::pair<std::string, std::string>> SplitConnectionString(std::string_view text);
// Value of the first part whose key equals `key` (case-insensitive, keys not trimmed); "" when absent.
std::string ConnectionStringValue(std::string_view text, std::string_view key);
// As above with keys and values trimmed, for drivers reading strings typed by people.
std::string ConnectionStringValueTrimmed(std::string_view text, std::string_view key);

}  // namespace kestrane::db
