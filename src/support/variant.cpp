#include "support/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "support/format.h"
#include "support/text.h"

namespace kestrane::support {

namespace {

[[noreturn]] void CannotConvert(const char* from, const char* to) {
    throw EConvertError(Format("Could not convert variant of type (%s) into type (%s)", from, to));
}

const char* TypeName(VarType t) {
    switch (t) {
        case VarType::Empty:
            return "Empty";
        case VarType::Null:
            return "Null";
        case VarType::Integer:
            return "Int64";
        case VarType::Double:
            return "Double";
        case VarType::Decimal:
            return "Decimal";
        case VarType::Text:
            return "String";
        case VarType::Boolean:
            return "Boolean";
        case VarType::DateTime:
            return "Date";
        case VarType::Bytes:
            return "Array Byte";
    }
    return "Unknown";
}

bool ParseDouble(std::string_view s, double& out) {
    const std::string t = Trim(s);
    if (t.empty()) return false;
    const char* b = t.data();
    const char* e = t.data() + t.size();
    auto [p, ec] = std::from_chars(b, e, out);
    return ec == std::errc() && p == e;
}

std::string DoubleText(double d) {
    char buf[64];
    for (int prec = 15; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, d);
        double back = 0;
        if (ParseDouble(buf, back) && back == d) break;
    }
    return buf;
}

// Days from 1899-12-30 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;  // 25569 = days from 1899-12-30 to 1970-01-01
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468 - 25569;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

Variant Variant::Null() {
    Variant v;
    v.v_ = NullTag{};
    return v;
}

Variant Variant::FromDecimal(std::string text) {
    Variant v;
    v.v_ = DecimalText{std::move(text)};
    return v;
}

Variant Variant::FromDateTime(double days) {
    Variant v;
    v.v_ = DateValue{days};
    return v;
}

VarType Variant::Type() const {
    return static_cast<VarType>(v_.index());
}

std::int64_t Variant::AsInt64() const {
    switch (Type()) {
        case VarType::Empty:
        case VarType::Null:
            return 0;
        case VarType::Integer:
            return std::get<std::int64_t>(v_);
        case VarType::Boolean:
            return std::get<bool>(v_) ? 1 : 0;
        case VarType::Double:
        case VarType::Decimal:
        case VarType::DateTime: {
            const double d = std::nearbyint(AsDouble());
            if (!(d >= -9.2e18 && d <= 9.2e18)) CannotConvert(TypeName(Type()), "Int64");
            return static_cast<std::int64_t>(d);
        }
        case VarType::Text: {
            const std::string& s = std::get<std::string>(v_);
            if (auto n = TryStrToInt64(Trim(s))) return *n;
            double d;
            if (ParseDouble(s, d) && d >= -9.2e18 && d <= 9.2e18)
                return static_cast<std::int64_t>(std::nearbyint(d));
            throw EConvertError(Format("'%s' is not a valid integer value", s));
        }
        case VarType::Bytes:
            break;
    }
    CannotConvert(TypeName(Type()), "Int64");
}

std::int32_t Variant::AsInteger() const {
    const std::int64_t v = AsInt64();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        CannotConvert(TypeName(Type()), "Integer");
    return static_cast<std::int32_t>(v);
}

double Variant::AsDouble() const {
    switch (Type()) {
        case VarType::Empty:
        case VarType::Null:
            return 0;
        case VarType::Integer:
            return static_cast<double>(std::get<std::int64_t>(v_));
        case VarType::Double:
            return std::get<double>(v_);
        case VarType::DateTime:
            return std::get<DateValue>(v_).days;
        case VarType::Boolean:
            return std::get<bool>(v_) ? 1 : 0;
        case VarType::Decimal:
        case VarType::Text: {
            const std::string& s =
                Type() == VarType::Text ? std::get<std::string>(v_) : std::get<DecimalText>(v_).text;
            double d;
            if (ParseDouble(s, d)) return d;
            throw EConvertError(Format("'%s' is not a valid floating point value", s));
        }
        case VarType::Bytes:
            break;
    }
    CannotConvert(TypeName(Type()), "Double");
}

bool Variant::AsBoolean() const {
    switch (Type()) {
        case VarType::Empty:
        case VarType::Null:
            return false;
        case VarType::Boolean:
            return std::get<bool>(v_);
        case VarType::Text: {
            const std::string s = Trim(std::get<std::string>(v_));
            if (SameText(s, "True")) return true;
            if (SameText(s, "False")) return false;
            double d;
            if (ParseDouble(s, d)) return d != 0;
            throw EConvertError(Format("'%s' is not a valid boolean value", s));
        }
        case VarType::Bytes:
            CannotConvert("Array Byte", "Boolean");
        default:
            return AsDouble() != 0;
    }
}

std::string Variant::AsString() const {
    switch (Type()) {
        case VarType::Empty:
        case VarType::Null:
            return {};
        case VarType::Integer:
            return std::to_string(std::get<std::int64_t>(v_));
        case VarType::Double:
            return DoubleText(std::get<double>(v_));
        case VarType::Decimal:
            return std::get<DecimalText>(v_).text;
        case VarType::Text:
            return std::get<std::string>(v_);
        case VarType::Boolean:
            return std::get<bool>(v_) ? "True" : "False";
        case VarType::DateTime:
            return DateTimeToText(std::get<DateValue>(v_).days);
        case VarType::Bytes: {
            const Bytes& b = std::get<Bytes>(v_);
            return std::string(b.begin(), b.end());
        }
    }
    return {};
}

double Variant::AsDateTime() const {
    if (Type() == VarType::Text) {
        double d;
        if (TryTextToDateTime(std::get<std::string>(v_), d)) return d;
        throw EConvertError(Format("'%s' is not a valid date and time", std::get<std::string>(v_)));
    }
    return AsDouble();
}

const Bytes& Variant::AsBytes() const {
    if (const Bytes* b = std::get_if<Bytes>(&v_)) return *b;
    CannotConvert(TypeName(Type()), "Array Byte");
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const double t = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
    const double d = static_cast<double>(DaysFromCivil(year, month, day));
    return d >= 0 ? d + t : d - t;  // negative dates carry the time as a positive fraction away from zero
}

namespace {

// Every date of every copied row passes through here, so the common years are written by hand.
std::string DateText(double days, bool millis) {
    const double whole = std::trunc(days);
    double frac = std::fabs(days - whole);
    std::int64_t ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
    std::int64_t dayNo = static_cast<std::int64_t>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        dayNo += days >= 0 ? 1 : -1;
    }
    int y, m, d;
    CivilFromDays(dayNo, y, m, d);
    const std::int64_t secs = ms / 1000;
    if (y < 1 || y > 9999) {
        if (secs == 0) return Format("%.4d-%.2d-%.2d", y, m, d);
        return Format("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", y, m, d, secs / 3600, secs / 60 % 60, secs % 60);
    }
    char out[23];
    auto put = [&out](int at, std::int64_t v, int width) {
        for (int k = at + width - 1; k >= at; --k, v /= 10) out[k] = static_cast<char>('0' + v % 10);
    };
    put(0, y, 4);
    out[4] = '-';
    put(5, m, 2);
    out[7] = '-';
    put(8, d, 2);
    const bool fraction = millis && ms % 1000 != 0;
    if (secs == 0 && !fraction) return std::string(out, 10);
    out[10] = ' ';
    put(11, secs / 3600, 2);
    out[13] = ':';
    put(14, secs / 60 % 60, 2);
    out[16] = ':';
    put(17, secs % 60, 2);
    if (!fraction) return std::string(out, 19);
    out[19] = '.';
    put(20, ms % 1000, 3);
    return std::string(out, 23);
}

}  // namespace

