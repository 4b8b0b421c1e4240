// The install run on real embedded installations: a patch built by the maker installs into a site's
// account sets; every way a run can fail leaves the failed account set as it was before the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "db/fault_injection.h"
#include "db/recording_driver.h"
#include "install_fixture.h"
#include "platform/resources.h"
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
        bool logWritten = true;        // the run's section in the upgrade log
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
        {"the free disk cannot be read",
         [this](TManager& m) {
             m.ParamInfo().NeedFreeDiskMB = 100;
             system_.DiskError = "无法读取“/”的磁盘空间：Input/output error";
             return Fault();
         },
         patch::rfFailed,
         {"补丁升级【失败】，详细信息如下：“无法读取“/”的磁盘空间：Input/output error”"},
         Left::AsBefore,
         Left::AsBefore,
         false},
        {"the free memory cannot be read",
         [this](TManager& m) {
             m.ParamInfo().NeedFreeMemMB = 100;
             system_.MemoryError = "无法读取“/proc/meminfo”：Permission denied";
             return Fault();
         },
         patch::rfFailed,
         {"补丁升级【失败】，详细信息如下：“无法读取“/proc/meminfo”：Permission denied”"},
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
        {"the upgrade log cannot be written",
         [this](TManager&) {
             fs::create_directories(Site() + "PatchLog.log");
             return Fault();
         },
         patch::rfCompleted | patch::rfReminders,
         {"提醒：升级日志“" + Site() + "PatchLog.log”写入失败，详细信息如下："},
         Left::Upgraded,
         Left::Upgraded,
         true,
         nullptr,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove_all(Site(), ignored);
        MakeSite();
        system_ = FakeSystem();
        system_.WatcherInstalled = system_.WatcherRunning = true;
        ui_ = TScriptedInteraction();
        const Texts before[] = {Snapshot(SiteSet("TGT01")), Snapshot(SiteSet("TGT02"))};
        auto installer = NewInstaller(patchFile);
        {
            const Fault fault = c.arrange(*installer);
            installer->Install();
        }
        const Texts& log = installer->FullLog();
        EXPECT_EQ(installer->ParamInfo().ResultFlags, c.flags) << support::JoinLines(log);
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(Has(log, line)) << line << "\n" << support::JoinLines(log);
            // Reminders are for the user too.
            if (line.rfind("提醒：", 0) == 0) {
                EXPECT_TRUE(Has(installer->DetailLog(), line)) << line;
            }
        }
        if (c.logWritten) {
            EXPECT_NE(PatchLog().find(c.lines.back()), std::string::npos);
        }
        // However the run ends, the watcher stopped for it runs again.
        EXPECT_TRUE(system_.WatcherRunning);
        EXPECT_EQ(system_.WatcherCalls.back(), "start");
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

TEST_F(InstallRunTest, ProcedureOfAServerPatchIsLeftOutOfEmbeddedAccountSetsWithAReminder) {
    const std::string patchFile = BuildPatch(patch::ptBoth, [](TManager& m) {
        UsualContent(m);
        Node(m, patch::pntView, "P_Tidy", "create procedure P_Tidy as update BD_Customer set Name = Name")
            .Reservs = "procedure";
    });
    MakeSite();
    auto installer = NewInstaller(patchFile);
    ASSERT_TRUE(installer->Install());
    const Texts& log = installer->FullLog();
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfCompleted | patch::rfReminders)
        << support::JoinLines(log);
    for (const char* set : {"目标账套1", "目标账套2"}) {
        const std::string reminder =
            std::string("提醒：嵌入式账套“") + set + "”不支持存储过程，已跳过“P_Tidy”";
        EXPECT_TRUE(Has(log, reminder)) << support::JoinLines(log);
        EXPECT_TRUE(Has(installer->DetailLog(), reminder));
    }
    EXPECT_FALSE(Has(log, "P_Tidy”信息"));
    EXPECT_NE(PatchLog().find("已跳过“P_Tidy”"), std::string::npos);
    ExpectUpgraded("TGT01", "1");
    ExpectUpgraded("TGT02", "2");
}

