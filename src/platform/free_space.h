// Free physical memory and free disk space, in bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrane::platform {

// The message names what was read and the system's reason.
class ESystemFactError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Memory that can be given to a new program without swapping: MemAvailable of the kernel's meminfo.
// Throws ESystemFactError when the file cannot be read or has no such line.
std::uint64_t FreeMemoryBytes(const std::string& meminfoFile = "/proc/meminfo");
// The MemAvailable figure of a meminfo text ("MemAvailable:   123456 kB"); none when absent or
// malformed.
std::optional<std::uint64_t> ParseMemAvailable(std::string_view meminfo);

// Bytes an ordinary user may still write on the file system that holds `folder`. A folder that does not
// exist yet is measured where it would be made: at its nearest existing parent.
std::uint64_t FreeDiskBytes(const std::string& folder);
// The mount point of the file system holding `folder` (its nearest existing parent when it is
// missing): the "drive" a user is told about. "/" when nothing else is found.
std::string MountPointOf(const std::string& folder);

}  // namespace kestrane::platform
