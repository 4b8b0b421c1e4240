// The installer's checks: the patch against the installed versions, running programs, disk and memory.
#include <stdexcept>

#include "app/manager.h"
#include "app/texts.h"
#include "platform/system_facts.h"
#include "support/format.h"

namespace kestrane::app {

bool TManager::CheckVersion(patch::TVersionCheckKind kind, const std::string& version) {
    return patchVersion_->IsApplicable(kind, paramInfo_->InstallPath, version);
}

bool TManager::StartupChecks() {
    if (!IsInstaller()) return true;
    const auto& params = *paramInfo_;
    if ((params.PatchType == patch::ptProgram || params.PatchType == patch::ptBoth) &&
        !params.NotCheckVersion && !CheckVersion(patch::vkProgram, "")) {
        if (params.PatchType == patch::ptProgram) return false;
        if (!interaction_.AskConfirm(texts::kProgramNotSuitable, TBoxOwner::MainWindow)) return false;
    }
    return CloseRunningPrograms();
}

bool TManager::CloseRunningPrograms() {
    platform::ProcessList running;
    system_->ListProcesses(running);
    std::string names;
    std::vector<std::pair<std::string, platform::ProcessId>> toClose;  // description, process
    const auto& params = *paramInfo_;
    for (std::size_t i = 0; i < params.CloseFileCount(); ++i) {
        const platform::RunningProcess* process = running.Find(params.CloseFileName(i));
        if (!process) continue;
        const std::string& description = params.CloseFileCaption(i);
        if (!names.empty()) names += texts::kProgramNamesSeparator;
        names += description;
        toClose.emplace_back(description, process->Id);
    }
    // Asked by what runs, not by the names: a program listed without a description still runs.
    if (toClose.empty()) return true;
    if (!interaction_.AskConfirm(support::Format(texts::kProgramsRunning, names), TBoxOwner::None))
        return false;
    std::string errors;
    for (const auto& [description, id] : toClose) {
        std::string reason;
        if (!system_->TerminateProcessById(id, reason))
            errors += texts::kCannotClose + description + texts::kCannotCloseReason + reason;
    }
    if (errors.empty()) return true;
    interaction_.ShowNotice(errors, TBoxOwner::None);
    return false;
}

bool TManager::CheckFreeMemory(int megabytes, bool showMessage) {
    if (megabytes <= 0) return true;
    const double available = static_cast<double>(system_->FreeMemoryBytes()) / 1024 / 1024;
    if (available > megabytes) return true;
    const std::string message = support::Format(texts::kMemoryShort, megabytes);
    if (!showMessage) throw std::runtime_error(message);
    Log(this, texts::kReminder + message);
    interaction_.ShowNotice(message, TBoxOwner::MainWindow);
    return false;
}

bool TManager::CheckFreeDisk(const std::string& drive, int megabytes, bool showMessage) {
    if (megabytes <= 0) return true;
    const double available = static_cast<double>(system_->FreeDiskBytes(drive)) / 1024 / 1024;
    const bool ok = megabytes < available;
    if (ok || !showMessage) return ok;
    const std::string message = support::Format(texts::kDiskShort, drive, megabytes);
    Log(this, texts::kReminder + message);
    interaction_.ShowNotice(message, TBoxOwner::MainWindow);
    return false;
}

bool TManager::CheckDiskAndMemory() {
    const auto& params = *paramInfo_;
    if (params.NeedFreeDiskMB > 0 &&
        !CheckFreeDisk(system_->DriveOf(WorkDirectory()), params.NeedFreeDiskMB, true))
        return false;
    return CheckFreeMemory(params.NeedFreeMemMB, true);
}

}  // namespace kestrane::app
