#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/manager.h"
#include "common/expect_error.h"
#include "fake_system.h"
#include "manager_fixture.h"
#include "patch/component_stream.h"

namespace kestrane::app {
namespace {

using Texts = std::vector<std::string>;
using Kind = TScriptedInteraction::Kind;
using testing::FailsWith;
constexpr std::uint64_t MB = 1024 * 1024;

class ManagerChecks : public ManagerFixture {
  protected:
    // An installer whose patch carries the parameters alone.
    TManager& Installer(const patch::TBaseParamInfo& params = {}) {
        const std::string exe = MakeExe("Patch.exe", {{"PARAMDATA", patch::WriteObjectStream(params)}});
        manager_ = std::make_unique<TManager>(ui_, exe, std::string{}, &system_);
        ui_.Calls.clear();
        manager_->FullLog().clear();
        manager_->DetailLog().clear();
        return *manager_;
    }
    Texts Notices() const { return ui_.Texts(Kind::Notice); }
    Texts Questions() const { return ui_.Texts(Kind::Confirm); }

    FakeSystem system_;
    std::unique_ptr<TManager> manager_;
};

TEST_F(ManagerChecks, FreeMemoryMustExceedTheRequirement) {
    const std::string shortage = "当前内存空间不足【100】MB，请关闭其它软件，以获取得到足够的空间！";
    struct Case {
        int required;
        std::uint64_t available;
        bool ok;
        int queries;
    };
    const Case cases[] = {
        {0, 0, true, 0},          {-5, 0, true, 0}, {100, 100 * MB, false, 1}, {100, 100 * MB + 1, true, 1},
        {100, 20 * MB, false, 1},
    };
    TManager& m = Installer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.required);
        system_.MemoryBytes = c.available;
        system_.MemoryQueries = 0;
        ui_.Calls.clear();
        m.FullLog().clear();
        EXPECT_EQ(m.CheckFreeMemory(c.required, true), c.ok);
        EXPECT_EQ(system_.MemoryQueries, c.queries);
        EXPECT_EQ(Notices(), c.ok ? Texts{} : Texts{shortage});
        EXPECT_EQ(m.FullLog(), c.ok ? Texts{} : Texts{"提醒：" + shortage});
    }
    // At the installer's start the shortage is raised instead; nothing is shown or logged.
    system_.MemoryBytes = 20 * MB;
    ui_.Calls.clear();
    m.FullLog().clear();
    EXPECT_TRUE(FailsWith<std::runtime_error>([&] { m.CheckFreeMemory(100, false); }, shortage));
    EXPECT_TRUE(ui_.Calls.empty());
    EXPECT_TRUE(m.FullLog().empty());
}

TEST_F(ManagerChecks, TheInstallerDoesNotStartWithTooLittleMemory) {
    patch::TBaseParamInfo params;
    params.NeedFreeMemMB = 100;
    system_.MemoryBytes = 99 * MB;
    EXPECT_TRUE(FailsWith<std::runtime_error>(
        [&] { Installer(params); }, "当前内存空间不足【100】MB，请关闭其它软件，以获取得到足够的空间！"));
    system_.MemoryBytes = 101 * MB;
    EXPECT_EQ(Installer(params).ParamInfo().NeedFreeMemMB, 100);
}

TEST_F(ManagerChecks, FreeDiskMustExceedTheRequirementOnTheDrive) {
    TManager& m = Installer();
    system_.DiskBytes = 500 * MB;
    EXPECT_TRUE(m.CheckFreeDisk("/home", 0, true));
    EXPECT_TRUE(system_.DiskQueries.empty());
    EXPECT_TRUE(m.CheckFreeDisk("/home", 499, true));
    EXPECT_FALSE(m.CheckFreeDisk("/home", 500, false));
    EXPECT_TRUE(ui_.Calls.empty());
    EXPECT_FALSE(m.CheckFreeDisk("/home", 500, true));
    const std::string shortage = "/home盘的磁盘空间不足【500】MB，请清理磁盘，以获取得到足够的空间！";
    EXPECT_EQ(Notices(), Texts{shortage});
    EXPECT_EQ(m.FullLog(), Texts{"提醒：" + shortage});
    EXPECT_EQ(m.DetailLog(), Texts{"提醒：" + shortage});
    EXPECT_EQ(system_.DiskQueries, (Texts{"/home", "/home", "/home"}));
}

