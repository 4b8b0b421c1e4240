// The installation a patch is installed into: the test installation's account sets with the
// organisation units of Sys_OrgUnit and the members of the product's rights, the central catalogue
// NXCentre beside them and the product's configuration database, and a reader of what the SQLite files
// hold afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/sqlite_rows.h"
#include "installation.h"

namespace kestrane::gui::testing {

// An account set and what its Sys_Accounts names as its unit. Every account set has the units (RwID,
// StdCode, StdName) 1 "01" 总公司, 2 "0101" 财务部, 3 "0102" 销售部, 5 "02" 华东分公司 and 4 "0201"
// 上海办事处, stored out of code order.
struct TargetSetSpec {
    AccountSetSpec Set;
    int OrgId = 0;         // ZTOrgID
    std::string UnitName;  // ZTUnitName
};

Installation MakeTargetInstallation(const std::filesystem::path& root,
                                    const std::vector<TargetSetSpec>& sets);

using kestrane::testing::Query;

// Every object's definition and every table's rows: two equal dumps mean an unchanged file.
std::vector<std::string> Dump(const std::string& file);

}  // namespace kestrane::gui::testing
