// The installer's own step pages as models without a window: the installation folder and the
// organisation unit of every chosen account set. Their public fields stand for the page's controls; a
// window shows them after EnterPage and hands the user's entries back before LeavePage, and the
// command line sets them directly. Every message goes through the manager's TInteraction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/page_contract.h"
#include "patch/param_info.h"
#include "support/kv_types.h"

namespace kestrane::db {
class Connection;
}

namespace kestrane::app {

// The installation folder. Passed over in both directions, so it shows only when it refuses the
// folder it was given.
class TInstallDirSetModel : public TBaseFrame {
  public:
    TInstallDirSetModel();

    std::string lbTitle;
    std::string lbText;
    std::string lbDescrip;
    std::string edtDir;

    // edtDir := InstallPath.
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // Refuses an empty or missing folder; else InstallPath := the folder with a trailing delimiter,
    // and a folder other than the one the wizard had lists that installation's servers and account
    // sets for the pages that follow.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;
    bool CanShow() override { return false; }

    // "浏览(&R)": a folder choice starting at the folder part of edtDir, which receives the choice.
    bool btnBrowseClick();
};

// One organisation unit of an account set's Sys_OrgUnit.
struct TOrgUnit {
    std::int32_t RwID = 0;
    std::string StdCode;
    std::string StdName;
    bool operator==(const TOrgUnit&) const = default;
};

// Position and size of a control on the page's scroll box, in pixels.
struct TControlBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TControlBounds&) const = default;
};

// The caption label of an account set's row.
struct TOrgUnitLabel {
    std::string Caption;  // "【<AccountName>】帐套组织机构："
    TControlBounds Bounds;
    bool Visible = true;
};

// The drop-down list of an account set's row: choose from the list only.
struct TOrgUnitCombo {
    std::vector<std::string> Items;  // the entries' texts, indented by the code's depth
    std::vector<TOrgUnit> Units;     // the unit of each entry
    int ItemIndex = -1;              // the selected entry; -1 for none
    TControlBounds Bounds;
    bool Visible = true;

    // The unit of the selected entry, or nullptr.
    const TOrgUnit* Selected() const;
};

// Appends the units in their order, each code indented by one blank per length of the first code
// (counted in code-page-936 bytes); the entry of `code` is selected.
void AddOrgUnits(TOrgUnitCombo& combo, std::vector<TOrgUnit> units, const std::string& code);

// The row of one account set. Account sets are told apart by their server and their database name,
// so that sets of the same name on two servers get rows and units of their own.
struct TOrgUnitRow {
    support::TDBInfoRec Server;  // the account set's server (kind, server, SID, port tell it apart)
    std::string DBName;
    std::optional<TOrgUnit> Unit;  // what the account set names in its Sys_Accounts, when found
    TOrgUnitLabel Label;
    TOrgUnitCombo Combo;

    bool IsFor(const support::TInstanceRec& inst) const;
};

// The organisation unit of every chosen account set, written into the account sets when the page is
// left.
class TInstallInitModel : public TBaseFrame {
  public:
    TInstallInitModel();

    std::string lbTitle;
    std::string lbText;
    // One row per account set that was chosen on some visit, in the order they were built. Rows are
    // only ever appended while the page lives; the row of an account set deselected since is hidden,
    // and the visible ones are placed one under another on every visit.
    std::vector<TOrgUnitRow> Rows;

    // BuildRows, then the texts. A list that cannot be filled raises, and the wizard stays where it was.
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // Every visible list must have a choice; then the choices are confirmed and each selected account
    // set gets its unit in Sys_Accounts at once.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;

    // A row for every selected account set, built once (the unit it names preselected), shown again on
    // later visits; rows of deselected account sets are hidden.
    void BuildRows(const patch::TBaseParamInfo& ParamInfo);
    // The units of the account set behind `connection`, ordered by code, each code indented by one
    // blank per length of the first code; the entry of `code` is selected.
    void FillOrgUnits(db::Connection& connection, TOrgUnitCombo& combo, const std::string& code);

    // The row of an account set, or nullptr when none was built.
    TOrgUnitRow* RowOf(const support::TInstanceRec& inst);
    // Selects the entry whose unit has `stdCode`; false when the list has none.
    static bool SelectOrgUnit(TOrgUnitCombo& combo, const std::string& stdCode);
};

}  // namespace kestrane::app
