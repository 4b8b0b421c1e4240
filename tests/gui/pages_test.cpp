// The common pages: welcome texts, the progress page's tree and reports, the finish page's outcome,
// its detail window and its database repair.
#include <QApplication>
#include <stdexcept>

#include "app/manager.h"
#include "gui/finish_frm.h"
#include "gui/log_msg_form.h"
#include "gui/progress_frm.h"
#include "gui/welcome_frm.h"
#include "patch/param_info.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

using Kind = app::TScriptedInteraction::Kind;
using patch::TKVPatchType;

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}

class PagesTest : public PageTest {
  protected:
    // One node in the items of those kinds, each with a description naming it.
    void FillKinds(std::initializer_list<patch::TKVParamNodeType> kinds) {
        auto& items = manager_->InstResItems();
        for (std::size_t i = 0; i < items.Count(); ++i)
            for (auto kind : kinds)
                if (items.Item(i).ParamNodeType() == kind) {
                    items.Item(i).Create<patch::TNodeItem>();
                    items.Item(i).Description = "说明" + std::to_string(kind);
                }
    }
};

TEST_F(PagesTest, WelcomeTextsByRunModeAndPatchType) {
    const std::string installerTitle = "欢迎使用\n    Lumo系统\n        补丁安装程序向导";
    auto installerText = [](const std::string& kinds) {
        return "您可以通过该程序向导，在您机器上安装如下升级补丁：\n\n" + kinds +
               "\n建议您将本机的应用程序以及服务关闭\n\n点击“继续”进入下一步，点击“取消”退出安装";
    };
    struct Case {
        int runMode;
        TKVPatchType type;
        std::string title, text;
    };
    const Case cases[] = {
        {0, patch::ptBoth, "欢迎使用\n    Lumo系统\n        补丁制作工具向导",
         "您可以通过该工具向导，制作如下两种补丁：\n\n    ※ 程序补丁\n    ※ 账套补丁\n\n"
         "补丁程序可以帮助用户方便地升级程序版本和账套版本\n\n点击“继续”进入下一步，点击“取消”退出程序"},
        {1, patch::ptNone, installerTitle, installerText("")},
        {1, patch::ptProgram, installerTitle, installerText("    ※ 程序补丁\n")},
        {1, patch::ptInstance, installerTitle, installerText("    ※ 账套补丁\n")},
        {1, patch::ptBoth, installerTitle, installerText("    ※ 程序补丁\n    ※ 账套补丁\n")},
    };
    TMainFrm page;
    for (const Case& c : cases) {
        Params().RunMode = static_cast<patch::TRunMode>(c.runMode);
        Params().PatchType = c.type;
        page.EnterPage(Params());
        EXPECT_EQ(Text(page.lbTitle), c.title) << c.runMode << " " << int(c.type);
        EXPECT_EQ(Text(page.lbText), c.text) << c.runMode << " " << int(c.type);
        // The whole text is visible: the labels grow with it and stay on the page.
        EXPECT_GE(page.lbText->width(), page.lbText->sizeHint().width());
        EXPECT_LE(page.lbText->geometry().bottom(), 314);
        EXPECT_LE(page.lbText->geometry().right(), 501);
        EXPECT_LT(page.lbTitle->geometry().bottom(), page.lbText->y());
        EXPECT_EQ(page.lbText->x(), 168);
    }
    EXPECT_EQ(page.lbTitle->font().pixelSize(), 15);
    EXPECT_TRUE(page.lbTitle->font().bold());
    EXPECT_EQ(page.lbText->font().pixelSize(), 12);
    EXPECT_EQ(page.lbTitle->pos(), QPoint(168, 32));
    EXPECT_LE(page.lbText->y(), 96);
}

TEST_F(PagesTest, ProgressTreeListsWhatThePatchCarries) {
    FillKinds({patch::pntView, patch::pntBill});
    struct Case {
        TKVPatchType type;
        std::vector<std::string> nodes;
    };
    TProgressFrm page;
    page.Manager = manager_.get();
    // Collection order, empty kinds left out.
    for (const Case& c : {Case{patch::ptNone, {}}, Case{patch::ptProgram, {"程序"}},
                          Case{patch::ptInstance, {"单据", "存储过程与视图"}},
                          Case{patch::ptBoth, {"程序", "单据", "存储过程与视图"}}}) {
        Params().PatchType = c.type;
        page.EnterPage(Params());
        std::vector<std::string> nodes;
        for (int i = 0; i < page.tvList->topLevelItemCount(); ++i)
            nodes.push_back(page.tvList->topLevelItem(i)->text(0).toStdString());
        EXPECT_EQ(nodes, c.nodes) << int(c.type);
    }

    TProgressFrm orphan;
    orphan.tvList->addTopLevelItem(new QTreeWidgetItem(QStringList{"旧"}));
    orphan.RefreshContents();
    EXPECT_EQ(orphan.tvList->topLevelItemCount(), 0);
}

