// The discovery object of an installation, and the database repair the finish page calls.
#include "app/seams.h"

#include "db/maintenance.h"

namespace kestrane::app {

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath) {
    return std::make_unique<product::TLmbFileMng>(installPath);
}

void ReadVersionFile(patch::TPatchVersion& version, const std::string& path) {
    version.LoadFromFile(path);
}

void ReadVersionBytes(patch::TPatchVersion& version, const support::Bytes& bytes) {
    version.LoadFromStream(bytes);
}

void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo) {
    db::RepairDatabase(DBName, DBInfo);
}

}  // namespace kestrane::app
