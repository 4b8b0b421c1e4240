#include "app/manager.h"

#include <filesystem>

#include "app/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "product/install_path.h"
#include "support/text.h"

namespace kestrane::app {

namespace {

using patch::ptBoth;
using patch::ptInstance;
using patch::ptNone;
using patch::ptProgram;

std::vector<std::string> PageListFor(std::uint8_t runMode, patch::TKVPatchType type, bool& known) {
    using namespace pages;
    known = true;
    if (runMode == 0) {
        switch (type) {
            case ptNone:
                return {TMainFrm, TPatchTypeSetFrm};
            case ptProgram:
                return {TMainFrm, TPatchTypeSetFrm, TPatchBuildFrm, TProgressFrm, TFinishFrm};
            case ptInstance:
            case ptBoth:
                return {TMainFrm,       TPatchTypeSetFrm, TDBInfoSetFrm, TInstSelectFrm,
                        TPatchBuildFrm, TProgressFrm,     TFinishFrm};
        }
    } else if (runMode == 1) {
        switch (type) {
            case ptNone:
                break;
            case ptProgram:
                return {TMainFrm, TInstallDirSetFrm, TProgressFrm, TFinishFrm};
            case ptInstance:
                return {TMainFrm, TDBInfoSetFrm, TInstSelectFrm, TInstallInitFrame, TProgressFrm, TFinishFrm};
            case ptBoth:
                return {TMainFrm,          TInstallDirSetFrm, TDBInfoSetFrm, TInstSelectFrm,
                        TInstallInitFrame, TProgressFrm,      TFinishFrm};
        }
    }
    known = false;
    return {};
}

}  // namespace

TManager::TManager(TInteraction& interaction, std::string exePath)
    : interaction_(interaction),
      exePath_(exePath.empty() ? platform::RunningExecutable()
                               : std::filesystem::absolute(exePath).string()) {
    paramInfo_ = std::make_unique<patch::TBaseParamInfo>();
    resItems_ = std::make_unique<patch::TResCollection>();
    instResItems_ = std::make_unique<patch::TInstResCollection>();
    patchVersion_ = std::make_unique<TPatchVersion>();

    auto& params = *paramInfo_;
    params.ProgramDir = platform::ExtractFilePath(exePath_);
    // Read with the parameters' default key: a patch's own key does not move the installation folder.
    params.InstallPath = product::GetInstallPath(params.RegInstallPath);

    fileMng_ = CreateFileMng(params.InstallPath);
    // Set only now: notices raised while the constructor lists the account sets are not recorded.
    fileMng_->OnMessage = [this](const void* sender, const std::string& message) { Log(sender, message); };
    params.DBInfos = fileMng_->Servers();
    params.Instances = fileMng_->AccountSets();

    if (!IsInstaller()) {
        params.RunMode = 0;
        params.PatchFileName = params.ProgramDir + texts::kDefaultPatchFile;
        BuildPageList(params);
        return;
    }
    LoadPatchResources("", ppParamData, false);
    CheckFreeMemory(params.NeedFreeMemMB, false);
    params.RunMode = 1;
    LoadPatchResources("", ppFileData | ppInstData, true);
    params.PatchType = resItems_->PatchType;
    params.NotCheckVersion = resItems_->NotCheckVersion;
    params.NotUpdateVersion = resItems_->NotUpdateVersion;
    if (const patch::TResItem* version = resItems_->FindByOptType(patch::otVersion))
        patchVersion_->LoadFromBytes(version->MemStream);
    BuildPageList(params);
}

TManager::~TManager() {
    // Pages go first: they may still point at the parameters and collections.
    currentPage_ = nullptr;
    pageOwner_.clear();
}

bool TManager::IsInstaller() const {
    return platform::ExtractFileName(exePath_) != texts::kMakerExeName;
}

void TManager::ShowPage(std::int32_t index) {
    if (currentPage_ && pageIndex_ < index) {
        if (!currentPage_->LeavePage(*paramInfo_)) {
            if (host_) host_->BringToFront(*currentPage_);
            return;
        }
    }
    if (IsOnPatchTypePage() && pageIndex_ < index) BuildPageList(*paramInfo_);

    if (PageCount() > 0 && index >= 0 && index < PageCount() && index != pageIndex_) {
        if (const TPageClass* pageClass = FindPageClass(pageNames_[static_cast<std::size_t>(index)])) {
            TBaseFrame& page = PageOf(*pageClass);
            page.Manager = this;
            page.EnterPage(*paramInfo_);
            if (host_) host_->PlacePage(page);
            currentPage_ = &page;
            if (page.CanShow()) {
                pageIndex_ = index;
                if (host_) host_->BringToFront(page);
            } else {
                const std::int32_t old = pageIndex_;
                pageIndex_ = index;
                if (old >= index)
                    PrevPage();
                else
                    NextPage();
            }
        }
    }
    NotifyStage();
}

TBaseFrame& TManager::PageOf(const TPageClass& pageClass) {
    if (TBaseFrame* page = FindPage(pageClass)) return *page;
    std::unique_ptr<TBaseFrame> page = pageClass.Create();
    page->PageClass = &pageClass;
    pageOwner_.push_back(std::move(page));
    return *pageOwner_.back();
}

TBaseFrame* TManager::FindPage(const TPageClass& pageClass) const {
    for (const auto& page : pageOwner_)
        if (page->PageClass == &pageClass) return page.get();
    return nullptr;
}

void TManager::BuildPageList(const patch::TBaseParamInfo& ParamInfo) {
    bool known = false;
    std::vector<std::string> list = PageListFor(ParamInfo.RunMode, ParamInfo.PatchType, known);
    if (known) pageNames_ = std::move(list);
}

bool TManager::IsOnPatchTypePage() const {
    return paramInfo_->RunMode == 0 && pageIndex_ >= 0 && pageIndex_ < PageCount() &&
           support::SameText(pageNames_[static_cast<std::size_t>(pageIndex_)], pages::TPatchTypeSetFrm);
}

TWizardStage TManager::Stage() const {
    if (pageIndex_ == 0) return wsFirst;
    // With the type still ptNone the maker's list ends at the patch-type page, which is no finish.
    if (IsOnPatchTypePage()) return wsStep;
    if (PageCount() == pageIndex_ + 2) return wsAction;
    if (PageCount() == pageIndex_ + 1) return wsFinish;
    return wsStep;
}

void TManager::NotifyStage() {
    if (OnStageChange) OnStageChange(*this, Stage());
}

void TManager::ReportProgress(const std::string& message, int position, int maximum) {
    if (paramInfo_->OnProgress) paramInfo_->OnProgress(this, patch::pntOther, message, position, maximum);
}

void TManager::Log(const void*, const std::string& message) {
    fullLog_.push_back(message);
    detailLog_.push_back(message);
}

void TManager::ChangeInstallPath(const std::string& directory) {
    auto& params = *paramInfo_;
    params.InstallPath = directory;
    fileMng_->LoadInstallation(directory);
    params.DBInfos = fileMng_->Servers();
    params.Instances = fileMng_->AccountSets();
}

}  // namespace kestrane::app