TEST_F(ManagerChecks, DiskOfTheInstallationFolderFirstThenMemory) {
    TManager& m = Installer();
    auto& params = m.ParamInfo();
    params.InstallPath = "/opt/Lumo/";
    params.NeedFreeDiskMB = 200;
    params.NeedFreeMemMB = 64;
    system_.Drive = "/opt";
    system_.DiskBytes = 100 * MB;
    EXPECT_FALSE(m.CheckDiskAndMemory());
    EXPECT_EQ(system_.DriveQueries, Texts{"/opt/Lumo/"});
    EXPECT_EQ(system_.DiskQueries, Texts{"/opt"});
    EXPECT_EQ(system_.MemoryQueries, 0);

    system_.DiskBytes = 300 * MB;
    system_.MemoryBytes = 10 * MB;
    EXPECT_FALSE(m.CheckDiskAndMemory());
    EXPECT_EQ(system_.MemoryQueries, 1);
    system_.MemoryBytes = 65 * MB;
    EXPECT_TRUE(m.CheckDiskAndMemory());

    // No disk requirement: the drive is not even looked up. No installation folder: the program's.
    params.NeedFreeDiskMB = 0;
    system_.DriveQueries.clear();
    EXPECT_TRUE(m.CheckDiskAndMemory());
    EXPECT_TRUE(system_.DriveQueries.empty());
    params.NeedFreeDiskMB = 1;
    params.InstallPath.clear();
    EXPECT_TRUE(m.CheckDiskAndMemory());
    EXPECT_EQ(system_.DriveQueries, Texts{params.ProgramDir});
}

TEST_F(ManagerChecks, RunningProgramsAreClosedAfterTheQuestion) {
    system_.Processes = {{"lumoclient.EXE", 10}, {"Fenwupd.exe", 11}, {"LumoClient.exe", 12}, {"other", 13}};
    TManager& m = Installer();
    const std::string question =
        "【Lumo客户端程序，Lumo升级客户端程序】正在运行，需要退出该程序才能升级该补丁！\r\n点击【确定】强行关"
        "闭程序"
        "并升级，点击【取消】退出升级";

    ui_.Answers = {false};
    EXPECT_FALSE(m.CloseRunningPrograms());
    EXPECT_EQ(Questions(), Texts{question});
    EXPECT_EQ(ui_.Calls[0].owner, TBoxOwner::None);
    EXPECT_TRUE(system_.Terminated.empty());

    ui_.Calls.clear();
    EXPECT_TRUE(m.CloseRunningPrograms());
    // The first process found of a name is the one ended.
    EXPECT_EQ(system_.Terminated, (std::vector<platform::ProcessId>{10, 11}));
    EXPECT_TRUE(Notices().empty());

    system_.Terminated.clear();
    system_.Unkillable = {{10, "Operation not permitted"}, {11, "Permission denied"}};
    EXPECT_FALSE(m.CloseRunningPrograms());
    EXPECT_EQ(system_.Terminated, (std::vector<platform::ProcessId>{10, 11}));
    EXPECT_EQ(Notices(),
              Texts{"\r\n无法关闭【Lumo客户端程序】，详细信息如下：\r\n    Operation not permitted"
                    "\r\n无法关闭【Lumo升级客户端程序】，详细信息如下：\r\n    Permission denied"});

    system_.Processes = {{"other", 13}};
    ui_.Calls.clear();
    EXPECT_TRUE(m.CloseRunningPrograms());
    EXPECT_TRUE(ui_.Calls.empty());
}

TEST_F(ManagerChecks, AProgramListedWithoutDescriptionIsStillAskedAbout) {
    patch::TBaseParamInfo params;
    params.SetNeedCloseFileNames("Tool.exe, Helper.exe-助手");
    system_.Processes = {{"tool.exe", 5}};
    TManager& m = Installer(params);
    ui_.Answers = {true};
    EXPECT_TRUE(m.CloseRunningPrograms());
    EXPECT_EQ(Questions(),
              Texts{"【】正在运行，需要退出该程序才能升级该补丁！\r\n点击【确定】强行关闭程序并升级，点击【"
                    "取消】退出升级"});
    EXPECT_EQ(system_.Terminated, (std::vector<platform::ProcessId>{5}));
}

TEST_F(ManagerChecks, StartupChecksCloseProgramsOfTheInstallerOnly) {
    system_.Processes = {{"LumoSysMng.exe", 21}};
    TManager& m = Installer();
    ui_.Answers = {false};
    EXPECT_FALSE(m.StartupChecks());
    EXPECT_EQ(Questions().size(), 1u);
    ui_.Answers = {true};
    EXPECT_TRUE(m.StartupChecks());
    EXPECT_EQ(system_.Terminated, (std::vector<platform::ProcessId>{21}));

    TManager maker(ui_, MakeExe("Kestrane.exe"), {}, &system_);
    ui_.Calls.clear();
    EXPECT_TRUE(maker.StartupChecks());
    EXPECT_TRUE(ui_.Calls.empty());
}

}  // namespace
}  // namespace kestrane::app
