// A patch built by the maker from a source installation made here, and a site where it installs: two
// embedded account sets with the definition tables, members and organisation units, the central
// catalogue, the product's configuration database and the program version file. The installer runs on
// made-up machine facts.
#pragma once

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/manager.h"
#include "db/connection.h"
#include "fake_system.h"
#include "install_site.h"
#include "maker_fixture.h"
#include "patch/inst_nodes.h"

namespace kestrane::app {

using testing::Texts;

using testing::kInstallDescriptor;

class InstallFixture : public MakerFixture {
  protected:
    void SetUp() override {
        MakerFixture::SetUp();
        // Backup names carry the local time.
        tz_ = std::make_unique<testing::EnvGuard>("TZ", "UTC");
        tzset();
    }
    void TearDown() override {
        tz_.reset();
        tzset();
        MakerFixture::TearDown();
    }

    std::string Site() const { return Dir() + "site/"; }
    std::string SiteSet(const std::string& name) const { return Site() + "sets/" + name + ".mdb"; }
    std::string Central() const { return Site() + "sets/NXCentre.mdb"; }

    void NameInstallation(const std::string& folder) const {
        PutText("etc/registry.reg",
                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                    folder + "\"\r\n");
    }

    static std::string Cs(const std::string& file) { return testing::EmbeddedConnectionString(file); }

    static Texts Rows(const std::string& file, const std::string& sql) { return testing::Rows(file, sql); }
    static Texts Snapshot(const std::string& file) { return testing::Snapshot(file); }

    // The maker's installation with the source account set SRC, and the patch it builds into
    // out/Patch.exe: the descriptor, a program file, and the content `content` adds to the items.
    std::string BuildPatch(patch::TKVPatchType type, const std::function<void(TManager&)>& content) {
        const std::string sets = Sub("maker/sets");
        if (!std::filesystem::exists(sets + "/SRC.mdb")) {
            MakeAccountSet(sets, "SRC", "来源账套", "{99999999-2222-3333-4444-555555555555}");
            testing::FillDefinitionTables(sets + "/SRC.mdb");
            testing::ExecAll(sets + "/SRC.mdb",
                             {"create table BD_Region (Code varchar(10), Name varchar(20))",
                              "insert into BD_Region values ('N', '北方')"});
            Put("maker/lumo_bd_1_14.lmb", testing::StoredValueFile(testing::StoredFactories(
                                              {testing::EmbeddedFactory(1, sets, {"SRC"})})));
        }
        NameInstallation(Dir() + "maker/");
        Sub("in");
        PutText("in/version.xml", kInstallDescriptor);
        PutText("in/readme.txt", "hello\n");
        Sub("out");
        TScriptedInteraction makerUi;
        const std::string program = Sub("prog") + "/Kestrane.exe";
        PutText("prog/Kestrane.exe", "MZ stand-in program\n");
        TManager maker(makerUi, program);
        auto& params = maker.ParamInfo();
        params.PatchType = type;
        params.Instances.at(0).Selected = true;
        params.PatchFileName = Dir() + "out/Patch.exe";
        maker.ResItems().AddFile(Dir() + "in/version.xml").OptType = patch::otVersion;
        if (type != patch::ptInstance) maker.ResItems().AddFile(Dir() + "in/readme.txt").RelPath = "\\doc";
        content(maker);
        EXPECT_TRUE(maker.Build());
        return params.PatchFileName;
    }

    // Nodes of the patch, made as the designer makes them from an embedded source.
    static patch::TNodeItem& Node(TManager& m, patch::TKVParamNodeType kind, const std::string& tag,
                                  const std::string& text = "") {
        patch::TInstResItem& item = *m.InstResItems().FindByNodeType(kind);
        const patch::TInstNodeRec entry{tag, tag, text, kind == patch::pntView ? "VIEW" : "", kind};
        switch (kind) {
            case patch::pntTable:
                return patch::NewNodeTableItem(item, entry, support::dbtMsSql);
            case patch::pntReCst:
            case patch::pntView:
            case patch::pntScript:
            case patch::pntInitScript:
                return patch::NewNodeScriptItem(item, entry, support::dbtMsSql);
            default:
                return patch::NewNodeItem(item, entry);
        }
    }

    // The usual content: bills, queries, restructuring, base data, a user table by filter, a table
    // shipped for its structure, a view and a script.
    static void UsualContent(TManager& m) {
        using namespace patch;
        Node(m, pntBill, "1429");
        Node(m, pntQuery, "QR_Element");
        Node(m, pntReCst, "QEL_InstElmnt", " and SvcID > 5");
        Node(m, pntReCst, "BD_Region");
        Node(m, pntBaseData, "10");
        Node(m, pntTable, "BD_Customer", " and Region = 'N'").AfterSQL =
            "update BD_Customer set Name = Name || '*' where Region = 'N'";
        Node(m, pntTable, "BD_Region").TableType = ttStructure;
        Node(m, pntView, "V_Customer",
             "create view V_Customer as select ID, Name from BD_Customer where ID > 0");
        Node(m, pntScript, "整理", "update JC_TableDict set Subject = Subject where 1=0");
    }

    void MakeSite(const std::vector<std::string>& names = {"TGT01", "TGT02"}) {
        testing::MakeSite(Site(), names);
        NameInstallation(Site());
    }

    // The installer of the patch on the site, with the given account sets selected.
    std::unique_ptr<TManager> NewInstaller(const std::string& patchFile,
                                           const Texts& selected = {"TGT01", "TGT02"}) {
        auto installer = std::make_unique<TManager>(ui_, patchFile, "", &system_);
        for (auto& inst : installer->ParamInfo().Instances)
            inst.Selected = std::find(selected.begin(), selected.end(), inst.DBName) != selected.end();
        installer->Now = [] { return std::time_t{1274366400}; };  // 2010-05-20 14:40 UTC
        return installer;
    }

    FakeSystem system_;
    std::unique_ptr<testing::EnvGuard> tz_;
};

}  // namespace kestrane::app
