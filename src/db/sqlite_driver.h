// The driver for Jet-kind connection strings: every Jet file on this platform is an SQLite 3 database,
// and the Jet SQL the engine generates runs on it as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrane::db {

// ADO type code, size, precision and scale of a declared column type name ("LONG", "varchar(50)",
// "MEMO", "decimal(18,2)" ...). Names the map does not know are taken by SQLite's affinity rules.
struct DeclaredType {
    DeclaredType() = default;
    DeclaredType(int type, std::int64_t size, int precision = 0, int scale = 0)
        : Type(type), Size(size), Precision(precision), Scale(scale) {}

    int Type = 0;
    std::int64_t Size = 0;
    int Precision = 0;
    int Scale = 0;
};
DeclaredType MapDeclaredType(std::string_view declared);

// The text of a decimal stored as a floating-point number, the same as the Variant's own text of it.
std::string DecimalText(double d);

// The SQL function registered on every connection that converts one source value as a row-wise copy
// into a Jet-kind target does: kestrane_value(value, ADO type code, defined size).
inline constexpr const char* kEngineValueFunction = "kestrane_value";

// The application id that marks a scratch file.
inline constexpr std::int32_t kScratchApplicationId = 0x4B535452;

// A column declared MEMO would get SQLite's numeric affinity and turn texts such as "0012" into numbers;
// in create and alter statements the type is given text affinity while keeping its name first.
std::string GiveMemoTextAffinity(const std::string& sql);

}  // namespace kestrane::db
