#include "app/patch_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "patch/component_stream.h"
#include "platform/resources.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using patch::TBaseParamInfo;
using patch::TInstResCollection;
using patch::TResCollection;

const std::string kFailure = "文件内容不正确，无法打开\r\n详细错误信息：";

class PatchLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        patch::RegisterStreamClasses();
        dir_ = folder_.Root();
    }

    // A stand-in executable with the given resources appended.
    std::string MakeExe(const std::string& name,
                        const std::vector<std::pair<std::string, support::Bytes>>& res) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << "MZ stand-in program";
        if (!res.empty()) platform::UpdateRcData(path, res);
        return path;
    }

    // PARAMDATA without RegInstallPath, FILEDATA with two files, INSTDATA with a bill and a view item.
    std::vector<std::pair<std::string, support::Bytes>> PatchResources() {
        TBaseParamInfo params;
        params.RegInstallPath.clear();
        params.NeedFreeDiskMB = 300;
        params.NotBackup = true;
        TResCollection files;
        files.PatchType = patch::ptBoth;
        files.Description = "两个文件";
        for (const char* n : {"a.exe", "b.dll"}) {
            auto& item = files.Create<patch::TResItem>();
            item.Name = n;
            item.MemStream = {'x', 'y'};
        }
        TInstResCollection items;
        items.ClearItems();
        items.Create<patch::TInstViewResItem>().Create<patch::TNodeScriptItem>().Tag = "V_A";
        items.Create<patch::TInstBillResItem>();
        return {{"PARAMDATA", patch::WriteObjectStream(params)},
                {"FILEDATA", patch::WriteObjectStream(files)},
                {"INSTDATA", patch::WriteObjectStream(items)}};
    }

    bool Load(const std::string& source, int parts, bool showErrors, const std::string& running = {}) {
        return LoadPatchResources(source, parts, showErrors, {params_, files_, items_},
                                  {[this](const std::string& t) { shown_.push_back(t); },
                                   [this](const std::string& t) { logged_.push_back(t); }},
                                  running);
    }

    kestrane::testing::TempFolder folder_;
    fs::path dir_;
    TBaseParamInfo params_;
    TResCollection files_;
    TInstResCollection items_;
    std::vector<std::string> shown_, logged_;
};

TEST_F(PatchLoaderTest, ReadsAllThreeAndReplacesTheCollections) {
    const std::string exe = MakeExe("Patch.exe", PatchResources());
    files_.Description = "old";
    files_.Create<patch::TResItem>().Name = "old.exe";
    params_.RegInstallPath = "Software\\Kept";

    ASSERT_TRUE(Load(exe, kPatchPartParamData | kPatchPartFileData | kPatchPartInstData, true));
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(logged_.empty());
    EXPECT_EQ(params_.PatchFileName, exe);
    EXPECT_EQ(params_.RegInstallPath, "Software\\Kept");  // not in the stream: kept
    EXPECT_EQ(params_.NeedFreeDiskMB, 300);
    EXPECT_TRUE(params_.NotBackup);
    EXPECT_EQ(files_.PatchType, patch::ptBoth);
    EXPECT_EQ(files_.Description, "两个文件");
    ASSERT_EQ(files_.Count(), 2u);
    EXPECT_EQ(files_.Item(0).Name, "a.exe");
    EXPECT_EQ(files_.Item(1).MemStream, (support::Bytes{'x', 'y'}));
    // The ten default items are gone; the stream's items stand in stream order.
    ASSERT_EQ(items_.Count(), 2u);
    EXPECT_EQ(items_.Item(0).ClassName(), "TInstViewResItem");
    EXPECT_EQ(items_.Item(0).Node(0).Tag, "V_A");
    EXPECT_EQ(items_.Item(1).ClassName(), "TInstBillResItem");
}

TEST_F(PatchLoaderTest, OnlySelectedPartsAreTouched) {
    const std::string exe = MakeExe("Patch.exe", PatchResources());
    files_.Create<patch::TResItem>();
    ASSERT_TRUE(Load(exe, kPatchPartParamData, false));
    EXPECT_EQ(params_.NeedFreeDiskMB, 300);
    EXPECT_EQ(files_.Count(), 1u);
    EXPECT_EQ(items_.Count(), 10u);

    ASSERT_TRUE(Load(exe, kPatchPartInstData, false));
    EXPECT_EQ(files_.Count(), 1u);
    EXPECT_EQ(items_.Count(), 2u);
}

TEST_F(PatchLoaderTest, MissingSourceFallsBackToTheRunningExecutable) {
    const std::string running = MakeExe("Installer.exe", PatchResources());
    params_.PatchFileName = "unchanged";
    ASSERT_TRUE(Load((dir_ / "nowhere.exe").string(), kPatchPartFileData, false, running));
    EXPECT_EQ(params_.PatchFileName, "unchanged");
    EXPECT_EQ(files_.Count(), 2u);
}

TEST_F(PatchLoaderTest, FailureGoesToTheSinkChosenByShowErrors) {
    auto res = PatchResources();
    res.pop_back();  // no INSTDATA
    const std::string exe = MakeExe("Patch.exe", res);
    for (bool showErrors : {false, true}) {
        shown_.clear();
        logged_.clear();
        EXPECT_FALSE(Load(exe, kPatchPartParamData | kPatchPartFileData | kPatchPartInstData, showErrors));
        const std::vector<std::string> expected{kFailure + "Resource INSTDATA not found"};
        EXPECT_EQ(showErrors ? shown_ : logged_, expected);
        EXPECT_TRUE((showErrors ? logged_ : shown_).empty());
        // What was read before the failure stays; the failed collection was emptied first.
        EXPECT_EQ(files_.Count(), 2u);
        EXPECT_EQ(items_.Count(), 0u);
    }
}

TEST_F(PatchLoaderTest, DamagedStreamKeepsItemsReadSoFar) {
    auto res = PatchResources();
    auto& fileData = res[1].second;
    fileData.resize(fileData.size() - 20);  // cut inside the second item
    const std::string exe = MakeExe("Patch.exe", res);
    EXPECT_FALSE(Load(exe, kPatchPartFileData, false));
    EXPECT_EQ(logged_, std::vector<std::string>{kFailure + "Stream read error"});
    EXPECT_EQ(files_.Count(), 2u);
    EXPECT_EQ(files_.Item(0).Name, "a.exe");
}

TEST_F(PatchLoaderTest, FileWithoutResourcesFails) {
    const std::string exe = MakeExe("Plain.exe", {});
    EXPECT_FALSE(Load(exe, kPatchPartParamData, false));
    ASSERT_EQ(logged_.size(), 1u);
    EXPECT_EQ(logged_[0], kFailure + "Resource PARAMDATA not found");
    EXPECT_EQ(params_.PatchFileName, exe);
}

}  // namespace
}  // namespace kestrane::app
