// The installer's version descriptor: loaded from the patch it carries, tested against the installed
// program, and stamped into real embedded account sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../product/install_folder.h"
#include "app/account_set_statements.h"
#include "app/manager.h"
#include "db/connection.h"
#include "manager_fixture.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using kestrane::testing::InstallFolder;

const char kDescriptor[] =
    "<patch><type>3</type><patchNo>P7</patchNo>"
    "<program><newVersion><tag>R2.3</tag></newVersion>"
    "<versions><v><tag>R2.2</tag></v></versions></program>"
    "<instance><newVersion><tag>8.2</tag></newVersion>"
    "<versions><v><tag>8.1</tag></v></versions></instance></patch>";

class InstallerVersion : public ManagerFixture {
  protected:
    // A patch of both kinds whose FILEDATA carries a program file and the descriptor, and no account-set
    // content.
    std::string MakePatch(const std::string& descriptor) const {
        patch::TResCollection files;
        files.PatchType = patch::ptBoth;
        files.Create<patch::TResItem>().Name = "a.exe";
        patch::TResItem& version = files.Create<patch::TResItem>();
        version.Name = "version.xml";
        version.OptType = patch::otVersion;
        version.MemStream.assign(descriptor.begin(), descriptor.end());
        return MakeExe("Patch.exe", {{"FILEDATA", patch::WriteObjectStream(files)},
                                     {"INSTDATA", patch::WriteObjectStream(patch::TInstResCollection())}});
    }
    // The registry names `folder` as the installation.
    void Installed(const std::string& folder) const {
        WriteFile("registry.reg",
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                      folder + "\"\r\n");
    }
};

TEST_F(InstallerVersion, DescriptorOfThePatchDecidesTheVersionTests) {
    const std::string exe = MakePatch(kDescriptor);
    Installed(Path("lumo"));
    WriteFile("lumo/Update.upf", "[UpdateConfig]\r\npf_version=r2.2\r\n");
    WriteFile("Update.upf", "[UpdateConfig]\r\npf_version=R1\r\n");  // beside the patch: not asked

    TManager installer(ui_, exe);
    const patch::TPatchVersion& version = installer.PatchVersion();
    EXPECT_TRUE(version.Loaded());
    EXPECT_EQ(version.PatchNo, "P7");
    EXPECT_EQ(version.ProgramDir, installer.ParamInfo().ProgramDir);
    EXPECT_TRUE(installer.CheckVersion(patch::vkProgram, ""));
    EXPECT_TRUE(installer.CheckVersion(patch::vkAccountSet, "8.1"));
    EXPECT_FALSE(installer.CheckVersion(patch::vkAccountSet, "8.0"));

    WriteFile("lumo/Update.upf", "[UpdateConfig]\r\npf_version=R2.1\r\n");
    EXPECT_FALSE(installer.CheckVersion(patch::vkProgram, ""));
}

TEST_F(InstallerVersion, WithoutInstallationTheProgramFolderIsAsked) {
    const std::string exe = MakePatch(kDescriptor);
    WriteFile("Update.upf", "[UpdateConfig]\r\npf_version=R1\r\n");
    TManager installer(ui_, exe);
    EXPECT_EQ(installer.ParamInfo().InstallPath, "");
    EXPECT_FALSE(installer.CheckVersion(patch::vkProgram, ""));
    fs::remove(Path("Update.upf"));
    EXPECT_TRUE(installer.CheckVersion(patch::vkProgram, ""));
}

TEST_F(InstallerVersion, MalformedDescriptorEndsTheStartUp) {
    const std::string exe = MakePatch("<patch><type>3</patch>");
    EXPECT_THROW((TManager{ui_, exe}), patch::EVersionFormatError);
}

// Embedded account sets in a folder, stamped through the database layer.
class AccountSetStamp : public InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        sets_ = Sub("sets");
        PutText("Update.upf", "[UpdateConfig]\r\npf_version=R2.2\r\n");
        MakeAccountSet(sets_, "OLD", "旧账套", "{11111111-2222-3333-4444-555555555555}", nullptr);
        MakeAccountSet(sets_, "NEW", "新账套", "{22222222-2222-3333-4444-555555555555}", "8.1");
        MakeAccountSet(sets_, "SKIP", "不选", "{33333333-2222-3333-4444-555555555555}", "8.1");
        for (const char* name : {"OLD", "NEW", "SKIP"}) {
            support::TInstanceRec set;
            set.DBName = name;
            set.DBInfo.DBType = support::dbAccess;
            set.DBInfo.Server = sets_;
            set.Selected = std::string(name) != "SKIP";
            instances_.push_back(set);
        }
        version_.InstanceNewTag = "8.2";
    }
    std::string ZTVersion(const std::string& name) const {
        db::Connection c("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + sets_ + "/" + name + ".mdb");
        c.Open();
        auto rows = c.Execute("select ZTVersion from Sys_Accounts");
        return rows->Eof() ? "-" : rows->Value(0).AsString();
    }
    void Stamp() {
        TDBProcessorStatements statements;
        version_.StampNewVersion(patch::ptInstance, Dir(), instances_, statements);
    }

    std::string sets_;
    support::TInstArray instances_;
    patch::TPatchVersion version_;
};

TEST_F(AccountSetStamp, SelectedSetsGetTheNewTagTwiceOver) {
    Stamp();
    EXPECT_EQ(ZTVersion("OLD"), "8.2");  // the column was added
    EXPECT_EQ(ZTVersion("NEW"), "8.2");
    EXPECT_EQ(ZTVersion("SKIP"), "8.1");
    // The second time the column exists everywhere and adding it fails quietly.
    version_.InstanceNewTag = "8.3'b";
    Stamp();
    EXPECT_EQ(ZTVersion("OLD"), "8.3'b");
    EXPECT_EQ(ZTVersion("NEW"), "8.3'b");
}

TEST_F(AccountSetStamp, FailingUpdateRaisesTheClientError) {
    Exec(sets_ + "/NEW.mdb", "drop table Sys_Accounts");
    EXPECT_THROW(Stamp(), db::EDatabaseError);
    EXPECT_EQ(ZTVersion("OLD"), "8.2");  // stamped before the failure
}

}  // namespace
}  // namespace kestrane::app
