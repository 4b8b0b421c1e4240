#include "app/inst_select_model.h"

#include <algorithm>

#include "app/manager.h"
#include "app/texts.h"
#include "support/format.h"

namespace kestrane::app {

bool TInstSelectModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    const bool maker = ParamInfo.RunMode == patch::rmMaker;
    lbTitle = maker ? texts::kSelectTitleMaker : texts::kSelectTitleInstaller;
    lbText = maker ? texts::kSelectTextMaker : texts::kSelectTextInstaller;
    lbDescrip = std::string(texts::kStepDescrip) +
                (maker ? texts::kSelectDescripMaker : texts::kSelectDescripInstaller);
    FillList(ParamInfo);
    return true;
}

void TInstSelectModel::FillList(const patch::TBaseParamInfo& ParamInfo) {
    lvInstance.clear();
    const auto& instances = ParamInfo.Instances;
    for (std::size_t i = 0; i < instances.size(); ++i)
        lvInstance.push_back(
            {instances[i].DBName, instances[i].AccountName, instances[i].Version, i, instances[i].Selected});
}

void TInstSelectModel::SetChecks(TCheckMode mode) {
    for (TInstRow& row : lvInstance) row.Checked = mode == cmSelectAll || (mode == cmInvert && !row.Checked);
}

bool TInstSelectModel::CanShow() {
    if (Manager->ParamInfo().Instances.size() > 1) return true;
    SetChecks(cmSelectAll);
    return false;
}

bool TInstSelectModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    auto& instances = ParamInfo.Instances;
    for (const TInstRow& row : lvInstance)
        if (row.Index < instances.size()) instances[row.Index].Selected = row.Checked;
    const auto count =
        std::count_if(lvInstance.begin(), lvInstance.end(), [](const TInstRow& r) { return r.Checked; });

    TInteraction& ui = Manager->Interaction();
    const bool maker = ParamInfo.RunMode == patch::rmMaker;
    if (count == 0) {
        ui.ShowNotice(maker ? texts::kSelectSource : texts::kSelectTargets, TBoxOwner::CurrentPage);
        return false;
    }
    if (maker) {
        if (count == 1) return true;
        ui.ShowNotice(texts::kSelectOnlyOne, TBoxOwner::CurrentPage);
        return false;
    }
    if (ParamInfo.NotCheckVersion) return true;
    for (const support::TInstanceRec& inst : instances) {
        if (!inst.Selected || Manager->CheckVersion(patch::vkAccountSet, inst.Version)) continue;
        ui.ShowNotice(support::Format(texts::kVersionUnfit, inst.AccountName), TBoxOwner::CurrentPage);
        return false;
    }
    return true;
}

}  // namespace kestrane::app
