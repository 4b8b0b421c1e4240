// Stand-ins for what the wizard calls from modules that are not built yet (see seams.h). None of them
// reports a success it did not achieve.
#include "app/seams.h"

#include <stdexcept>

#include "app/manager.h"
#include "app/texts.h"
#include "support/format.h"

namespace kestrane::app {

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath) {
    return std::make_unique<product::TLmbFileMng>(installPath);
}

void RepairDatabase(const std::string&, const support::TDBInfoRec&) {
    throw std::runtime_error(support::Format(texts::kNotAvailable, "RepairDatabase"));
}

bool TManager::CheckVersion(int kind, const std::string& version) {
    return patchVersion_->CheckVersion(kind, version, paramInfo_->InstallPath);
}

// The install run is not built yet: the run is logged and flagged as failed, so the finish page
// tells the user that nothing was installed.
bool TManager::Install() {
    Log(this, support::Format(texts::kNotAvailable, "Install"));
    paramInfo_->ResultFlags = 4;
    return false;
}

// Finding running programs is not built yet; nothing is closed.
bool TManager::CloseRunningPrograms() {
    return true;
}

// Reading the free memory is not built yet; the requirement is not tested.
bool TManager::CheckFreeMemory(int, bool) {
    return true;
}

bool TManager::GatherAccountSetData() {
    throw std::runtime_error(support::Format(texts::kNotAvailable, "GatherAccountSetData"));
}

}  // namespace kestrane::app
