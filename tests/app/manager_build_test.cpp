#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/manager.h"
#include "manager_fixture.h"
#include "patch/texts.h"
#include "platform/file_system.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class ManagerBuildTest : public ManagerFixture {
  protected:
    void SetUp() override {
        ManagerFixture::SetUp();
        FreshMaker();
    }

    // A maker with a patch of both kinds: three files, one bill node.
    void FreshMaker() {
        progress_.clear();
        onProgress_ = nullptr;
        maker_ = std::make_unique<TManager>(ui_, MakeExe("Kestrane.exe"));
        auto& params = maker_->ParamInfo();
        params.PatchType = patch::ptBoth;
        params.NotCheckVersion = true;
        params.NeedFreeMemMB = 64;
        params.NeedFreeDiskMB = 512;
        params.PatchFileName = Path("out/Patch.exe");
        fs::create_directories(Path("out"));
        params.OnProgress = [this](const void* sender, patch::TKVParamNodeType type, const std::string& msg,
                                   int pos, int max) {
            EXPECT_EQ(sender, maker_.get());
            EXPECT_EQ(type, patch::pntOther);
            progress_.push_back(msg + " " + std::to_string(pos) + "/" + std::to_string(max));
            if (onProgress_) onProgress_();
        };
        auto& files = maker_->ResItems();
        files.AddFile(WriteFile("src/LumoClient.exe", "client bytes"));
        files.AddFile(WriteFile("src/readme.txt", "说明"));
        files.AddFile(WriteFile("src/Update.upf.xml", "<version/>")).OptType = patch::otVersion;
        auto& bill = *maker_->InstResItems().FindByNodeType(patch::pntBill);
        bill.Create<patch::TNodeItem>().Tag = "BILL_01";
    }

    // The RCDATA names the patch file carries.
    Names ResourcesOf(const std::string& path) const {
        Names names;
        for (const auto& r : platform::ResourceFile::Open(path)->List()) names.push_back(r.name);
        return names;
    }

    std::unique_ptr<TManager> maker_;
    Names progress_;
    std::function<void()> onProgress_;
};

TEST_F(ManagerBuildTest, WrittenPatchOpensAsInstallerWithItsThreeResources) {
    ASSERT_TRUE(maker_->WritePatchExecutable());
    const std::string patchFile = Path("out/Patch.exe");
    // 3 files, 10 account-set items.
    EXPECT_EQ(progress_, (Names{"正在将升级文件压缩生成补丁…… 0/13", "正在将账套设置信息生成补丁…… 3/13",
                                "已完成文件与信息压缩 13/13"}));
    EXPECT_EQ(ResourcesOf(patchFile), (Names{"PARAMDATA", "FILEDATA", "INSTDATA"}));
    // The patch is the program itself with the resources behind it.
    const auto bytes = platform::ReadFileBytes(patchFile);
    const std::string head = "MZ stand-in program\n";
    ASSERT_GT(bytes.size(), head.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(head.size())), head);

    TScriptedInteraction installerUi;
    TManager installer(installerUi, patchFile);
    EXPECT_TRUE(installerUi.Calls.empty());
    EXPECT_TRUE(installer.FullLog().empty());
    const auto& params = installer.ParamInfo();
    EXPECT_EQ(params.RunMode, 1);
    EXPECT_EQ(params.PatchType, patch::ptBoth);
    EXPECT_TRUE(params.NotCheckVersion);
    EXPECT_FALSE(params.NotUpdateVersion);
    EXPECT_EQ(params.NeedFreeMemMB, 64);
    EXPECT_EQ(params.NeedFreeDiskMB, 512);
    EXPECT_EQ(installer.PageCount(), 7);
    ASSERT_EQ(installer.ResItems().Count(), 3u);
    EXPECT_EQ(installer.ResItems().Item(0).Name, "LumoClient.exe");
    const std::string client = "client bytes";
    EXPECT_EQ(installer.ResItems().Item(0).MemStream, support::Bytes(client.begin(), client.end()));
    EXPECT_EQ(installer.ResItems().Item(2).OptType, patch::otVersion);
    EXPECT_TRUE(installer.PatchVersion().Loaded());
    ASSERT_EQ(installer.InstResItems().Count(), 10u);
    const auto* bill = installer.InstResItems().FindByNodeType(patch::pntBill);
    ASSERT_NE(bill, nullptr);
    ASSERT_EQ(bill->NodeCount(), 1u);
    EXPECT_EQ(bill->Node(0).Tag, "BILL_01");
}

TEST_F(ManagerBuildTest, RewritingAPatchReplacesItsResources) {
    ASSERT_TRUE(maker_->WritePatchExecutable());
    maker_->ResItems().ClearItems();
    maker_->ParamInfo().PatchType = patch::ptInstance;
    ASSERT_TRUE(maker_->WritePatchExecutable());
    EXPECT_EQ(ResourcesOf(Path("out/Patch.exe")), (Names{"PARAMDATA", "FILEDATA", "INSTDATA"}));
    TManager installer(ui_, Path("out/Patch.exe"));
    EXPECT_EQ(installer.ParamInfo().PatchType, patch::ptInstance);
    EXPECT_EQ(installer.ResItems().Count(), 0u);
}

