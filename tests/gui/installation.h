// A product installation made for a test: a registry file naming its folder, the store listing one
// embedded server with its catalogues, and the account sets as SQLite files holding the definition
// tables that the designer lists and the build copies.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kestrane::gui::testing {

struct AccountSetToMake {
    std::string DBName;
    std::string AccountName;
    std::string Version = "8.1.0";
};

struct Installation {
    std::filesystem::path Folder;    // the installation folder
    std::filesystem::path Sets;      // the embedded server's folder
    std::filesystem::path Registry;  // names Folder under the product's key
    // The SQLite file of an account set.
    std::string AccountSetFile(const std::string& DBName) const;
};

// Under `root`; KESTRANE_REGISTRY names its registry file afterwards. Each account set holds the
// definition tables with bills 1429 "采购单", 1592 "销售单" and 4000 "其它单", base-data categories
// "部门" and "职员", the user tables "BD_Customer" and "bd_Archive" and the view "V_Customer".
Installation MakeInstallation(const std::filesystem::path& root,
                              const std::vector<AccountSetToMake>& accountSets);

// A registry file naming `folder` as the product's installation; KESTRANE_REGISTRY names it afterwards.
void RegisterInstallation(const std::filesystem::path& registry, const std::filesystem::path& folder);

}  // namespace kestrane::gui::testing
