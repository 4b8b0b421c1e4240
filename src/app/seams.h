// Stand-ins for the modules the wizard calls that are not built yet: the database repair. Each does
// the least that keeps the wizard running and none claims a result it did not produce; they go when
// their modules arrive. The manager operations waiting for theirs stand in manager_build.cpp
// (GatherAccountSetData) and manager_install.cpp.
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

// Repairs one SQL Server account-set database. The stand-in throws "RepairDatabase: not available
// in this build", so the finish page reports it as a failed repair.
void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo);

}  // namespace kestrane::app
