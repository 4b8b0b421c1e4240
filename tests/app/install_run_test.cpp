// The install run on real embedded installations: a patch built by the maker installs into a site's
// account sets; every way a run can fail leaves the failed account set as it was before the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "db/fault_injection.h"
#include "install_fixture.h"
#include "product/lmb_file_mng.h"
#include "support/codepage.h"
#include "support/text.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedInteraction::Kind;

struct Report {
    patch::TKVParamNodeType kind;
    std::string message;
    int position, maximum;
};

bool Has(const Texts& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

class InstallRunTest : public InstallFixture {
  protected:
    std::string UsualPatch(patch::TKVPatchType type = patch::ptBoth) {
        return BuildPatch(type, [](TManager& m) { UsualContent(m); });
    }
    // The upgrade log as text.
    std::string PatchLog() const { return support::Cp936ToUtf8(testing::Slurp(Site() + "PatchLog.log")); }
    std::string BackupOf(const std::string& account) const {
        return Site() + "BackUp/EMBEDDED/" + account + "2010-05-20 1440.mdb";
    }
    void Record(TManager& installer) {
        installer.ParamInfo().OnProgress = [this](const void*, patch::TKVParamNodeType kind,
                                                  const std::string& m, int position, int maximum) {
            reports_.push_back({kind, m, position, maximum});
        };
    }
    const Report* FindReport(const std::string& message) const {
        for (const Report& r : reports_)
            if (r.message == message) return &r;
        return nullptr;
    }
    // What the upgrade changes in an account set, and nothing else.
    void ExpectUpgraded(const std::string& set, const std::string& n) {
        SCOPED_TRACE(set);
        const std::string file = SiteSet(set);
        EXPECT_EQ(Rows(file, "select RwID, BillName from JC_BillFormat order by RwID"),
                  (Texts{"1429|采购单", "1592|销售单", "2000|采购子单", "3000|销售模型单", "4000|其它单"}));
        EXPECT_EQ(Rows(file, "select ID, Name, Region from BD_Customer order by ID"),
                  (Texts{"1|甲*|N", "2|乙|S", "3|丙*|N", "8|客户八|S"}));
        // Shipped for its structure: the site's rows stay, the source's are not copied.
        EXPECT_EQ(Rows(file, "select Code from BD_Region"), Texts{"W"});
        const std::string id = "{11111111-2222-3333-4444-55555555555" + n + "}";
        EXPECT_EQ(Rows(file, "select SvcID, InstID from QEL_InstElmnt order by SvcID"),
                  (Texts{"-268304361|" + id, "5|" + id, "7|" + id}));
        EXPECT_EQ(Rows(file, "select sql from sqlite_master where name = 'V_Customer'"),
                  Texts{"CREATE VIEW V_Customer as select ID, Name from BD_Customer where ID > 0"});
        EXPECT_EQ(Rows(file, "select FunName from Sys_PurFunRes order by FunID"), (Texts{"录入", "审核"}));
    }

    std::vector<Report> reports_;
};

TEST_F(InstallRunTest, PatchOfBothKindsInstallsIntoEverySelectedAccountSet) {
    const std::string patchFile = UsualPatch();
    MakeSite();
    const Texts before1 = Snapshot(SiteSet("TGT01"));
    system_.WatcherInstalled = system_.WatcherRunning = true;
    auto installer = NewInstaller(patchFile);
    Record(*installer);

    ASSERT_TRUE(installer->Install());
    const Texts& log = installer->FullLog();
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfCompleted) << support::JoinLines(log);
    EXPECT_FALSE(Has(log, "【失败】"));
    // Only the notices reach the detail log.
    EXPECT_EQ(installer->DetailLog(),
              Texts{"更新账套[11111111222233334444555555555551]用户权限，原UID：" + std::string(32, 'F') +
                    " -> 新UID：" + std::string(31, '0') + "1，原Code：M1 -> 新Code：M1"});
    EXPECT_EQ(testing::Slurp(Site() + "doc/readme.txt"), "hello\n");
    ExpectUpgraded("TGT01", "1");
    ExpectUpgraded("TGT02", "2");

    // Versions stamped, rights transferred, names renamed, the package removed, backups kept.
    EXPECT_TRUE(installer->VersionsStamped());
    EXPECT_NE(testing::Slurp(Site() + "Update.upf").find("pf_version=R2.3"), std::string::npos);
    EXPECT_EQ(Rows(SiteSet("TGT02"), "select ZTVersion from Sys_Accounts"), Texts{"8.2"});
    EXPECT_EQ(Rows(Central(), "select UID, Code from CERT_Member"), Texts{std::string(31, '0') + "1|M1"});
    EXPECT_EQ(Rows(Central(), "select ResID, ResType from Cert_ACL").size(), 1u);
    product::TLmbFileMng site(Site());
    ASSERT_EQ(site.InstInfos().size(), 2u);
    EXPECT_EQ(site.InstInfos()[0].InstName, "目标账套1");
    EXPECT_EQ(site.InstInfos()[1].InstName, "目标账套2");
    EXPECT_FALSE(fs::exists(Site() + "Update.mdb"));
    ASSERT_TRUE(fs::exists(BackupOf("目标账套1")));
    EXPECT_EQ(Snapshot(BackupOf("目标账套1")), before1);

    // The log: success lines in the full log only, written to the upgrade log.
    EXPECT_TRUE(Has(log, "程序文件“readme.txt”升级【成功】"));
    EXPECT_TRUE(Has(log, "升级账套“目标账套2”的“单据_JC_BillFormat”信息【成功】"));
    EXPECT_TRUE(Has(log, "升级账套“目标账套1”的“重构_更新实例ID”信息【成功】"));
    EXPECT_TRUE(Has(log, "升级账套“目标账套1”的“存储过程与视图_V_Customer”信息【成功】"));
    EXPECT_TRUE(Has(log, "升级账套“目标账套1”的“其他_Sys_PurFunRes”信息【成功】"));
    EXPECT_TRUE(Has(log, "更新账套[111111112222333344445555555555"));
    const std::string written = PatchLog();
    EXPECT_NE(written.find("详细信息=\r\n程序文件“readme.txt”升级【成功】\r\n"), std::string::npos)
        << written;
    EXPECT_NE(written.find("升级账套“目标账套2”的“其他_JC_SysOptInfo”信息【成功】"), std::string::npos);

    // Progress: the checks, each backup at 0, then every item at its place among all sets and items.
    ASSERT_FALSE(reports_.empty());
    EXPECT_EQ(reports_[0].message, "正在检测内存进程...");
    EXPECT_EQ(reports_[0].position, 1);
    EXPECT_EQ(reports_[0].maximum, 100);
    const Report* backup = FindReport("正在备份账套[目标账套2]数据，请稍候……");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->position, 0);
    EXPECT_EQ(backup->maximum, 20);
    const Report* bills = FindReport("正在升级账套[目标账套2]的“单据”信息……");
    ASSERT_NE(bills, nullptr);
    EXPECT_EQ(bills->kind, patch::pntBill);
    EXPECT_EQ(bills->position, 13);
    EXPECT_EQ(bills->maximum, 20);
    EXPECT_NE(FindReport("正在升级账套[目标账套1]的“重构  1/2 --【BD_Region】”信息……"), nullptr);

    ASSERT_EQ(installer->AccountSetResults().size(), 2u);
    EXPECT_EQ(installer->AccountSetResults()[1].Outcome, TAccountSetOutcome::Upgraded);
    EXPECT_EQ(installer->AccountSetResults()[1].BackupFile, BackupOf("目标账套2"));
    EXPECT_EQ(system_.WatcherCalls, (Texts{"query", "stop", "start"}));
}

