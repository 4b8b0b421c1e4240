// The value of one database field or parameter: empty, null, integer, floating point, decimal (kept as
// its exact text), text (UTF-8), Boolean, date/time (days since 1899-12-30, fraction = time of day) or
// a byte array.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kestrane::support {

using Bytes = std::vector<std::uint8_t>;

enum class VarType { Empty, Null, Integer, Double, Decimal, Text, Boolean, DateTime, Bytes };

class Variant {
  public:
    Variant() = default;
    Variant(std::int32_t v) : v_(static_cast<std::int64_t>(v)) {}
    Variant(std::int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(bool v) : v_(v) {}
    Variant(std::string v) : v_(std::move(v)) {}
    Variant(const char* v) : v_(std::string(v)) {}
    Variant(Bytes v) : v_(std::move(v)) {}

    static Variant Null();
    static Variant FromDecimal(std::string text);
    static Variant FromDateTime(double days);

    VarType Type() const;
    bool IsEmpty() const { return Type() == VarType::Empty; }
    bool IsNull() const { return Type() == VarType::Null; }
    bool IsNullOrEmpty() const { return IsEmpty() || IsNull(); }

    // Conversions in the runtime's manner; a value that cannot convert throws EConvertError.
    std::int64_t AsInt64() const;  // null and empty give 0; True gives 1
    std::int32_t AsInteger() const;
    double AsDouble() const;
    bool AsBoolean() const;
    std::string AsString() const;  // null and empty give ""; Booleans "True"/"False"
    double AsDateTime() const;
    const Bytes& AsBytes() const;  // throws EConvertError unless a byte array

    bool operator==(const Variant& o) const = default;

  private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct DecimalText {
        std::string text;
        bool operator==(const DecimalText&) const = default;
    };
    struct DateValue {
        double days;
        bool operator==(const DateValue&) const = default;
    };
    std::variant<std::monostate, NullTag, std::int64_t, double, DecimalText, std::string, bool, DateValue,
                 Bytes>
        v_;
};

// "yyyy-mm-dd hh:nn:ss" (the time left out when it is midnight) and back.
std::string DateTimeToText(double days);
// The same with ".zzz" after the seconds when the value has milliseconds: the form a date is stored in,
// so that copying a value keeps all of it.
std::string DateTimeToStoredText(double days);
bool TryTextToDateTime(const std::string& text, double& days);
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);

}  // namespace kestrane::support
