// Stand-ins for what the wizard calls from modules that are not built yet (see seams.h). None of them
// reports a success it did not achieve.
#include "app/seams.h"

#include <stdexcept>

#include "app/texts.h"
#include "db/maintenance.h"
#include "support/format.h"

namespace kestrane::app {

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath) {
    return std::make_unique<product::TLmbFileMng>(installPath);
}

void ReadVersionFile(patch::TPatchVersion&, const std::string&) {
    throw std::runtime_error(support::Format(texts::kNotAvailable, "TPatchVersion"));
}

void ReadVersionBytes(patch::TPatchVersion&, const support::Bytes&) {
    throw std::runtime_error(support::Format(texts::kNotAvailable, "TPatchVersion"));
}

void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo) {
    db::RepairDatabase(DBName, DBInfo);
}

}  // namespace kestrane::app
