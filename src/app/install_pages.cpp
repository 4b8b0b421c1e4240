#include "app/install_pages.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "app/manager.h"
#include "app/texts.h"
#include "db/connect.h"
#include "db/connection.h"
#include "platform/file_system.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::app {

using support::Format;

namespace {

bool Refused(TManager& manager, const std::string& text) {
    manager.Interaction().ShowNotice(text, TBoxOwner::CurrentPage);
    return false;
}

// Bytes of a text in the code page the page's font measures.
std::size_t Cp936Length(const std::string& text) {
    try {
        return support::Utf8ToCp936(text).size();
    } catch (const support::ECodePageError&) {
        return text.size();  // bytes a database handed over as they are
    }
}

// The rows in the order of their keys: database name (letter case ignored), then the server.
bool KeyLess(const TOrgUnitRow* a, const TOrgUnitRow* b) {
    if (const int c = support::CompareText(a->DBName, b->DBName); c != 0) return c < 0;
    const auto key = [](const TOrgUnitRow* r) {
        return std::tie(r->Server.DBType, r->Server.Server, r->Server.SID, r->Server.Port);
    };
    return key(a) < key(b);
}

constexpr int kRowLeft = 22;
constexpr int kRowPitch = 40;
constexpr int kLabelTop = 13;
constexpr int kComboTop = 32;
constexpr int kComboWidth = 433;
constexpr int kComboHeight = 20;
constexpr int kPixelsPerByte = 12;  // the 12-pixel font of the page
constexpr int kLabelHeight = 12;

}  // namespace

// ---- the installation folder page ----

TInstallDirSetModel::TInstallDirSetModel()
    : lbTitle(texts::kDirTitle),
      lbText(texts::kDirText),
      lbDescrip(std::string(texts::kStepDescrip) + texts::kDirDescripTail) {}

bool TInstallDirSetModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    edtDir = ParamInfo.InstallPath;
    return true;
}

bool TInstallDirSetModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    if (edtDir.empty()) return Refused(*Manager, texts::kNoInstallDir);
    if (!platform::DirectoryExists(edtDir)) return Refused(*Manager, texts::kDirMissing);
    const std::string folder = platform::IncludeTrailingPathDelimiter(edtDir);
    // The account-set pages that follow offer the account sets of the folder given here; a failure to
    // read it has been shown and leaves them nothing to offer.
    if (folder != ParamInfo.InstallPath) Manager->ChangeInstallPath(folder);
    ParamInfo.InstallPath = folder;
    return true;
}

bool TInstallDirSetModel::btnBrowseClick() {
    std::string directory = platform::ExtractFilePath(edtDir);
    if (!Manager->Interaction().ChooseFolder(texts::kDirTitle, "", directory)) return false;
    edtDir = directory;
    return true;
}

// ---- the organisation-unit page ----

const TOrgUnit* TOrgUnitCombo::Selected() const {
    if (ItemIndex < 0 || static_cast<std::size_t>(ItemIndex) >= Units.size()) return nullptr;
    return &Units[static_cast<std::size_t>(ItemIndex)];
}

bool TOrgUnitRow::IsFor(const support::TInstanceRec& inst) const {
    const support::TDBInfoRec& s = inst.DBInfo;
    return s.DBType == Server.DBType && s.Server == Server.Server && s.SID == Server.SID &&
           s.Port == Server.Port && support::SameText(inst.DBName, DBName);
}

TInstallInitModel::TInstallInitModel() : lbTitle(texts::kOrgTitle), lbText(texts::kOrgText) {}

bool TInstallInitModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    BuildRows(ParamInfo);
    lbTitle = texts::kOrgTitle;
    lbText = texts::kOrgText;
    return true;
}

TOrgUnitRow* TInstallInitModel::RowOf(const support::TInstanceRec& inst) {
    for (TOrgUnitRow& row : Rows)
        if (row.IsFor(inst)) return &row;
    return nullptr;
}

bool TInstallInitModel::SelectOrgUnit(TOrgUnitCombo& combo, const std::string& stdCode) {
    for (std::size_t i = 0; i < combo.Units.size(); ++i)
        if (combo.Units[i].StdCode == stdCode) {
            combo.ItemIndex = static_cast<int>(i);
            return true;
        }
    return false;
}