// A failed build leaves no half-written patch: an older patch file stays as it was, and nothing of the
// attempt is left beside it.
TEST_F(ManagerBuildTest, FailuresNameTheStepAndLeaveAnOlderPatchAsItWas) {
    const std::string patchFile = Path("out/Patch.exe");
    const struct Case {
        std::string name;
        std::function<void(TManager&)> spoil;
        std::string message;
        std::size_t reports;
    } cases[] = {
        // Copying the program onto itself would destroy it.
        {"patch is the program", [](TManager& m) { m.ParamInfo().PatchFileName = m.ExePath(); },
         "生成补丁程序出错：" + Path("Kestrane.exe"), 0},
        {"folder missing", [&](TManager& m) { m.ParamInfo().PatchFileName = Path("nowhere/Patch.exe"); },
         "生成补丁程序出错：" + Path("nowhere/Patch.exe"), 0},
        {"program files",
         [](TManager& m) { m.ResItems().Item(1).OptType = static_cast<patch::TKVOperateType>(9); },
         "更新资源文件[FILEDATA]出错", 1},
        {"account-set items",
         [](TManager& m) {
             m.InstResItems().FindByNodeType(patch::pntBill)->Node(0).TableType =
                 static_cast<patch::TKVTableType>(5);
         },
         "更新资源文件[INSTDATA]出错", 2},
        {"progress display",
         [this](TManager&) {
             onProgress_ = [this] {
                 if (progress_.size() == 2) throw std::runtime_error("display gone");
             };
         },
         "display gone", 2},
        // The half-made patch beside the target disappears before the resources are stored.
        {"pending file gone",
         [this](TManager&) {
             onProgress_ = [this] {
                 if (progress_.size() != 1) return;
                 for (const auto& entry : fs::directory_iterator(Path("out")))
                     if (entry.path().filename() != "Patch.exe") fs::remove(entry.path());
             };
         },
         "保存资源文件出错", 3},
    };
    const std::string older = "older patch";
    for (const Case& c : cases) {
        for (const bool olderPatch : {false, true}) {
            SCOPED_TRACE(c.name + (olderPatch ? " over an older patch" : ""));
            fs::remove_all(Path("out"));
            FreshMaker();
            if (olderPatch) WriteFile("out/Patch.exe", older);
            c.spoil(*maker_);
            try {
                maker_->WritePatchExecutable();
                ADD_FAILURE() << "no failure";
            } catch (const std::exception& e) {
                EXPECT_EQ(std::string(e.what()), c.message);
            }
            EXPECT_EQ(progress_.size(), c.reports);
            if (olderPatch)
                EXPECT_EQ(platform::ReadFileBytes(patchFile), support::Bytes(older.begin(), older.end()));
            else
                EXPECT_FALSE(fs::exists(patchFile));
            if (fs::exists(Path("out"))) {
                Names left;
                for (const auto& entry : fs::directory_iterator(Path("out")))
                    left.push_back(entry.path().filename().string());
                EXPECT_EQ(left, olderPatch ? Names{"Patch.exe"} : Names{});
            }
            EXPECT_TRUE(ResourcesOf(maker_->ExePath()).empty());
            EXPECT_EQ(platform::ReadFileBytes(maker_->ExePath()).size(), 20u);
        }
    }
}

TEST_F(ManagerBuildTest, WrittenPatchKeepsTheProgramsPermissions) {
    fs::permissions(maker_->ExePath(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    ASSERT_TRUE(maker_->WritePatchExecutable());
    EXPECT_EQ(fs::status(Path("out/Patch.exe")).permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

TEST_F(ManagerBuildTest, ResourcesOfAFileThatCannotBeUpdated) {
    EXPECT_FALSE(maker_->WritePatchResources(Path("missing.exe")));
    // A damaged archive cannot be kept, so it is not updated either.
    // An end record naming one entry whose directory lies beyond the end of the file.
    const char endRecord[] = "PK\x05\x06\0\0\0\0\x01\0\x01\0\x2e\0\0\0\0\xff\xff\x7f\0\0";
    EXPECT_FALSE(maker_->WritePatchResources(
        WriteFile("damaged.exe", "MZ program" + std::string(endRecord, sizeof endRecord - 1))));
    EXPECT_TRUE(progress_.empty());
}

TEST_F(ManagerBuildTest, BuildAsksBeforeOverwriting) {
    maker_->ParamInfo().PatchType = patch::ptProgram;
    const std::string patchFile = WriteFile("out/Patch.exe", "older patch");
    ui_.Answers = {false};
    EXPECT_FALSE(maker_->Build());
    ASSERT_EQ(ui_.Calls.size(), 1u);
    EXPECT_EQ(ui_.Calls[0].kind, TScriptedInteraction::Kind::Confirm);
    EXPECT_EQ(ui_.Calls[0].caption, "确认信息");
    EXPECT_EQ(ui_.Calls[0].text, "已经存在相同名称的补丁，确定覆盖吗？");
    EXPECT_EQ(ui_.Calls[0].owner, TBoxOwner::CurrentPage);
    EXPECT_EQ(platform::ReadFileBytes(patchFile),
              (std::vector<std::uint8_t>{'o', 'l', 'd', 'e', 'r', ' ', 'p', 'a', 't', 'c', 'h'}));
    EXPECT_TRUE(progress_.empty());

    ui_.Answers = {true};
    EXPECT_TRUE(maker_->Build());
    EXPECT_EQ(ResourcesOf(patchFile), (Names{"PARAMDATA", "FILEDATA", "INSTDATA"}));

    // No question when there is nothing to overwrite.
    ui_.Calls.clear();
    fs::remove(patchFile);
    EXPECT_TRUE(maker_->Build());
    EXPECT_TRUE(ui_.Calls.empty());
}

}  // namespace
}  // namespace kestrane::app
