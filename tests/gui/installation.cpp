#include "installation.h"

#include <stdlib.h>

#include <fstream>

#include "../app/source_account_set.h"
#include "../product/install_folder.h"

namespace kestrane::gui::testing {

namespace fs = std::filesystem;

std::string Installation::AccountSetFile(const std::string& DBName) const {
    return (Sets / (DBName + ".mdb")).string();
}

Installation MakeInstallation(const fs::path& root, const std::vector<AccountSetToMake>& accountSets) {
    Installation install{root / "lumo", root / "lumo" / "sets", root / "registry.reg"};
    fs::create_directories(install.Sets);
    std::vector<std::string> catalogues;
    for (const AccountSetToMake& set : accountSets) {
        kestrane::testing::InstallFolder::MakeAccountSet(install.Sets.string(), set.DBName, set.AccountName,
                                                         "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
                                                         set.Version.c_str());
        kestrane::testing::FillDefinitionTables(install.AccountSetFile(set.DBName));
        catalogues.push_back(set.DBName);
    }
    const auto store = kestrane::testing::StoredValueFile(kestrane::testing::StoredFactories(
        {kestrane::testing::EmbeddedFactory(1, install.Sets.string(), catalogues)}));
    std::ofstream(install.Folder / "lumo_bd_1_14.lmb", std::ios::binary)
        .write(reinterpret_cast<const char*>(store.data()), static_cast<std::streamsize>(store.size()));
    std::ofstream(install.Folder / "Update.upf", std::ios::binary)
        << "[UpdateConfig]\r\npf_version=8.1.0\r\n";
    RegisterInstallation(install.Registry, install.Folder);
    return install;
}

void RegisterInstallation(const fs::path& registry, const fs::path& folder) {
    std::ofstream(registry, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\""
        << folder.string() << "\"\r\n";
    setenv("KESTRANE_REGISTRY", registry.c_str(), 1);
}

}  // namespace kestrane::gui::testing