TEST_F(InstallRunTest, AccountSetContentWithoutItsDataIsAFailedRunThatChangedNothing) {
    const std::string patchFile = UsualPatch(patch::ptInstance);
    MakeSite();
    const Texts before = Snapshot(SiteSet("TGT01"));
    auto installer = NewInstaller(patchFile, {"TGT01"});
    patch::TResCollection& files = installer->ResItems();
    files.Destroy(*files.FindByName("Update.mdb"));
    EXPECT_FALSE(installer->Install());
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfFailed);
    EXPECT_TRUE(Has(installer->FullLog(),
                    "升级账套数据【失败】，详细失败信息为“无法查找到文件：" + Site() + "Update.mdb”"));
    EXPECT_EQ(Snapshot(SiteSet("TGT01")), before);
    EXPECT_FALSE(installer->VersionsStamped());
}

TEST_F(InstallRunTest, BackupsOfOneNameInOneMinuteAreKeptApart) {
    const std::string patchFile = UsualPatch(patch::ptInstance);
    MakeSite();
    auto installer = NewInstaller(patchFile);
    installer->ParamInfo().Instances[1].AccountName = "目标账套1";
    ASSERT_TRUE(installer->Install());
    const std::string second = Site() + "BackUp/EMBEDDED/目标账套12010-05-20 1440(2).mdb";
    EXPECT_EQ(installer->AccountSetResults()[0].BackupFile, BackupOf("目标账套1"));
    EXPECT_EQ(installer->AccountSetResults()[1].BackupFile, second);
    EXPECT_EQ(Rows(BackupOf("目标账套1"), "select InstanceID from Sys_Accounts"),
              Texts{"{11111111-2222-3333-4444-555555555551}"});
    EXPECT_EQ(Rows(second, "select InstanceID from Sys_Accounts"),
              Texts{"{11111111-2222-3333-4444-555555555552}"});
}

// A table new to the site is made in every account set: in the second one of a run after the first got
// the side table of column definitions, and by a later patch where an earlier one left that table.
TEST_F(InstallRunTest, TableNewToTheSiteIsMadeInEveryAccountSetByEveryPatch) {
    bool siteMade = false;
    for (const std::string table : {"BD_New1", "BD_New2"}) {
        SCOPED_TRACE(table);
        const std::string patchFile = BuildPatch(patch::ptInstance, [&](TManager& m) {
            testing::ExecAll(Dir() + "maker/sets/SRC.mdb", {"create table " + table + " (K varchar(10))",
                                                            "insert into " + table + " values ('new')"});
            Node(m, patch::pntTable, table);
        });
        if (!siteMade) MakeSite();
        siteMade = true;
        NameInstallation(Site());
        auto installer = NewInstaller(patchFile);
        EXPECT_TRUE(installer->Install()) << support::JoinLines(installer->FullLog());
        for (const char* set : {"TGT01", "TGT02"})
            EXPECT_EQ(Rows(SiteSet(set), "select K from " + table), Texts{"new"}) << set;
    }
}

// Part of a patch is no patch: the installer offers nothing to install.
TEST_F(InstallRunTest, PatchWhoseContentDidNotReadCompletelyOffersNoInstall) {
    const std::string patchFile = UsualPatch();
    MakeSite();
    for (const char* part : {"FILEDATA", "INSTDATA"}) {
        SCOPED_TRACE(part);
        const std::string torn = Dir() + "out/" + part + ".exe";
        fs::copy_file(patchFile, torn, fs::copy_options::overwrite_existing);
        platform::ResourceBytes bytes = platform::ResourceFile::Open(torn)->ReadRcData(part);
        bytes.resize(bytes.size() / 2);
        platform::UpdateRcData(torn, {{part, bytes}});
        ui_ = TScriptedInteraction();
        TManager installer(ui_, torn, "", &system_);
        EXPECT_EQ(installer.ParamInfo().PatchType, patch::ptNone);
        EXPECT_EQ(installer.PageCount(), 0);
        EXPECT_EQ(installer.ResItems().Count(), 0u);
        EXPECT_EQ(installer.InstResItems().Count(), 0u);
        ASSERT_EQ(ui_.Texts(Kind::Notice).size(), 1u);
        EXPECT_EQ(ui_.Texts(Kind::Notice)[0].rfind("文件内容不正确，无法打开\r\n详细错误信息：", 0), 0u);
    }
}