TEST_F(PagesTest, ProgressTextsByRunMode) {
    TProgressFrm page;
    page.Manager = manager_.get();
    struct Case {
        int runMode;
        std::string title, text, descrip;
    };
    for (const Case& c : {Case{0, "生成升级补丁", "正在根据您的设置生成具体的升级补丁程序",
                               "点击“生成”将配置信息生成补丁程序，点击“返回”回退到上一步设置"},
                          Case{1, "安装升级补丁", "正在将升级补丁安装在您所配置的程序与账套中",
                               "点击“安装”将补丁安装在您的电脑上，点击“返回”回退到上一步设置"}}) {
        Params().RunMode = static_cast<patch::TRunMode>(c.runMode);
        page.lbProgressMsg->setText("旧消息");
        page.EnterPage(Params());
        EXPECT_EQ(Text(page.lbTitle), c.title);
        EXPECT_EQ(Text(page.lbText), c.text);
        EXPECT_EQ(Text(page.lbDescrip), c.descrip);
        EXPECT_EQ(Text(page.lbProgressMsg), "");
    }
    EXPECT_EQ(page.gbContent->title().toStdString(), "本次升级内容");
    EXPECT_EQ(page.pbProgress->geometry(), QRect(48, 44, 409, 17));
    EXPECT_EQ(page.gbContent->geometry(), QRect(48, 72, 409, 169));
    EXPECT_TRUE(page.lbTitle->font().bold());
}

TEST_F(PagesTest, ProgressReportsSelectTheNodeOfTheirKind) {
    FillKinds({patch::pntInitScript, patch::pntBill});
    manager_->ResItems().Description = "程序说明";
    Params().PatchType = patch::ptBoth;
    TProgressFrm page;
    page.Manager = manager_.get();
    page.EnterPage(Params());
    page.LeavePage(Params());
    ASSERT_TRUE(Params().OnProgress);

    auto selected = [&] {
        const QTreeWidgetItem* node = page.tvList->currentItem();
        return node ? node->text(0).toStdString() : std::string("-");
    };
    struct Report {
        patch::TKVParamNodeType type;
        std::string selected, description;
    };
    const Report reports[] = {
        // The page starts at type 0: a first report of that type selects nothing.
        {patch::pntInitScript, "-", ""},
        {patch::pntBill, "单据", "说明2"},
        {patch::pntOther, "程序", "程序说明"},
        // No node of this kind: the selection stays.
        {patch::pntQuery, "程序", "程序说明"},
        {patch::pntInitScript, "初始脚本", "说明0"},
    };
    int step = 0;
    for (const Report& r : reports) {
        ++step;
        const std::string message = "第" + std::to_string(step) + "步";
        Params().OnProgress(manager_.get(), r.type, message, step, 7);
        EXPECT_EQ(selected(), r.selected) << step;
        EXPECT_EQ(page.mDescription->toPlainText().toStdString(), r.description) << step;
        EXPECT_EQ(Text(page.lbProgressMsg), message);
        EXPECT_EQ(page.pbProgress->maximum(), 7);
        EXPECT_EQ(page.pbProgress->value(), step);
        EXPECT_EQ(page.CurrentNodeType, r.type);
    }

    // The manager reports its own steps as program steps.
    manager_->ReportProgress("打包", 9, 12);
    EXPECT_EQ(selected(), "程序");
    EXPECT_EQ(page.pbProgress->value(), 9);
    EXPECT_EQ(page.pbProgress->maximum(), 12);

    // Entered again: the tree is new, the last type is kept, so the same type selects nothing.
    page.EnterPage(Params());
    Params().OnProgress(manager_.get(), patch::pntOther, "再次", 1, 2);
    EXPECT_EQ(selected(), "-");
    Params().OnProgress(manager_.get(), patch::pntBill, "再次", 1, 2);
    EXPECT_EQ(selected(), "单据");

    // Out-of-range positions stay within the bar.
    Params().OnProgress(manager_.get(), patch::pntBill, "超出", 20, 10);
    EXPECT_EQ(page.pbProgress->value(), 10);
}

