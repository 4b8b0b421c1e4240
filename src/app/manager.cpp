// Construction of the run's objects, their ownership, and the log and progress sinks every part reports to.
#include "app/manager.h"

#include <filesystem>

#include "app/patch_loader.h"
#include "app/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "platform/system_facts.h"
#include "product/install_path.h"
#include "support/text.h"

namespace kestrane::app {

TManager::TManager(TInteraction& interaction, std::string exePath, std::string invokedName,
                   platform::SystemFacts* system)
    : interaction_(interaction),
      exePath_(exePath.empty() ? platform::RunningExecutable() : std::filesystem::absolute(exePath).string()),
      invokedName_(invokedName.empty() ? exePath_ : std::move(invokedName)),
      system_(system ? system : &platform::HostSystem()) {
    paramInfo_ = std::make_unique<patch::TBaseParamInfo>();
    resItems_ = std::make_unique<patch::TResCollection>();
    instResItems_ = std::make_unique<patch::TInstResCollection>();
    patchVersion_ = std::make_unique<patch::TPatchVersion>();

    auto& params = *paramInfo_;
    params.ProgramDir = platform::ExtractFilePath(exePath_);
    // Read with the parameters' default key: a patch's own key does not move the installation folder.
    params.InstallPath = product::GetInstallPath(params.RegInstallPath);
    patchVersion_->ProgramDir = params.ProgramDir;

    fileMng_ = CreateFileMng(params.InstallPath);
    // Set only now: notices raised while the constructor lists the account sets are not recorded.
    fileMng_->OnMessage = [this](const void* sender, const std::string& message) { Log(sender, message); };
    params.DBInfos = fileMng_->Servers();
    params.Instances = fileMng_->AccountSets();

    if (!IsInstaller()) {
        params.RunMode = patch::rmMaker;
        params.PatchFileName = params.ProgramDir + texts::kDefaultPatchFile;
        BuildPageList(params);
        return;
    }
    LoadPatchResources("", ppParamData, false);
    CheckFreeMemory(params.NeedFreeMemMB, false);
    params.RunMode = patch::rmInstaller;
    if (!LoadPatchResources("", ppFileData | ppInstData, true)) {
        // Part of a patch is no patch: what was read before the failure offers no install.
        resItems_->ClearItems();
        resItems_->PatchType = patch::ptNone;
        resItems_->NotCheckVersion = resItems_->NotUpdateVersion = false;
        instResItems_->ClearItems();
    }
    params.PatchType = resItems_->PatchType;
    params.NotCheckVersion = resItems_->NotCheckVersion;
    params.NotUpdateVersion = resItems_->NotUpdateVersion;
    // A descriptor that does not parse ends the start-up.
    if (const patch::TResItem* version = resItems_->FindByOptType(patch::otVersion))
        patchVersion_->LoadFromStream(version->MemStream);
    BuildPageList(params);
}

TManager::~TManager() {
    // Pages go first: they may still point at the parameters and collections.
    currentPage_ = nullptr;
    pageOwner_.clear();
}

void TManager::ReportProgress(const std::string& message, int position, int maximum) {
    if (paramInfo_->OnProgress) paramInfo_->OnProgress(this, patch::pntOther, message, position, maximum);
}

void TManager::Log(const void*, const std::string& message) {
    fullLog_.push_back(message);
    detailLog_.push_back(message);
}

bool TManager::ChangeInstallPath(const std::string& directory) {
    auto& params = *paramInfo_;
    params.InstallPath = directory;
    // The lists of the installation left behind must not stand for the new one.
    params.DBInfos.clear();
    params.Instances.clear();
    try {
        fileMng_->LoadInstallation(directory);
    } catch (const std::exception& error) {
        interaction_.ShowError(error);
        return false;
    }
    params.DBInfos = fileMng_->Servers();
    params.Instances = fileMng_->AccountSets();
    return true;
}

bool TManager::LoadPatchResources(const std::string& sourceFile, int parts, bool showErrors) {
    return app::LoadPatchResources(
        sourceFile, parts, showErrors, {*paramInfo_, *resItems_, *instResItems_},
        {[this](const std::string& text) { interaction_.ShowNotice(text, TBoxOwner::None); },
         [this](const std::string& text) { Log(this, text); }},
        exePath_);
}

}  // namespace kestrane::app