// Account sets on SQL Server and Oracle, their statements recorded; the Oracle utilities are stand-ins
// on PATH that say what they were called with.
class ServerInstallTest : public InstallRunTest {
  protected:
    void SetUp() override {
        InstallRunTest::SetUp();
        patchFile_ = UsualPatch();
        MakeSite();
        const std::string bin = Sub("bin");
        for (const char* tool : {"exp", "imp"}) {
            const std::string upper = tool == std::string("exp") ? "EXP" : "IMP";
            PutText(std::string("bin/") + tool,
                    "#!/bin/sh\nfor a in \"$@\"; do case \"$a\" in file=*) f=\"${a#file=}\";; log=*) "
                    "l=\"${a#log=}\";; "
                    "esac; done\nf=\"${f#\\'}\"; f=\"${f%\\'}\"; l=\"${l#\\'}\"; l=\"${l%\\'}\"\necho \"$0 "
                    "$*\" >> " +
                        Dir() + "calls.txt\nsleep 0.2\n[ \"${" + upper + "_STATUS:-0}\" = 0 ] && [ " + tool +
                        " = exp ] && echo dump > \"$f\"\necho log > \"$l\"\nexit ${" + upper +
                        "_STATUS:-0}\n");
            fs::permissions(bin + "/" + tool, fs::perms::owner_all);
        }
        path_ = std::make_unique<testing::EnvGuard>("PATH", bin + ":" + std::getenv("PATH"));
    }

    // The installer with one account set on `server`, the site's own ones left alone.
    std::unique_ptr<TManager> ServerInstaller(const support::TDBInfoRec& server, const std::string& dbName,
                                              const std::string& accountName = "O'Brien账套") {
        auto installer = NewInstaller(patchFile_, {});
        support::TInstanceRec inst;
        inst.DBName = dbName;
        inst.AccountName = accountName;
        inst.Version = "8.1";
        inst.DBInfo = server;
        inst.Selected = true;
        installer->ParamInfo().Instances.push_back(inst);
        return installer;
    }
    static std::size_t IndexOf(const Texts& statements, const std::string& text) {
        return static_cast<std::size_t>(std::find(statements.begin(), statements.end(), text) -
                                        statements.begin());
    }

    std::string patchFile_;
    std::unique_ptr<testing::EnvGuard> path_;
    std::shared_ptr<db::RecordingDatabase> db_ = std::make_shared<db::RecordingDatabase>();
};

const support::TDBInfoRec kSqlServer{support::dbtMsSql, false, "SRV", 1433, "", "sa", "pw"};
const support::TDBInfoRec kOracle{support::dbtOracle, false, "dbhost", 1521, "ORCL", "", "pw"};

TEST_F(ServerInstallTest, SqlServerAccountSetIsBackedUpFirstAndGetsItsOwnStatements) {
    const db::ScopedDriverOverride server("SQLOLEDB", db::RecordingDriverFactory(db_));
    auto installer = ServerInstaller(kSqlServer, "LUMO01");
    ASSERT_TRUE(installer->Install()) << support::JoinLines(installer->FullLog());
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfCompleted);

    const Texts s = db_->Statements();
    ASSERT_FALSE(s.empty());
    // The name of the backup quotes the account set's name; its folder is made beside the product.
    EXPECT_EQ(s[0], "backup database [LUMO01] to disk = '" + Site() +
                        "BackUp/MSSQL/O''Brien账套2010-05-20 1440.jbk'");
    EXPECT_TRUE(fs::is_directory(Site() + "BackUp/MSSQL"));
    const std::size_t instId =
        IndexOf(s, "update QEL_InstElmnt set InstID = (select top 1 InstanceID from Sys_Accounts)");
    const std::size_t bills = IndexOf(s,
                                      "delete from JC_BillFormat where 1=1  and (RwID in (1429) or BillType "
                                      "in (4,5) and ModelID in (1429) or "
                                      "BillType = 2 and ParentRwID in (1429)) ");
    const std::size_t drop = IndexOf(s,
                                     "if exists(select * from sysobjects where name = 'V_Customer' and type "
                                     "= 'V')\r\ndrop view V_Customer");
    ASSERT_LT(instId, s.size());
    ASSERT_LT(bills, s.size());
    ASSERT_LT(drop, s.size());
    EXPECT_LT(instId, bills);
    EXPECT_LT(bills, drop);
    EXPECT_EQ(s[drop + 1], "create view V_Customer as select ID, Name from BD_Customer where ID > 0");
    EXPECT_LT(IndexOf(s, "delete from BD_Region where 1=1  and 1=0 "), s.size());
    EXPECT_LT(IndexOf(s, "delete from BD_Customer where 1=1  and Region = 'N'"), s.size());
    EXPECT_EQ(s.back(), "update Sys_Accounts set ZTVersion = '8.2'");
}

