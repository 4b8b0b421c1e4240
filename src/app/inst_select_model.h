// The account-set selection page of both run modes as a model without a window: the maker picks the
// one source account set, the installer any number of targets, each tested against the patch's
// versions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/page_contract.h"
#include "patch/param_info.h"

namespace kestrane::app {

// One row of lvInstance.
struct TInstRow {
    std::string DBName;       // "账套标识"
    std::string AccountName;  // "账套名称"
    std::string Version;      // "账套版本"
    std::size_t Index = 0;    // of the account set in Instances
    bool Checked = false;
    bool operator==(const TInstRow&) const = default;
};

// What the tool buttons do to the ticks.
enum TCheckMode { cmSelectAll, cmClearAll, cmInvert };

class TInstSelectModel : public TBaseFrame {
  public:
    std::string lbTitle;
    std::string lbText;
    std::string lbDescrip;
    std::vector<TInstRow> lvInstance;

    // Texts for the run mode, then FillList.
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // Stores the ticks into Instances (also when it then refuses) and validates them: the maker takes
    // exactly one, the installer at least one whose version the patch fits.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;
    // Shown when there is more than one account set; otherwise every row is ticked first, so that the
    // only one is selected when the wizard moves on through LeavePage.
    bool CanShow() override;

    // One row per account set, in order, ticked when selected.
    void FillList(const patch::TBaseParamInfo& ParamInfo);
    void SetChecks(TCheckMode mode);
    void tbSelAllClick() { SetChecks(cmSelectAll); }  // "全选"
    void tbClrAllClick() { SetChecks(cmClearAll); }   // "全清"
    void ToolButton1Click() { SetChecks(cmInvert); }  // "反选"
};

}  // namespace kestrane::app
