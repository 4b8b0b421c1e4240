// Fixed texts of the machine facts: free memory and disk, processes and services.
#pragma once

namespace kestrane::platform::texts {

// "%0:s" the file or folder, "%1:s" the system's reason.
inline constexpr char kCannotReadMemory[] = "Cannot read the free memory from %0:s: %1:s";
inline constexpr char kNoMemAvailable[] = "no MemAvailable line";
inline constexpr char kCannotReadDisk[] = "Cannot read the free disk space of %0:s: %1:s";

}  // namespace kestrane::platform::texts
