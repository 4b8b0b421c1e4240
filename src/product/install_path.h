// Where the product is installed: the value "AppInstallPath" of its registry key.
#pragma once

#include <string>

namespace kestrane::platform {
class Registry;
}

namespace kestrane::product {

inline constexpr char kAppInstallPathValue[] = "AppInstallPath";

// The folder named by "AppInstallPath" under the local-machine key RegKey, trimmed of blanks and
// control characters and ending with a path delimiter; empty when the key, the value or the registry
// file cannot be read. The key is opened, never created.
std::string GetInstallPath(const std::string& RegKey);
std::string GetInstallPath(const platform::Registry& registry, const std::string& RegKey);

}  // namespace kestrane::product
