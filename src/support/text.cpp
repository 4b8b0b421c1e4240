#include "support/text.h"

#include <limits>

namespace kestrane::support {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::string TrimLeft(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AsciiUpper(c);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AsciiLower(c);
    return r;
}

int CompareText(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

bool StartsText(std::string_view prefix, std::string_view s) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsText(std::string_view suffix, std::string_view s) {
    return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.size() > haystack.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        if (SameText(haystack.substr(i, needle.size()), needle)) return i;
    }
    return std::string_view::npos;
}

bool ContainsText(std::string_view haystack, std::string_view needle) {
    return FindText(haystack, needle) != std::string_view::npos;
}

namespace {
template <class Find>
std::string ReplaceWith(std::string_view s, std::string_view from, std::string_view to, Find find) {
    if (from.empty()) return std::string(s);
    std::string r;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = find(s, from, pos);
        if (hit == std::string_view::npos) break;
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + from.size();
    }
    r.append(s.substr(pos));
    return r;
}
}  // namespace

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    return ReplaceWith(s, from, to,
                       [](std::string_view h, std::string_view n, std::size_t p) { return h.find(n, p); });
}

std::string QuotedSqlText(std::string_view s) {
    return ReplaceAll(s, "'", "''");
}

std::string QuoteConnectionValue(std::string_view value) {
    const bool plain = value.find(';') == std::string_view::npos &&
                       (value.empty() || (value.front() != '"' && value.front() != '\'' &&
                                          !IsBlank(value.front()) && !IsBlank(value.back())));
    if (plain) return std::string(value);
    return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
}

std::string ReplaceText(std::string_view s, std::string_view from, std::string_view to) {
    return ReplaceWith(
        s, from, to, [](std::string_view h, std::string_view n, std::size_t p) { return FindText(h, n, p); });
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string r;
    for (const auto& l : lines) {
        r += l;
        r += "\r\n";
    }
    return r;
}

std::vector<std::string> Split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hit = s.find(sep, start);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, hit - start));
        start = hit + 1;
    }
}

std::optional<std::int64_t> TryStrToInt64(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return std::nullopt;
    std::uint64_t v = 0;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    for (; i < s.size(); ++i) {
        const int d = HexDigitValue(s[i]);
        if (d < 0 || d >= base) return std::nullopt;
        if (v > (limit - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    if (negative)
        return v == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                             : -static_cast<std::int64_t>(v);
    return static_cast<std::int64_t>(v);
}

std::optional<std::int32_t> TryStrToInt(std::string_view s) {
    const auto v = TryStrToInt64(s);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
    return TryStrToInt(s).value_or(def);
}

std::string HexText(std::span<const std::uint8_t> bytes, bool lowerCase) {
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string r;
    r.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        r += digits[b >> 4];
        r += digits[b & 15];
    }
    return r;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<std::uint8_t>> TryHexToBytes(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out(hex.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = HexDigitValue(hex[2 * i]);
        const int lo = HexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return out;
}

}  // namespace kestrane::support
