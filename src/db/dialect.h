// The three SQL dialects as far as the engine generates SQL: identifier quoting, column type names
// and the translation of column default expressions. No state, no database access.
#pragma once

#include <string>
#include <string_view>

#include "support/kv_types.h"

namespace kestrane::db {

using support::TKVDataBaseType;

std::string QuoteIdentifier(std::string_view name, TKVDataBaseType kind);
// Empty text for a type code the engine does not know.
std::string SQLTypeName(int typeCode, std::int64_t size, TKVDataBaseType kind, int scale, int precision);
std::string TranslateDefault(std::string_view expr, TKVDataBaseType kind);

// Sizes of 0 and of 2147483647 or more are unbounded.
inline bool IsBoundedSize(std::int64_t n) {
    return n > 0 && n < 2147483647;
}

}  // namespace kestrane::db
