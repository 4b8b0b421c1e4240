// Fixed texts of the file-system and INI facilities. Each is followed by the path and the reason.
#pragma once

namespace kestrane::platform::texts {

inline constexpr char kUnableToCreateDirectory[] = "Unable to create directory";
inline constexpr char kCannotCreateFile[] = "Cannot create file";
inline constexpr char kCannotOpenFile[] = "Cannot open file";
inline constexpr char kCannotReadFile[] = "Cannot read file";
inline constexpr char kCannotWriteFile[] = "Cannot write file";
inline constexpr char kCannotReplaceFile[] = "Cannot replace file";
inline constexpr char kCannotSetAttributes[] = "Cannot set attributes of";

// INI entries that would break the file's line structure: "%0:s" what, "%1:s" the text.
inline constexpr char kInvalidIniEntry[] = "Invalid INI %0:s: %1:s";
inline constexpr char kIniSectionName[] = "section name";
inline constexpr char kIniKeyName[] = "key name";
inline constexpr char kIniValue[] = "value";

}  // namespace kestrane::platform::texts
