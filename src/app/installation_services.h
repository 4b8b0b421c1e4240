// What the manager and the window reach of the modules below through app: the discovery object of an
// installation, and the database repair of the finish page (the window does not reach the database
// layer itself).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "product/lmb_file_mng.h"
#include "support/kv_types.h"
#include "support/variant.h"

namespace kestrane::app {

// The discovery of the product's servers and account sets.
using TFileMng = product::TLmbFileMng;

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath);

// Repairs one account-set database (the database layer's RepairDatabase).
void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo);

// The account sets the finish page's repair works on, in their order: the selected ones on SQL Server
// (checked and repaired) and the embedded ones (their integrity checked, what it finds raised). An
// Oracle account set has no repair.
support::TInstArray RepairableAccountSets(const support::TInstArray& instances);

}  // namespace kestrane::app
