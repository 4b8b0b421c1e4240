// Pictures of every wizard page of both run modes, for review. The maker writes a real patch (a copy
// of the running program with the three resources) and the installer pictures come from that patch;
// account sets and log lines are sample data, so no product installation is needed.
#include "page_pictures.h"

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/scripted_interaction.h"
#include "gui/finish_frm.h"
#include "gui/log_msg_form.h"
#include "gui/main_window.h"
#include "gui/progress_frm.h"
#include "gui/snapshot.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "patch/param_info.h"
#include "platform/resources.h"

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

void FillPatch(app::TManager& manager) {
    auto& files = manager.ResItems();
    files.Description = "更新主程序与报表组件";
    files.Create<patch::TResItem>().Name = "Lumo.exe";
    auto& items = manager.InstResItems();
    for (std::size_t i = 0; i < items.Count(); ++i) {
        patch::TInstResItem& item = items.Item(i);
        if (item.ParamNodeType() == patch::pntBill || item.ParamNodeType() == patch::pntView ||
            item.ParamNodeType() == patch::pntTable) {
            item.Create<patch::TNodeItem>().Caption = "示例";
            item.Description = "本次更新的" + patch::ParamNodeTypeCaption(item.ParamNodeType());
        }
    }
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
    params.PatchType = patch::ptBoth;
    params.PatchFileName = (work / "Patch.exe").string();
    manager.BuildPageList(params);
    FillPatch(manager);
    ShowProgress(form);
    params.OnProgress(&manager, patch::pntBill, "正在将账套设置信息生成补丁……", 3, 7);
    Save(form, "maker-2-progress.png");

    if (!manager.WritePatchExecutable()) throw std::runtime_error("the patch was not written");
    manager.NextPage();
    Save(form, "maker-3-finish.png");
}

void Installer(const fs::path& work) {
    app::TScriptedInteraction user;
    TMainForm form(user, (work / "Patch.exe").string());
    form.show();
    Save(form, "installer-1-welcome.png");

    app::TManager& manager = *form.Manager;
    auto& params = manager.ParamInfo();
    ShowProgress(form);
    params.OnProgress(&manager, patch::pntView, "正在更新账套[演示账套]的存储过程与视图……", 5, 9);
    Save(form, "installer-2-progress.png");

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
    Save(form, "installer-3-finish-failed.png");

    TLogMsgForm log(&form);
    std::string text;
    for (const std::string& line : manager.DetailLog()) text += line + "\r\n";
    log.SetLogText(text);
    log.show();
    Save(log, "installer-4-detail.png");
    log.hide();

    params.ResultFlags = patch::rfCompleted;
    manager.CurrentPage()->EnterPage(params);
    Save(form, "installer-5-finish-succeeded.png");
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