struct FinishCase {
    std::string name;
    int runMode;
    std::uint8_t flags;
    std::vector<std::pair<support::TKVDataBaseType, bool>> accountSets;  // kind, selected
    std::string title, text;
    bool detail, repair;
};

const std::string kSuccessText = "已经成功完成补丁程序的安装，感谢您使用安装向导\n\n点击“完成”结束程序升级";
const std::string kFailureText =
    "补丁升级过程中出现错误，请联系我们协助解决\n\n点击“详细信息”查看失败日志，点击“完成”结束程序升级";

TEST_F(PagesTest, FinishTextsAndButtonsByOutcome) {
    using support::dbAccess;
    using support::dbtMsSql;
    using support::dbtOracle;
    const FinishCase cases[] = {
        {"maker",
         0,
         4,
         {{dbtMsSql, true}},
         "制作完成",
         "已经成功完成补丁程序的制作，感谢您使用工具向导\n\n补丁程序的路径为：\n    "
         "/p/Patch.exe\n\n点击“完成”退出制作工具",
         false,
         false},
        {"success", 1, 2, {{dbtMsSql, true}}, "升级成功", kSuccessText, false, false},
        {"success with reminders", 1, 2 | 8, {}, "升级成功", kSuccessText, false, false},
        {"failure, no account set", 1, 4, {}, "升级失败", kFailureText, true, false},
        {"failure, Oracle only", 1, 4, {{dbtOracle, true}}, "升级失败", kFailureText, true, false},
        {"failure, SQL Server not selected",
         1,
         4,
         {{dbtMsSql, false}, {dbtOracle, true}},
         "升级失败",
         kFailureText,
         true,
         false},
        {"failure, both kinds",
         1,
         4 | 8,
         {{dbtOracle, true}, {dbtMsSql, true}},
         "升级失败",
         kFailureText,
         true,
         true},
        {"success and failure flags", 1, 2 | 4, {{dbtMsSql, true}}, "升级成功", kSuccessText, true, true},
        {"failure, embedded only", 1, 4, {{dbAccess, true}}, "升级失败", kFailureText, true, true},
        {"failure, embedded not selected",
         1,
         4,
         {{dbAccess, false}, {dbtOracle, true}},
         "升级失败",
         kFailureText,
         true,
         false},
    };
    TFinishFrm page;
    page.Manager = manager_.get();
    for (const FinishCase& c : cases) {
        Params().RunMode = static_cast<patch::TRunMode>(c.runMode);
        Params().ResultFlags = c.flags;
        Params().PatchFileName = "/p/Patch.exe";
        Params().Instances.clear();
        for (const auto& [kind, selected] : c.accountSets) {
            support::TInstanceRec rec;
            rec.DBInfo.DBType = kind;
            rec.Selected = selected;
            Params().Instances.push_back(rec);
        }
        page.btnDetail->hide();
        page.btnRepairDB->hide();
        page.EnterPage(Params());
        EXPECT_EQ(Text(page.lbTitle), c.title) << c.name;
        EXPECT_EQ(Text(page.lbText), c.text) << c.name;
        EXPECT_EQ(!page.btnDetail->isHidden(), c.detail) << c.name;
        EXPECT_EQ(!page.btnRepairDB->isHidden(), c.repair) << c.name;
    }
    EXPECT_EQ(page.btnDetail->text().toStdString(), "详细信息");
    EXPECT_EQ(page.btnRepairDB->text().toStdString(), "修复数据库");
    EXPECT_EQ(page.lbTitle->font().pixelSize(), 24);
    EXPECT_TRUE(page.lbText->wordWrap());
    EXPECT_TRUE(page.ProgressBar1->isHidden());
}

