// Text helpers with the rules of the product's own runtime: ASCII-only case folding, trimming of
// blanks and control characters, line lists split at CR, LF or CR LF.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::support {

// A byte <= ' ': a blank or a control character.
bool IsBlank(char c);
// Drop every byte <= ' ' (blanks and control characters) from the ends.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

char AsciiUpper(char c);
char AsciiLower(char c);
std::string UpperCase(std::string_view s);  // ASCII letters only; other bytes stay
std::string LowerCase(std::string_view s);

// ASCII case-insensitive comparison: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view s);
bool EndsText(std::string_view suffix, std::string_view s);
// Position of needle in haystack at or after `from`, ignoring ASCII case; npos when absent.
std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from = 0);
bool ContainsText(std::string_view haystack, std::string_view needle);

// Every occurrence replaced, left to right, without rescanning replaced text.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::string ReplaceText(std::string_view s, std::string_view from, std::string_view to);  // any case
// A text from data made fit for the inside of a quoted SQL literal: every ' doubled.
std::string QuotedSqlText(std::string_view s);
// A value as it is written into a "key=value;" connection string: unchanged when it can stand as it is
// (no ";", no quote first, no blank at either end), else between double quotes with inner ones doubled,
// so that it can never add, drop or change another key.
std::string QuoteConnectionValue(std::string_view value);

// A line list's text: lines split at CR LF, CR or LF; a final break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);
// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
std::vector<std::string> Split(std::string_view s, char sep);  // every separator splits; "" gives {""}

// Integer text as the runtime reads it: optional leading blanks, sign, decimal or $/0x hex digits.
std::optional<std::int64_t> TryStrToInt64(std::string_view s);
std::optional<std::int32_t> TryStrToInt(std::string_view s);
std::int32_t StrToIntDef(std::string_view s, std::int32_t def);

// Two hex digits a byte, upper case unless asked otherwise.
std::string HexText(std::span<const std::uint8_t> bytes, bool lowerCase = false);
// The value of one hexadecimal digit of either case, or -1.
int HexDigitValue(char c);
// The bytes of two hex digits each, either case; none for an odd length or another character.
std::optional<std::vector<std::uint8_t>> TryHexToBytes(std::string_view hex);

}  // namespace kestrane::support
