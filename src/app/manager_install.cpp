// The installer's run and its checks.
#include "app/manager.h"
#include "app/texts.h"
#include "support/format.h"

namespace kestrane::app {

bool TManager::CheckVersion(patch::TVersionCheckKind kind, const std::string& version) {
    return patchVersion_->IsApplicable(kind, paramInfo_->InstallPath, version);
}

// The install run is not built yet: the run is logged and flagged as failed, so the finish page
// tells the user that nothing was installed.
bool TManager::Install() {
    Log(this, support::Format(texts::kNotAvailable, "Install"));
    paramInfo_->ResultFlags = patch::rfFailed;
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

}  // namespace kestrane::app