TEST_F(PagesTest, DetailWindowShowsTheDetailLog) {
    manager_->Log(nullptr, "第一行失败");
    manager_->FullLog().push_back("只在完整日志");
    manager_->DetailLog().push_back("第二行提醒");
    TFinishFrm page;
    page.Manager = manager_.get();
    bool seen = false;
    OnNextModal([&](QWidget& modal) {
        auto* form = qobject_cast<TLogMsgForm*>(&modal);
        ASSERT_NE(form, nullptr);
        seen = true;
        EXPECT_EQ(form->windowTitle().toStdString(), "详细信息");
        EXPECT_EQ(form->GroupBox1->title().toStdString(), "详细信息");
        EXPECT_EQ(form->size(), QSize(498, 495));
        EXPECT_EQ(form->Panel1->height(), 41);
        EXPECT_EQ(form->mLogDetails->toPlainText().toStdString(), "第一行失败\n第二行提醒\n");
        EXPECT_EQ(form->Button1->text().toStdString(), "确定(&O)");
        EXPECT_TRUE(form->Button1->isDefault());
        form->Button1->click();
    });
    page.btnDetailClick();
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class RepairTest : public PagesTest {
  protected:
    void SetUp() override {
        PagesTest::SetUp();
        auto add = [&](const char* name, support::TKVDataBaseType kind, bool selected) {
            support::TInstanceRec rec;
            rec.DBName = name;
            rec.DBInfo.DBType = kind;
            rec.DBInfo.Server = std::string("srv_") + name;
            rec.Selected = selected;
            Params().Instances.push_back(rec);
        };
        add("A", support::dbtMsSql, true);
        add("B", support::dbtOracle, true);
        add("E", support::dbAccess, true);
        add("C", support::dbtMsSql, false);
        add("F", support::dbAccess, false);
        add("D", support::dbtMsSql, true);
        Params().RunMode = patch::rmInstaller;
        Params().ResultFlags = patch::rfFailed;
        page_.Manager = manager_.get();
        page_.EnterPage(Params());
        page_.RepairDatabase = [this](const std::string& name, const support::TDBInfoRec& info) {
            // The page shows that it is working while the repair runs.
            EXPECT_EQ(Text(page_.lbText), "修复数据库操作正在执行，请稍候...");
            EXPECT_FALSE(page_.ProgressBar1->isHidden());
            EXPECT_EQ(page_.ProgressBar1->value(), 8);
            EXPECT_EQ(page_.ProgressBar1->maximum(), 10);
            repaired_.push_back(name + "@" + info.Server);
            if (name == failOn_) throw std::runtime_error("修复失败");
        };
    }
    void ExpectRestored() {
        EXPECT_EQ(Text(page_.lbText), kFailureText);
        EXPECT_TRUE(page_.ProgressBar1->isHidden());
    }

    TFinishFrm page_;
    std::vector<std::string> repaired_;
    std::string failOn_;
};

TEST_F(RepairTest, RepairsTheSelectedSqlServerAndEmbeddedAccountSetsInOrder) {
    page_.btnRepairDBClick();
    EXPECT_EQ(repaired_, (std::vector<std::string>{"A@srv_A", "E@srv_E", "D@srv_D"}));
    ASSERT_EQ(user_.Calls.size(), 2u);
    EXPECT_EQ(user_.Calls[0].kind, Kind::Confirm);
    EXPECT_EQ(user_.Calls[0].text, "修复数据库操作可能会导致数据丢失，请确认是否进行？");
    EXPECT_EQ(user_.Calls[0].owner, app::TBoxOwner::None);
    EXPECT_EQ(user_.Calls[1].kind, Kind::Notice);
    EXPECT_EQ(user_.Calls[1].text, "修复数据库操作执行成功，请重启并执行升级工具！");
    EXPECT_EQ(user_.SleptMilliseconds, 1800);
    ExpectRestored();
}

TEST_F(RepairTest, CancelledRepairChangesNothing) {
    user_.Answers = {false};
    page_.btnRepairDBClick();
    EXPECT_TRUE(repaired_.empty());
    EXPECT_EQ(user_.Calls.size(), 1u);
    EXPECT_EQ(user_.SleptMilliseconds, 0);
    ExpectRestored();
}

TEST_F(RepairTest, FailedRepairStopsRestoresAndIsShownFromTheButton) {
    failOn_ = "A";
    EXPECT_THROW(page_.btnRepairDBClick(), std::runtime_error);
    EXPECT_EQ(repaired_, std::vector<std::string>{"A@srv_A"});
    ExpectRestored();

    repaired_.clear();
    page_.btnRepairDB->click();
    EXPECT_EQ(repaired_, std::vector<std::string>{"A@srv_A"});
    EXPECT_EQ(user_.Texts(Kind::Error), std::vector<std::string>{"修复失败"});
    EXPECT_TRUE(user_.Texts(Kind::Notice).empty());
    ExpectRestored();
}

}  // namespace
}  // namespace kestrane::gui::testing
