// Fixed texts of the executable-resource facility. Patterns take their arguments through
// support::Format; %0:s is always the file's path.
#pragma once

namespace kestrane::platform::texts {

inline constexpr char kResourceNotFound[] = "Resource %s not found";
inline constexpr char kStreamReadError[] = "Stream read error";

inline constexpr char kCannotOpen[] = "Cannot open %0:s: %1:s";
inline constexpr char kNotRegularFile[] = "not a regular file";
inline constexpr char kCannotWrite[] = "Cannot write the resources of %0:s: %1:s";
inline constexpr char kBadResourceName[] = "Invalid resource name \"%s\"";
inline constexpr char kTooLarge[] = "the archive would exceed 4 GiB";

// ZIP archive appended to the executable: "%0:s" the path, "%1:s" one reason below.
inline constexpr char kArchiveDamaged[] = "The resource archive of %0:s is damaged: %1:s";
inline constexpr char kZipMultiDisk[] = "it spans several disks";
inline constexpr char kZip64[] = "ZIP64 archives are not supported";
inline constexpr char kZipCentralOutside[] = "the central directory lies outside the file";
inline constexpr char kZipCentralEntry[] = "central directory entry %d is malformed";
inline constexpr char kZipLocalHeader[] = "the local header of %s is missing or lies outside the archive";
inline constexpr char kZipOverlap[] = "entries %0:s and %1:s overlap";
inline constexpr char kZipCrc[] = "the CRC-32 of %s does not match its content";
inline constexpr char kZipMethod[] = "%0:s uses compression method %1:d, which is not supported";
inline constexpr char kZipEncrypted[] = "%s is encrypted";
inline constexpr char kZipInflate[] = "%s does not inflate to its declared size";

// Resource section of a Windows PE file.
inline constexpr char kPeDamaged[] = "The resource section of %0:s is damaged: %1:s";
inline constexpr char kPeHeaders[] = "the PE headers are truncated";
inline constexpr char kPeMagic[] = "unknown optional header magic %x";
inline constexpr char kPeSectionTable[] = "the section table lies outside the file";
inline constexpr char kPeDirOutside[] = "the resource directory points outside the file";
inline constexpr char kPeLoop[] = "the resource directory contains a loop";
inline constexpr char kPeOverlap[] = "the resource directory tables overlap";
inline constexpr char kPeShape[] = "the resource directory is not three levels deep";
inline constexpr char kPeBadName[] = "a resource name is not valid UTF-16";
inline constexpr char kPeDataOutside[] = "the data of %s lies outside the file";

}  // namespace kestrane::platform::texts
