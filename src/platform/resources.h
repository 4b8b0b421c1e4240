// Named resources of an executable file. On this platform they are stored entries "RCDATA/<NAME>" of a
// ZIP archive appended to the executable; the resource section of a Windows PE file is read too.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrane::platform {

using ResourceBytes = std::vector<std::uint8_t>;

// The message is the user-facing text ("Resource %s not found", "Stream read error", ...).
class EResourceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ResourceInfo {
    std::string type;  // "RCDATA" for numeric type 10, else the type's name or number as text
    std::string name;
    std::uint16_t language = 0;
    std::uint64_t size = 0;
};

// An executable opened for reading its resources; the file is released when the object goes.
class ResourceFile {
  public:
    virtual ~ResourceFile() = default;
    static std::unique_ptr<ResourceFile> Open(const std::string& path);  // throws EResourceError
    virtual std::vector<ResourceInfo> List() const = 0;
    // The bytes of the RCDATA resource `name` (case-insensitive); throws "Resource %s not found".
    virtual ResourceBytes ReadRcData(const std::string& name) const = 0;
};

// Full path of the running executable.
std::string RunningExecutable();

// Replaces or adds the given RCDATA resources (language 0) of `path`, all of them or none: the new
// file is written beside the target and renamed into place. Throws EResourceError.
void UpdateRcData(const std::string& path,
                  const std::vector<std::pair<std::string, ResourceBytes>>& resources);

}  // namespace kestrane::platform