void TInstallInitModel::BuildRows(const patch::TBaseParamInfo& ParamInfo) {
    db::Connection connection;
    int row = 0;
    for (const support::TInstanceRec& inst : ParamInfo.Instances) {
        TOrgUnitRow* existing = RowOf(inst);
        if (existing) {
            existing->Label.Visible = existing->Combo.Visible = inst.Selected;
            if (!inst.Selected) continue;
        } else {
            if (!inst.Selected) continue;
            connection.Close();
            connection.SetConnectionString(db::BuildConnectionString(inst.DBInfo, inst.DBName));
            TOrgUnitRow built;
            built.Server = inst.DBInfo;
            built.DBName = inst.DBName;
            try {
                TOrgUnit unit;
                if (Manager->MatchOrgUnit(connection, unit)) built.Unit = unit;
            } catch (const std::exception&) {
                // An account set that cannot be asked has nothing preselected.
            }
            built.Label.Caption = Format(texts::kOrgLabel, inst.AccountName);
            FillOrgUnits(connection, built.Combo, built.Unit ? built.Unit->StdCode : std::string());
            // Kept only once its list is filled, so a later visit builds a row that failed again.
            Rows.push_back(std::move(built));
            existing = &Rows.back();
        }
        ++row;
        existing->Label.Bounds = {kRowLeft, kRowPitch * (row - 1) + kLabelTop,
                                  kPixelsPerByte * static_cast<int>(Cp936Length(existing->Label.Caption)),
                                  kLabelHeight};
        existing->Combo.Bounds = {kRowLeft, kRowPitch * (row - 1) + kComboTop, kComboWidth, kComboHeight};
    }
}

void TInstallInitModel::FillOrgUnits(db::Connection& connection, TOrgUnitCombo& combo,
                                     const std::string& code) {
    if (!connection.IsOpen()) connection.Open();
    const db::ClosedAfterUse closed(connection);
    std::vector<TOrgUnit> units;
    for (auto rows = connection.Execute(texts::kOrgUnits); rows && !rows->Eof(); rows->MoveNext())
        units.push_back({rows->Value(0).AsInteger(), rows->Value(1).AsString(), rows->Value(2).AsString()});
    AddOrgUnits(combo, std::move(units), code);
}

void AddOrgUnits(TOrgUnitCombo& combo, std::vector<TOrgUnit> units, const std::string& code) {
    std::size_t unitLength = 0;
    for (TOrgUnit& unit : units) {
        std::string text = unit.StdCode;
        const std::size_t length = Cp936Length(text);
        if (unitLength == 0)
            unitLength = length;
        else
            text.insert(0, length / unitLength, ' ');
        text += "  " + unit.StdName;
        combo.Items.push_back(std::move(text));
        combo.Units.push_back(std::move(unit));
        // Without a unit of its own the account set has nothing preselected, also not a unit
        // without a code.
        if (!code.empty() && code == combo.Units.back().StdCode)
            combo.ItemIndex = static_cast<int>(combo.Units.size() - 1);
    }
}

bool TInstallInitModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    std::vector<const TOrgUnitRow*> sorted;
    for (const TOrgUnitRow& row : Rows)
        if (row.Combo.Visible) sorted.push_back(&row);
    std::stable_sort(sorted.begin(), sorted.end(), KeyLess);
    std::string missing, chosen;
    for (const TOrgUnitRow* row : sorted) {
        if (const TOrgUnit* unit = row->Combo.Selected())
            chosen += texts::kOrgChosenIndent + row->Label.Caption + unit->StdName;
        else
            missing += "\r\n" + row->Label.Caption + texts::kOrgNotChosen;
    }
    TInteraction& ui = Manager->Interaction();
    if (!missing.empty()) {
        ui.ShowNotice(texts::kOrgMissing + missing, TBoxOwner::CurrentPage);
        return false;
    }
    if (!ui.AskConfirm(texts::kOrgConfirm + chosen, TBoxOwner::None)) return false;

    db::Connection connection;
    for (const support::TInstanceRec& inst : ParamInfo.Instances) {
        if (!inst.Selected) continue;
        connection.Close();
        connection.SetConnectionString(db::BuildConnectionString(inst.DBInfo, inst.DBName));
        connection.Open();
        const TOrgUnitRow* row = RowOf(inst);
        if (const TOrgUnit* unit = row ? row->Combo.Selected() : nullptr)
            connection.Execute(
                Format(texts::kUpdateAccountOrg, unit->RwID, support::QuotedSqlText(unit->StdName)));
    }
    return true;
}

}  // namespace kestrane::app
