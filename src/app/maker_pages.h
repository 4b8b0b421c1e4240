// The maker's step pages as models without a window: the patch type, the database connection and the
// build page. Their public fields stand for the page's controls; a window shows them after EnterPage
// and hands the user's entries back before LeavePage, and the command line sets them directly. Every
// message goes through the manager's TInteraction.
#pragma once

#include <string>

#include "app/page_contract.h"
#include "app/patch_design.h"
#include "patch/param_info.h"
#include "patch/patch_version.h"
#include "support/kv_types.h"

namespace kestrane::app {

// The patch type, the version switches and the registry key of the installation.
class TPatchTypeSetModel : public TBaseFrame {
  public:
    TPatchTypeSetModel();

    std::string lbTitle;
    std::string lbText;
    std::string lbDescrip;
    // Exactly one is selected when the page is shown.
    bool rbProgram = false;
    bool rbInstance = false;
    bool rbBoth = true;
    bool cbNotCheckVersion = false;
    bool cbNotUpdateVersion = false;
    bool cbNotBackup = false;
    std::string RegInstallEdit;

    // Selects the radio button of `type` (ptNone selects "程序 + 账套").
    void SelectPatchType(patch::TKVPatchType type);
    // The type of the selected radio button; ptNone when none is.
    patch::TKVPatchType SelectedPatchType() const;

    // Fills the controls from the parameters.
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // Stores them; a changed registry key reads the installation it names again.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;
};

// The tabs of the database page.
enum TDBInfoTab { tabMsSQL = 0, tabOracle = 1 };

// The connection of the known servers, and a connection test. Shown only while no server is known.
class TDBInfoSetModel : public TBaseFrame {
  public:
    TDBInfoSetModel();

    std::string lbTitle;
    std::string lbText;
    std::string lbDescrip;
    bool tsMsSQLVisible = true;
    bool tsOracleVisible = true;
    TDBInfoTab ActivePage = tabMsSQL;

    // SQL Server tab.
    bool cbIntegrated = false;
    std::string edtServer;
    std::string edtPort;
    std::string edtUser;
    std::string edtPassword;
    // edtUser, edtPassword, lbUser and lbPassword; off while the integrated login is ticked.
    bool UserPasswordEnabled = true;

    // Oracle tab.
    std::string edtServer_PL;
    std::string edtPort_PL;
    std::string edtSID_PL;
    std::string edtUser_PL;
    std::string edtPassword_PL;

    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // Every SQL Server record takes the SQL Server tab, every Oracle record the Oracle tab.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;
    // Only while no server is known.
    bool CanShow() override;

    // After cbIntegrated changed: ticked empties and disables the user and password; cleared enables
    // them again, still empty.
    void cbIntegratedClick();

    // The server record a test button tests: that of its tab, a port that is not a number giving 0.
    support::TDBInfoRec TestRecord(support::TKVDataBaseType kind) const;
    // "测试连接" of the tab of `kind` (btnTest for dbtMsSql, btnTest_PL for dbtOracle): opens and closes
    // a connection to the server and shows "数据库测试连接成功" or the failure; true on success.
    bool TestClick(support::TKVDataBaseType kind);
};

// The patch file, the content designer, the version descriptor, and the checks before the build.
class TPatchBuildModel : public TBaseFrame {
  public:
    TPatchBuildModel();

    std::string lbTitle;
    std::string lbText;
    std::string edtName;        // patch file name
    std::string edtDir;         // its folder
    std::string lbVersion;      // the version switches
    std::string lbVersionInfo;  // the imported descriptor's summary

    // The page's own descriptor, for the summary; apart from the manager's.
    patch::TPatchVersion Version;
    // The content designer dialog ("添加补丁内容(&M)").
    TPatchDesignModel Designer;

    // edtName and edtDir from PatchFileName, lbVersion from the switches.
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    // The checks in order, each refusing with its message: name, folder, existing folder, then
    // PatchFileName is set (and stays), the version file, the program files and the account-set
    // content the patch type asks for.
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;

    // "浏览(&R)": a folder choice starting at the folder of edtDir, which receives the choice.
    bool btnBrowseClick();
    // "添加补丁内容(&M)": opens the designer (reading its catalogue); the window then shows it. Throws
    // when the catalogue cannot be read.
    void btnDesignClick();
    // "导入版本文件(&V)": a file choice, then ImportVersionFile.
    bool btnImportVersionClick();
    // Validates the descriptor; a valid one replaces the patch's version item and the summary.
    bool ImportVersionFile(const std::string& path);
    // True for a file that does not exist; else the descriptor is read into Version and must be of
    // the patch's type. Refusals show their message.
    bool ValidateVersionFile(const std::string& path);
    // "打开原有补丁(&O)": the question, a file choice, then OpenPatch.
    bool btnOpenPatchClick();
    // Loads an existing patch for editing. Of the same type: it becomes the patch file, its data file
    // items go (the build makes them again) and its descriptor is shown. Of another type: the loaded
    // items are emptied again and the mismatch is shown (false).
    bool OpenPatch(const std::string& file);

    // lbVersionInfo from Version.
    void RefreshVersionInfo();
};

// "该补丁版本信息：..." for a descriptor.
std::string VersionSummary(const patch::TPatchVersion& version);
// "该补丁版本升级方式：..." for the two switches.
std::string VersionOptionsText(bool notCheckVersion, bool notUpdateVersion);
// The patch file of a folder and a name: ".exe" is added unless the name ends in it (any case).
std::string PatchFileNameOf(const std::string& folder, const std::string& name);

}  // namespace kestrane::app