std::string DateTimeToText(double days) {
    return DateText(days, false);
}

std::string DateTimeToStoredText(double days) {
    return DateText(days, true);
}

namespace {

// Reads 1 to `maxDigits` decimal digits at `pos`; false when there are none.
bool ReadNumber(const std::string& t, std::size_t& pos, int maxDigits, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < t.size() && pos - start < static_cast<std::size_t>(maxDigits) && t[pos] >= '0' &&
           t[pos] <= '9')
        value = value * 10 + (t[pos++] - '0');
    return pos > start;
}

bool Expect(const std::string& t, std::size_t& pos, char c) {
    if (pos >= t.size() || t[pos] != c) return false;
    ++pos;
    return true;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

// Accepts what databases and our own DateTimeToText write: "Y-M-D" or "Y/M/D", optionally followed
// by a blank or "T" and "H:M", "H:M:S" or "H:M:S.fff"; nothing else may follow.
bool TryTextToDateTime(const std::string& text, double& days) {
    const std::string t = Trim(text);
    std::size_t pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!ReadNumber(t, pos, 4, y) || pos >= t.size()) return false;
    const char sep = t[pos];
    if (sep != '-' && sep != '/') return false;
    ++pos;
    if (!ReadNumber(t, pos, 2, mo) || !Expect(t, pos, sep) || !ReadNumber(t, pos, 2, d)) return false;
    if (pos < t.size()) {
        if (t[pos] == 'T' || t[pos] == 't') {
            ++pos;
        } else if (t[pos] == ' ') {
            while (pos < t.size() && t[pos] == ' ') ++pos;
        } else {
            return false;
        }
        if (!ReadNumber(t, pos, 2, h) || !Expect(t, pos, ':') || !ReadNumber(t, pos, 2, mi)) return false;
        if (pos < t.size()) {
            if (!Expect(t, pos, ':') || !ReadNumber(t, pos, 2, s)) return false;
            if (pos < t.size()) {
                if (!Expect(t, pos, '.')) return false;
                const std::size_t fracStart = pos;
                int digits = 0;
                if (!ReadNumber(t, pos, 9, digits)) return false;
                // Milliseconds from the first three fraction digits, the rest dropped.
                const std::string frac = (t.substr(fracStart, pos - fracStart) + "00").substr(0, 3);
                ms = std::stoi(frac);
            }
        }
        if (pos != t.size()) return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) return false;
    days = EncodeDateTime(y, mo, d, h, mi, s, ms);
    return true;
}

}  // namespace kestrane::support