TEST_F(ServerInstallTest, AccountNameNeverLeadsTheBackupOutOfItsFolder) {
    const db::ScopedDriverOverride server("SQLOLEDB", db::RecordingDriverFactory(db_));
    auto installer = ServerInstaller(kSqlServer, "LUMO01", "../账套\\甲");
    ASSERT_TRUE(installer->Install());
    EXPECT_EQ(db_->Statements().at(0), "backup database [LUMO01] to disk = '" + Site() +
                                           "BackUp/MSSQL/.._账套_甲2010-05-20 1440.jbk'");
}

TEST_F(ServerInstallTest, FailedSqlServerRestoreHandsOverToTheRestoreProgramAndEndsTheInstaller) {
    const db::ScopedDriverOverride server("SQLOLEDB", db::RecordingDriverFactory(db_));
    db_->OnFail("delete from JC_BillFormat", "Deadlock victim", true);
    db_->OnFail("RESTORE", "Exclusive access could not be obtained because the database is in use.", true);
    PutText("site/VUDivodur.exe", "#!/bin/sh\npwd > started.txt\n");
    fs::permissions(Site() + "VUDivodur.exe", fs::perms::owner_all);
    auto installer = ServerInstaller(kSqlServer, "LUMO01");

    EXPECT_FALSE(installer->Install());
    const std::string backup = Site() + "BackUp/MSSQL/O'Brien账套2010-05-20 1440.jbk";
    // The backup lies with the server: the restore is asked for although no such file is here.
    const Texts s = db_->Statements();
    EXPECT_LT(IndexOf(s, "RESTORE database [LUMO01] FROM disk = '" + support::QuotedSqlText(backup) + "'"),
              s.size());
    const Texts& log = installer->FullLog();
    EXPECT_TRUE(Has(
        log,
        "[O'Brien账套]SQL账套还原【失败】，将尝试另起进程进行还原！\r\n    详细信息为：Exclusive access"));
    EXPECT_TRUE(Has(log, "升级工作还原数据库失败，将启动还原程序进行还原！"));
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfFailed);
    EXPECT_EQ(installer->AccountSetResults()[0].Outcome, TAccountSetOutcome::RestoreFailed);
    EXPECT_TRUE(ui_.QuitRequested);

    // The parameter file of the restore program, readable by its owner only, in the product's code page.
    struct stat st {};
    ASSERT_EQ(::stat((Site() + "KV_Param.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777u, 0600u);
    const std::string ini = support::Cp936ToUtf8(testing::Slurp(Site() + "KV_Param.ini"));
    EXPECT_NE(
        ini.find(
            "[DBSection]\r\nServer=SRV\r\nDBName=LUMO01\r\nUser=sa\r\nPsw=pw\r\nIntegrated=0\r\nBackFile=" +
            backup + "\r\n"),
        std::string::npos)
        << ini;
    EXPECT_NE(PatchLog().find("升级工作还原数据库失败，将启动还原程序进行还原！"), std::string::npos);
    // The restore program runs on its own, from the installation folder.
    for (int i = 0; i < 100 && !fs::exists(Site() + "started.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(testing::Slurp(Site() + "started.txt"), fs::path(Site()).parent_path().string() + "\n");
}

TEST_F(ServerInstallTest, RestoreProgramThatCannotBeStartedIsLoggedWithTheReason) {
    const db::ScopedDriverOverride server("SQLOLEDB", db::RecordingDriverFactory(db_));
    db_->OnFail("delete from JC_BillFormat", "Deadlock victim", true);
    db_->OnFail("RESTORE", "Exclusive access could not be obtained because the database is in use.", true);
    auto installer = ServerInstaller(kSqlServer, "LUMO01");

    EXPECT_FALSE(installer->Install());
    EXPECT_TRUE(Has(installer->FullLog(), "执行失败：" + Site() + "VUDivodur.exe " + std::strerror(ENOENT)))
        << support::JoinLines(installer->FullLog());
    EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfFailed);
    EXPECT_TRUE(ui_.QuitRequested);
}

TEST_F(ServerInstallTest, OracleBackupIsWaitedForAndAFailedExportSkipsTheAccountSet) {
    const db::ScopedDriverOverride server("OraOLEDB", db::RecordingDriverFactory(db_));
    // The utilities read their file names between single quotes: the name's quote is left out.
    const std::string dump = Site() + "BackUp/ORACLE/O_Brien账套2010-05-20 1440.dmp";
    {
        const testing::EnvGuard failing("EXP_STATUS", "3");
        auto installer = ServerInstaller(kOracle, "LUMO02");
        EXPECT_FALSE(installer->Install());
        EXPECT_EQ(installer->ParamInfo().ResultFlags, patch::rfFailed);
        EXPECT_TRUE(Has(installer->FullLog(), "备份账套[O'Brien账套]出错，详细信息如下："));
        EXPECT_TRUE(
            Has(installer->FullLog(), "升级账套数据【失败】，详细失败信息为“备份账套[O'Brien账套]出错"));
        EXPECT_EQ(installer->AccountSetResults()[0].Outcome, TAccountSetOutcome::BackupFailed);
        EXPECT_EQ(db_->Statements(), Texts{});
    }
    EXPECT_EQ(testing::Slurp(Dir() + "calls.txt"),
              Dir() + "bin/exp LUMO02/pw@ORCL_dbhost owner=LUMO02 file='" + dump + "' log='" + Site() +
                  "BackUp/ORACLE/O_Brien账套2010-05-20 1440.log'\n");

    // With the export done, a failing step is restored by the import, which fails too: the user is told.
    fs::remove(Dir() + "calls.txt");
    db_->OnFail("delete from JC_BillFormat", "ORA-00054: resource busy", true);
    const testing::EnvGuard failing("IMP_STATUS", "1");
    auto installer = ServerInstaller(kOracle, "LUMO02");
    bool dumpedBeforeUpgrade = false;
    installer->ParamInfo().OnProgress = [&](const void*, patch::TKVParamNodeType, const std::string& m, int,
                                            int) {
        if (m == "正在升级账套[O'Brien账套]的“重构”信息……")
            dumpedBeforeUpgrade = testing::Slurp(dump) == "dump\n";
    };
    EXPECT_FALSE(installer->Install());
    EXPECT_TRUE(dumpedBeforeUpgrade);
    const Texts s = db_->Statements();
    EXPECT_LT(
        IndexOf(s,
                "update QEL_InstElmnt set InstID = (select InstanceID from Sys_Accounts where rownum = 1)"),
        s.size());
    EXPECT_LT(IndexOf(s, "alter system flush shared_pool"), s.size());
    EXPECT_TRUE(
        Has(installer->FullLog(), "[O'Brien账套]账套还原【失败】，请手动进行还原！\r\n    详细信息为："));
    EXPECT_TRUE(Has(ui_.Texts(Kind::Notice), "[O'Brien账套]账套还原【失败】，请手动进行还原！"));
    EXPECT_EQ(installer->AccountSetResults()[0].Outcome, TAccountSetOutcome::RestoreFailed);
    const Texts calls = support::SplitLines(testing::Slurp(Dir() + "calls.txt"));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], Dir() + "bin/imp LUMO02/pw@ORCL_dbhost file='" + dump + "' log='" + Site() +
                            "BackUp/ORACLE/O_Brien账套2010-05-20 1440.log' full=y ignore=y");
}

}  // namespace
}  // namespace kestrane::app