// What a failed run leaves of an account set.
enum class Left { Upgraded, AsBefore, Changed };

TEST_F(InstallRunTest, EveryFailureLeavesTheFailedAccountSetAsItWasAndSaysSo) {
    const std::string patchFile = UsualPatch();
    using Fault = std::unique_ptr<db::ScopedFaultInjection>;
    const auto failOnSecond = [](const char* statement) {
        Fault f = std::make_unique<db::ScopedFaultInjection>();
        f->OnConnections("TGT02.mdb").FailMatching(statement, "disk I/O error");
        return f;
    };
    const struct Case {
        const char* name;
        std::function<Fault(TManager&)> arrange;
        std::uint8_t flags;
        Texts lines;
        Left first, second;
        bool stamped;
        const char* notice = nullptr;  // shown to the user as well
    } cases[] = {
        {"programs not closed",
         [this](TManager&) {
             system_.Processes = {{"LumoClient.exe", 7}};
             ui_.Answers = {false};
             return Fault();
         },
         patch::rfFailed,
         {"补丁升级【失败】：需要关闭的程序没有关闭，本次升级没有做任何改动"},
         Left::AsBefore,
         Left::AsBefore,
         false},
        {"a program that cannot be ended",
         [this](TManager&) {
             system_.Processes = {{"lumoclient.EXE", 7}};
             system_.Unkillable = {{7, "Operation not permitted"}};
             return Fault();
         },
         patch::rfFailed,
         {"补丁升级【失败】：需要关闭的程序没有关闭"},
         Left::AsBefore,
         Left::AsBefore,
         false,
         "\r\n无法关闭【Lumo客户端程序】，详细信息如下：\r\n    Operation not permitted"},
        {"disk short",
         [this](TManager& m) {
             m.ParamInfo().NeedFreeDiskMB = 100;
             system_.DiskBytes = 50u << 20;
             return Fault();
         },
         patch::rfFailed | patch::rfReminders,
         {"提醒：/盘的磁盘空间不足【100】MB", "补丁升级【失败】：磁盘或内存空间不足，本次升级没有做任何改动"},
         Left::AsBefore,
         Left::AsBefore,
         false,
         "/盘的磁盘空间不足【100】MB，请清理磁盘，以获取得到足够的空间！"},
        {"memory short",
         [this](TManager& m) {
             m.ParamInfo().NeedFreeMemMB = 100;
             system_.MemoryBytes = 100u << 20;
             return Fault();
         },
         patch::rfFailed | patch::rfReminders,
         {"提醒：当前内存空间不足【100】MB", "补丁升级【失败】：磁盘或内存空间不足"},
         Left::AsBefore,
         Left::AsBefore,
         false},
        {"a program file that cannot be written",
         [this](TManager&) {
             fs::create_directories(Site() + "doc/readme.txt");
             return Fault();
         },
         patch::rfFailed,
         {"程序文件“readme.txt”升级【失败】，详细信息如下："},
         Left::Upgraded,
         Left::Upgraded,
         false},
        {"a target folder that cannot be made",
         [this](TManager&) {
             PutText("site/doc", "a file in the way");
             return Fault();
         },
         patch::rfFailed,
         {"补丁升级【失败】，详细信息如下：“"},
         Left::AsBefore,
         Left::AsBefore,
         false},
        {"the first backup fails",
         [this](TManager&) {
             fs::create_directories(BackupOf("目标账套1"));
             return Fault();
         },
         patch::rfFailed,
         {"备份账套[目标账套1]出错，详细信息如下：",
          "升级账套数据【失败】，详细失败信息为“备份账套[目标账套1]出错"},
         Left::AsBefore,
         Left::Upgraded,
         false},
        {"a step of the second fails",
         [&](TManager&) { return failOnSecond("delete from JC_BillFormat"); },
         patch::rfFailed,
         {"升级账套“目标账套2”的“单据_JC_"
          "BillFormat”信息【失败】，详细信息如下：“SQL执行错误，详细信息如下：【delete "
          "from JC_BillFormat",
          "[目标账套2]账套还原【成功】",
          "升级账套数据【失败】，详细失败信息为“升级账套“目标账套2”的“单据_JC_BillFormat”"},
         Left::Upgraded,
         Left::AsBefore,
         false},
        {"the view of the second fails",
         [&](TManager&) { return failOnSecond("create view V_Customer"); },
         patch::rfFailed,
         {"升级账套“目标账套2”的“存储过程与视图_V_Customer”信息【失败】", "[目标账套2]账套还原【成功】"},
         Left::Upgraded,
         Left::AsBefore,
         false},
        {"a closing table of the second fails",
         [&](TManager&) { return failOnSecond("delete from Sys_PurFunRes"); },
         patch::rfFailed,
         {"升级账套“目标账套2”的“其他_Sys_PurFunRes”信息【失败】", "[目标账套2]账套还原【成功】"},
         Left::Upgraded,
         Left::AsBefore,
         false},
        {"a step fails without backups",
         [&](TManager& m) {
             m.ParamInfo().NotBackup = true;
             return failOnSecond("delete from JC_BillFormat");
         },
         patch::rfFailed,
         {"升级账套数据【失败】，详细失败信息为“升级账套“目标账套2”"},
         Left::Upgraded,
         Left::Changed,
         false},
        {"the restore fails",
         [&](TManager& m) {
             m.ParamInfo().OnProgress = [this](const void*, patch::TKVParamNodeType,
                                               const std::string& message, int, int) {
                 if (message == "正在还原[目标账套2]账套数据，请稍候……")
                     PutText(BackupOf("目标账套2"), "torn");
             };
             return failOnSecond("delete from JC_BillFormat");
         },
         patch::rfFailed,
         {"[目标账套2]账套还原【失败】，请手动进行还原！\r\n    详细信息为："},
         Left::Upgraded,
         Left::Changed,
         false,
         "[目标账套2]账套还原【失败】，请手动进行还原！"},
        {"no product configuration",
         [this](TManager&) {
             fs::remove(Site() + "LumoConfig.mdb");
             return Fault();
         },
         patch::rfCompleted | patch::rfReminders,
         {"提醒：无法查找到文件：LumoConfig.mdb"},
         Left::Upgraded,
         Left::Upgraded,
         true},
        {"the version stamp fails",
         [](TManager&) {
             Fault f = std::make_unique<db::ScopedFaultInjection>();
             f->FailMatching("update Sys_Accounts set ZTVersion", "database is locked");
             return f;
         },
         patch::rfCompleted | patch::rfReminders,
         {"提醒：更新版本号失败，详细信息如下："},
         Left::Upgraded,
         Left::Upgraded,
         false},
        {"the rights transfer fails",
         [](TManager&) {
             Fault f = std::make_unique<db::ScopedFaultInjection>();
             f->OnConnections("NXCentre.mdb").FailMatching("INSERT INTO CERT_ACL", "disk full");
             return f;
         },
         patch::rfFailed,
         {"补丁升级【失败】，详细信息如下：“"},
         Left::Upgraded,
         Left::Upgraded,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove_all(Site(), ignored);
        MakeSite();
        system_ = FakeSystem();
        ui_ = TScriptedInteraction();
        const Texts before[] = {Snapshot(SiteSet("TGT01")), Snapshot(SiteSet("TGT02"))};
        auto installer = NewInstaller(patchFile);
        {
            const Fault fault = c.arrange(*installer);
            installer->Install();
        }
        const Texts& log = installer->FullLog();
        EXPECT_EQ(installer->ParamInfo().ResultFlags, c.flags) << support::JoinLines(log);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(Has(log, line)) << line << "\n" << support::JoinLines(log);
        EXPECT_NE(PatchLog().find(c.lines.back()), std::string::npos);
        if (c.notice) {
            EXPECT_TRUE(Has(ui_.Texts(Kind::Notice), c.notice)) << c.notice;
        }
        const Left left[] = {c.first, c.second};
        for (int i = 0; i < 2; ++i) {
            const std::string set = i == 0 ? "TGT01" : "TGT02";
            switch (left[i]) {
                case Left::Upgraded:
                    ExpectUpgraded(set, std::to_string(i + 1));
                    break;
                case Left::AsBefore:
                    EXPECT_EQ(Snapshot(SiteSet(set)), before[i]) << set;
                    break;
                case Left::Changed:
                    EXPECT_NE(Snapshot(SiteSet(set)), before[i]) << set;
                    break;
            }
        }
        EXPECT_EQ(Rows(SiteSet("TGT01"), "select ZTVersion from Sys_Accounts"),
                  Texts{c.stamped ? "8.2" : "8.1"});
    }
}

}  // namespace
}  // namespace kestrane::app
