#include "product/install_path.h"

#include "platform/file_system.h"
#include "platform/registry.h"
#include "support/text.h"

namespace kestrane::product {

std::string GetInstallPath(const std::string& RegKey) {
    try {
        return GetInstallPath(platform::Registry::Load(), RegKey);
    } catch (const platform::ERegistryError&) {
        // An unreadable registry file counts as a missing key: the wizard then asks for the folder.
        return {};
    }
}

std::string GetInstallPath(const platform::Registry& registry, const std::string& RegKey) {
    const platform::RegistryKey* key = registry.OpenKey(platform::RegRoot::LocalMachine, RegKey);
    if (!key) return {};
    std::string dir;
    try {
        dir = support::Trim(key->ReadString(kAppInstallPathValue));
    } catch (const platform::ERegistryError&) {
        return {};
    }
    return dir.empty() ? dir : platform::IncludeTrailingPathDelimiter(dir);
}

}  // namespace kestrane::product
