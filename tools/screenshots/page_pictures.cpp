// Pictures of every wizard page of both run modes, for review. The maker writes a real patch (a copy
// of the running program with the three resources) and the installer pictures come from that patch;
// account sets and log lines are sample data, so no product installation is needed.
#include "page_pictures.h"

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/install_pages.h"
#include "app/scripted_interaction.h"
#include "app/texts.h"
#include "gui/db_info_set_frm.h"
#include "gui/finish_frm.h"
#include "gui/inst_select_frm.h"
#include "gui/install_dir_set_frm.h"
#include "gui/install_init_frame.h"
#include "gui/log_msg_form.h"
#include "gui/main_window.h"
#include "gui/patch_build_frm.h"
#include "gui/patch_type_set_frm.h"
#include "gui/progress_frm.h"
#include "gui/snapshot.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "patch/param_info.h"
#include "platform/resources.h"
#include "support/format.h"

namespace kestrane::screenshots {

using namespace gui;

namespace {

namespace fs = std::filesystem;

struct Pictures {
    fs::path out;
    int written = 0;
};
Pictures* pictures = nullptr;

void Save(QWidget& widget, const std::string& name) {
    const std::string path = (pictures->out / name).string();
    if (!SaveWidgetPicture(widget, path)) throw std::runtime_error("cannot write " + path);
    std::printf("%s\n", path.c_str());
    ++pictures->written;
}

template <class Page>
Page& Show(app::TManager& manager, int index) {
    manager.ShowPage(index);
    auto* page = dynamic_cast<Page*>(manager.CurrentPage());
    if (!page) throw std::runtime_error("page " + std::to_string(index) + " is not the one expected");
    return *page;
}

support::TInstanceRec SampleAccountSet(const char* db, const char* name, const char* version, bool selected) {
    support::TInstanceRec rec;
    rec.DBName = db;
    rec.AccountName = name;
    rec.Version = version;
    rec.DBInfo.DBType = support::dbtMsSql;
    rec.DBInfo.Server = "192.168.1.20";
    rec.Selected = selected;
    return rec;
}

// What a source account set's catalogue lists.
patch::TInstNodeArray SampleCatalogue() {
    return {
        {"全部", "QEL_InstElmnt", "", "", patch::pntReCst},
        {"全部", "QR_Element", "", "", patch::pntQuery},
        {"默认流程图", "JC_SysOptInfo", "", "", patch::pntDeskFlow},
        {"多维立方体", "QR_DataAnalyse", "", "", patch::pntAnalyse},
        {"执行任务方案", "QR_DAExecuteTask", "", "", patch::pntAnalyse},
        {"立方体-任务映射关系", "QR_DATaskLink", "", "", patch::pntAnalyse},
        {"采购订单", "101", "", "101", patch::pntBill},
        {"销售订单", "102", "", "102", patch::pntBill},
        {"固定资产卡片", "103", "", "103", patch::pntBill},
        {"客户分类", "1", "", "1", patch::pntBaseData},
        {"地区", "2", "", "2", patch::pntBaseData},
        {"V_Customer", "V_Customer", "create view V_Customer as select ID, CustName from ZD_Customer", "VIEW",
         patch::pntView},
        {"ZD_Customer", "ZD_Customer", "", "ZD_Customer", patch::pntTable},
        {"ZD_Customer", "ZD_Customer", "", "ZD_Customer", patch::pntReCst},
        {"ZD_Supplier", "ZD_Supplier", "", "ZD_Supplier", patch::pntTable},
        {"ZD_Supplier", "ZD_Supplier", "", "ZD_Supplier", patch::pntReCst},
    };
}

// The designer as an author leaves it: three program files, bills, a table with a filter, a view and
// a script of their own, and the run-time requirements.
void FillDesigner(app::TPatchDesignModel& designer, app::TManager& manager, const fs::path& work) {
    designer.Manager = &manager;
    designer.tsProgramVisible = designer.tsInstanceVisible = designer.ProgramTabActive = true;
    designer.SourceKind = support::dbtMsSql;
    designer.Catalogue = SampleCatalogue();

    std::vector<std::string> files;
    for (const char* name : {"Lumo.exe", "LumoReport.dll", "RegComponents.bat"}) {
        files.push_back((work / name).string());
        // The registration script runs in the picture of the finish page: it must run quietly.
        std::ofstream(files.back(), std::ios::binary)
            << (fs::path(name).extension() == ".bat" ? "#!/bin/sh\n" : name);
    }
    designer.AddFiles(files);
    designer.lbFilesClick(2);
    designer.edtPathChange("Bin");
    designer.edtExecParamChange("/silent");
    designer.cbExecWaitedClick(true);
    designer.seDelayChange(500);
    designer.lbFilesClick(1);
    designer.edtPathChange("Bin\\Report");
    designer.mPrgrmDscrptChange("修正了报表打印时金额列被截断的问题；\r\n新增固定资产卡片的批量导入。");

    for (std::size_t entry : {6u, 8u, 11u, 12u}) designer.AddCandidate(entry);
    designer.tvSelectChange(app::TDesignTreeNode::Category(patch::pntBill));
    designer.mDescriptionChange("新增固定资产卡片单据，调整采购订单的审核流程。");
    designer.tvSelectChange(app::TDesignTreeNode::Category(patch::pntScript));
    designer.edtScriptName = "补全客户编码";
    patch::TNodeItem* script = designer.btnAddScriptClick();
    script->Text =
        "update ZD_Customer set CustCode = 'C' + cast(ID as varchar(10))\r\nwhere CustCode is null";
    static_cast<patch::TNodeScriptItem*>(script)->Text2 =
        "update ZD_Customer set CustCode = 'C' || ID\r\nwhere CustCode is null";
    patch::TNodeItem& table = *designer.Chosen(patch::pntTable).front().Node;
    table.Text = " and ID > 1000 ";
    table.AfterSQL = "update ZD_Customer set Stopped = 0 where Stopped is null";

    designer.FreeMemMB_EdtChange("256");
    designer.FreeDiskMB_EdtChange("500");
    designer.RegInstallEditChange(manager.ParamInfo().RegInstallPath);
    designer.CloseFileNames_EdtChange("Lumo.exe-Lumo主程序,LumoSvr.exe-Lumo服务程序");
}

void SaveDesigner(TPatchBuildFrm& page, app::TManager& manager, const fs::path& work) {
    FillDesigner(page.Model.Designer, manager, work);
    TPatchDesignForm& form = *page.Designer;
    form.ShowModel();
    form.show();
    form.pcDesign->setCurrentWidget(form.tsProgram);
    form.lbFiles->setCurrentRow(2);
    Save(form, "maker-6-design-program.png");

    form.pcDesign->setCurrentWidget(form.tsInstance);
    form.tvAll->expandAll();
    form.tvSelect->setCurrentItem(form.ItemOf(form.tvSelect, app::TDesignTreeNode::Category(patch::pntBill)));
    Save(form, "maker-7-design-account-sets.png");
    const app::TChosenLeaf& table = page.Model.Designer.Chosen(patch::pntTable).front();
    form.tvSelect->setCurrentItem(
        form.ItemOf(form.tvSelect, app::TDesignTreeNode::Chosen(patch::pntTable, table.Node)));
    Save(form, "maker-8-design-table.png");
    const app::TChosenLeaf& script = page.Model.Designer.Chosen(patch::pntScript).front();
    form.tvSelect->setCurrentItem(
        form.ItemOf(form.tvSelect, app::TDesignTreeNode::Chosen(patch::pntScript, script.Node)));
    Save(form, "maker-9-design-script.png");

    form.pcDesign->setCurrentWidget(form.tsConfig);
    Save(form, "maker-10-design-config.png");
    form.hide();
}

TProgressFrm& ShowProgress(TMainForm& form) {
    app::TManager& manager = *form.Manager;
    manager.ShowPage(manager.PageCount() - 2);
    auto& page = dynamic_cast<TProgressFrm&>(*manager.CurrentPage());
    page.LeavePage(manager.ParamInfo());
    return page;
}

void Maker(const fs::path& work) {
    app::TScriptedInteraction user;
    TMainForm form(user, (work / "Kestrane.exe").string());
    form.show();
    Save(form, "maker-1-welcome.png");

    app::TManager& manager = *form.Manager;
    auto& params = manager.ParamInfo();
    Show<TPatchTypeSetFrm>(manager, 1);
    Save(form, "maker-2-type.png");

    params.PatchType = patch::ptBoth;
    params.PatchFileName = (work / "Patch.exe").string();
    manager.BuildPageList(params);
    auto& database = Show<TDBInfoSetFrm>(manager, 2);
    database.edtServer->setText("192.168.1.20");
    database.edtPort->setText("1433");
    database.edtUser->setText("sa");
    database.edtPassword->setText("secret");
    Save(form, "maker-3-database.png");

    params.Instances = {SampleAccountSet("LUMO2023", "演示公司2023年度", "8.1.0", true),
                        SampleAccountSet("LUMO2024", "演示公司2024年度", "8.1.0", false),
                        SampleAccountSet("FGS01", "分公司账套", "8.0.5", false)};
    Show<TInstSelectFrm>(manager, 3);
    Save(form, "maker-4-account-sets.png");

    auto& build = Show<TPatchBuildFrm>(manager, 4);
    patch::TPatchVersion& version = build.Model.Version;
    version.Type = patch::ptBoth;
    version.ProgramNewTag = "8.2.0";
    version.ProgramNewName = "Lumo 8.2";
    version.InstanceNewTag = "8.2.0";
    version.InstanceNewName = "账套8.2";
    version.ProgramVersions = {{"8.1.0", "Lumo 8.1"}, {"8.1.5", "Lumo 8.1 SP1"}};
    version.InstanceVersions = {{"8.1.0", "账套8.1"}};
    build.Model.RefreshVersionInfo();
    build.EnterPage(params);
    Save(form, "maker-5-build.png");
    SaveDesigner(build, manager, work);

    // Straight from the first page: the build page would ask for the version file first.
    manager.ShowPage(0);
    ShowProgress(form);
    params.OnProgress(&manager, patch::pntBill, "正在将账套设置信息生成补丁……", 3, 7);
    Save(form, "maker-11-progress.png");

    if (!manager.WritePatchExecutable()) throw std::runtime_error("the patch was not written");
    manager.NextPage();
    Save(form, "maker-12-finish.png");
}

// A row of the organisation-unit page as the page builds it from an account set's Sys_OrgUnit: each
// code indented by one blank per length of the first code.
app::TOrgUnitRow SampleOrgUnitRow(const support::TInstanceRec& set, const std::string& preselected) {
    app::TOrgUnitRow row;
    row.Server = set.DBInfo;
    row.DBName = set.DBName;
    row.Label.Caption = support::Format(app::texts::kOrgLabel, set.AccountName);
    app::AddOrgUnits(row.Combo,
                     {{1, "01", "总公司"},
                      {2, "0101", "财务部"},
                      {3, "0102", "采购部"},
                      {4, "0103", "销售部"},
                      {5, "02", "华东分公司"},
                      {6, "0201", "上海办事处"},
                      {7, "0202", "杭州办事处"},
                      {8, "03", "华南分公司"}},
                     preselected);
    return row;
}

void Installer(const fs::path& work) {
    app::TScriptedInteraction user;
    TMainForm form(user, (work / "Patch.exe").string());
    form.show();
    Save(form, "installer-1-welcome.png");

    app::TManager& manager = *form.Manager;
    auto& params = manager.ParamInfo();
    // No installation is registered here: the folder page refuses the empty folder and shows itself.
    auto& folder = Show<TInstallDirSetFrm>(manager, 1);
    folder.edtDir->setText(QStringLiteral("/opt/Lumo/"));
    Save(form, "installer-2-folder.png");

    // Pages reached from the first page: the folder typed above does not exist.
    manager.ShowPage(0);
    params.Instances = {SampleAccountSet("LUMO2023", "演示公司2023年度", "8.1.0", true),
                        SampleAccountSet("LUMO2024", "演示公司2024年度", "8.1.0", true),
                        SampleAccountSet("FGS01", "分公司账套", "8.1.0", false)};
    Show<TInstSelectFrm>(manager, 3);
    Save(form, "installer-3-account-sets.png");

    // The rows are those the page would read from the account sets, which are not there: given to the
    // page before it is entered with them selected.
    manager.ShowPage(0);
    for (auto& set : params.Instances) set.Selected = false;
    auto& units = Show<TInstallInitFrame>(manager, 4);
    units.Model.Rows = {SampleOrgUnitRow(params.Instances[0], "0102"),
                        SampleOrgUnitRow(params.Instances[1], "")};
    params.Instances[0].Selected = params.Instances[1].Selected = true;
    units.EnterPage(params);
    Save(form, "installer-4-org-units.png");

    manager.ShowPage(0);
    ShowProgress(form);
    params.OnProgress(&manager, patch::pntView, "正在更新账套[演示账套]的存储过程与视图……", 5, 9);
    Save(form, "installer-5-progress.png");

    for (auto [name, kind] :
         {std::pair{"演示账套", support::dbtMsSql}, std::pair{"分公司账套", support::dbtOracle}}) {
        support::TInstanceRec rec;
        rec.AccountName = name;
        rec.DBName = name;
        rec.DBInfo.DBType = kind;
        rec.Selected = true;
        params.Instances.push_back(rec);
    }
    manager.Log(&manager, "【失败】账套[演示账套]升级失败：示例错误");
    params.ResultFlags = patch::rfFailed;
    manager.NextPage();
    Save(form, "installer-6-finish-failed.png");

    TLogMsgForm log(&form);
    std::string text;
    for (const std::string& line : manager.DetailLog()) text += line + "\r\n";
    log.SetLogText(text);
    log.show();
    Save(log, "installer-7-detail.png");
    log.hide();

    // A real run: the patch's program files into an installation folder without account sets.
    const fs::path installation = work / "lumo";
    fs::create_directories(installation);
    params.InstallPath = installation.string() + "/";
    params.Instances.clear();
    manager.FullLog().clear();
    manager.DetailLog().clear();
    // The picture does not depend on this machine's free memory and disk.
    params.NeedFreeMemMB = params.NeedFreeDiskMB = 0;
    manager.ShowPage(0);
    ShowProgress(form);
    form.btnNextClick();
    if (!dynamic_cast<TFinishFrm*>(manager.CurrentPage()))
        throw std::runtime_error("the install run did not reach the finish page");
    Save(form, "installer-8-finish-after-run.png");
}

void NoPatch(const fs::path& work) {
    // Letter case counts: not the maker, and this copy carries no patch.
    app::TScriptedInteraction user;
    TMainForm form(user, (work / "kestrane.exe").string());
    form.show();
    Save(form, "installer-0-no-patch.png");
}

}  // namespace

int SavePagePictures(const std::string& outDir) {
    Pictures state{outDir};
    pictures = &state;
    const fs::path work = fs::temp_directory_path() / ("kestrane-pictures-" + std::to_string(getpid()));
    struct Cleanup {
        fs::path work;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(work, ignored);
            pictures = nullptr;
        }
    } cleanup{work};
    fs::create_directories(state.out);
    fs::create_directories(work);
    // No product installation: the pictures do not depend on this machine.
    setenv("KESTRANE_REGISTRY", (work / "none.reg").c_str(), 1);
    fs::copy_file(platform::RunningExecutable(), work / "Kestrane.exe");
    fs::copy_file(platform::RunningExecutable(), work / "kestrane.exe");
    Maker(work);
    Installer(work);
    NoPatch(work);
    return state.written;
}

}  // namespace kestrane::screenshots
