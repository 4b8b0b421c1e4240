// Moving through the wizard: the page list of the run mode and patch type, page activation and the
// stage the main window shows.
#include "app/manager.h"
#include "app/texts.h"
#include "platform/file_system.h"
#include "support/text.h"

namespace kestrane::app {

namespace {

using patch::ptBoth;
using patch::ptInstance;
using patch::ptNone;
using patch::ptProgram;

std::vector<std::string> PageListFor(patch::TRunMode runMode, patch::TKVPatchType type, bool& known) {
    using namespace pages;
    known = true;
    if (runMode == patch::rmMaker) {
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
    } else if (runMode == patch::rmInstaller) {
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

bool TManager::IsInstaller() const {
    return platform::ExtractFileName(invokedName_) != texts::kMakerExeName;
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

bool TManager::RunAction() {
    TBaseFrame* page = currentPage_;
    if (!page || !page->LeavePage(*paramInfo_)) return false;
    if (paramInfo_->RunMode == patch::rmMaker) {
        if (!Build()) return false;
        NextPage();
        return true;
    }
    // The finish page reports the outcome, whatever it was.
    const bool installed = Install();
    NextPage();
    return installed;
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
    return paramInfo_->RunMode == patch::rmMaker && pageIndex_ >= 0 && pageIndex_ < PageCount() &&
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

}  // namespace kestrane::app
