// Conversions between the in-memory UTF-8 texts and the encodings the system's files use:
// code page 936 (GBK) and UTF-16LE.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrane::support {

class ECodePageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

bool IsAscii(std::string_view s);

// Strict: invalid code page 936 bytes throw ECodePageError.
std::string Cp936ToUtf8(std::string_view cp936);
// Characters that code page 936 cannot hold become '?', as the system's own conversion does.
// Invalid UTF-8 throws ECodePageError.
std::string Utf8ToCp936(std::string_view utf8);
// The same, with each byte of invalid UTF-8 written as '?' too: for files that must be written
// whatever the text holds.
std::string Utf8ToCp936Lenient(std::string_view utf8);

// Strict both ways: invalid UTF-8, or an unpaired surrogate, throws ECodePageError.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// UTF-16 code units the text needs; throws on invalid UTF-8.
std::size_t Utf16Length(std::string_view utf8);
bool IsValidUtf8(std::string_view s);
// The code point of the UTF-8 sequence at s[i] (i < s.size()), with i moved past it; -1 with i
// unchanged when no valid sequence starts there (overlong forms and surrogates included).
long DecodeUtf8(std::string_view s, std::size_t& i);
// The text with each byte that is not part of valid UTF-8 replaced by '?', for messages.
std::string SanitizeUtf8(std::string_view s);

}  // namespace kestrane::support
