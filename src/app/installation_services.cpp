// The discovery object of an installation, and the database repair the finish page calls.
#include "app/installation_services.h"

#include "db/maintenance.h"

namespace kestrane::app {

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath) {
    return std::make_unique<product::TLmbFileMng>(installPath);
}

void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo) {
    db::RepairDatabase(DBName, DBInfo);
}

}  // namespace kestrane::app
