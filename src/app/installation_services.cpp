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

support::TInstArray RepairableAccountSets(const support::TInstArray& instances) {
    support::TInstArray sets;
    for (const support::TInstanceRec& instance : instances)
        if (instance.Selected &&
            (instance.DBInfo.DBType == support::dbtMsSql || instance.DBInfo.DBType == support::dbAccess))
            sets.push_back(instance);
    return sets;
}

}  // namespace kestrane::app
