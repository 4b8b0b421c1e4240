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

#include "app/headless_pages.h"
#include "app/manager.h"
#include "app/scripted_interaction.h"
#include "common/env_guard.h"
#include "db/connection.h"
#include "fake_system.h"
#include "framework/db_conn_factory.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "product/install_folder.h"
#include "source_account_set.h"

namespace kestrane::app {

using Texts = std::vector<std::string>;

inline const char kInstallDescriptor[] =
    "<patch><type>3</type><patchNo>P8</patchNo>"
    "<program><newVersion><tag>R2.3</tag></newVersion><versions><v><tag>R2.2</tag></v></versions></program>"
    "<instance><newVersion><tag>8.2</tag></newVersion><versions><v><tag>8.1</tag></v></versions>"
    "</instance></patch>";

inline const char kMembers[] =
    "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
    "Descript varchar(100), Attr LONG, CRC LONG)";

class InstallFixture : public testing::InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        patch::RegisterStreamClasses();
        RegisterHeadlessPages();
        registry_ = std::make_unique<testing::EnvGuard>("KESTRANE_REGISTRY", Sub("etc") + "/registry.reg");
        // Backup names carry the local time.
        tz_ = std::make_unique<testing::EnvGuard>("TZ", "UTC");
        tzset();
    }
    void TearDown() override {
        RegisterHeadlessPages(false);
        registry_.reset();
        tz_.reset();
        tzset();
        InstallFolder::TearDown();
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

    // Rows of a query, each as its values joined by "|".
    static Texts Rows(const std::string& file, const std::string& sql) {
        db::Connection c(Cs(file));
        c.Open();
        Texts out;
        for (auto rs = c.Execute(sql); rs && !rs->Eof(); rs->MoveNext()) {
            std::string row;
            for (int i = 0; i < rs->FieldCount(); ++i) row += (i ? "|" : "") + rs->Value(i).AsString();
            out.push_back(row);
        }
        return out;
    }

    // Everything a database holds: its objects with their definitions, then every table's rows in
    // sorted order.
    static Texts Snapshot(const std::string& file) {
        Texts all = Rows(file, "select type, name, sql from sqlite_master order by type, name");
        for (const std::string& table :
             Rows(file, "select name from sqlite_master where type = 'table' order by name")) {
            Texts rows = Rows(file, "select * from [" + table + "]");
            std::sort(rows.begin(), rows.end());
            for (std::string& r : rows) all.push_back(table + ": " + r);
        }
        return all;
    }

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

    // The site: account sets TGT01 and TGT02 on one embedded server with its central catalogue, the
    // product's configuration database, the version file, and a store whose instance entries carry
    // older names; the registry names it.
    void MakeSite(const std::vector<std::string>& names = {"TGT01", "TGT02"}) {
        const std::string sets = Sub("site/sets");
        std::vector<testing::StoredInstInfo> infos;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            const std::string file = SiteSet(names[i]);
            MakeAccountSet(sets, names[i], "目标账套" + n, "{11111111-2222-3333-4444-55555555555" + n + "}");
            testing::FillDefinitionTables(file);
            testing::ExecAll(
                file, {"alter table Sys_Accounts add ZTOrgID LONG",
                       "alter table Sys_Accounts add ZTUnitName varchar(50)",
                       "alter table QEL_InstElmnt add InstID varchar(38)",
                       "update JC_BillFormat set BillName = '旧采购单' where RwID = 1429",
                       "insert into BD_Customer values (8, '客户八', 'S')",
                       "insert into BD_Customer values (9, '客户九', 'N')",
                       "create table BD_Region (Code varchar(10), Name varchar(20))",
                       "insert into BD_Region values ('W', '西部')",
                       "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))",
                       "insert into Sys_OrgUnit values (1, '01', '总部')",
                       "insert into Sys_OrgUnit values (2, '0101', '财务部')", std::string(kMembers),
                       "insert into CERT_Member values ('" + std::string(32, '0').replace(31, 1, n) +
                           "', '成员', 'M" + n + "', 'p', 'd', 0, 7)"});
            infos.push_back({"旧名称" + n, "", "{11111111-2222-3333-4444-55555555555" + n + "}",
                             framework::MakeCatalogRef(1, static_cast<std::int16_t>(1024 + i)), 0});
        }
        db::CreateJetDatabase(Cs(Central()));
        testing::ExecAll(Central(),
                         {std::string(kMembers), "create table Cert_MLConn (UID varchar(32), Link LONG)",
                          "create table Cert_ACL (UserID varchar(32), ResID varchar(32), ResType LONG, "
                          "ACK LONG, Falg LONG, CRC LONG)",
                          // The code of TGT01's member under another identifier.
                          "insert into CERT_Member values ('" + std::string(32, 'F') +
                              "', '旧成员', 'M1', 'p', 'd', 0, 5)"});
        std::vector<std::string> catalogs = names;
        catalogs.push_back("NXCentre");
        Put("site/lumo_bd_1_14.lmb", testing::StoredValueFile(testing::StoredFactories(
                                         {testing::EmbeddedFactory(1, sets, catalogs)})));
        Put("site/lumo_bd_2_14.lmb", testing::StoredValueFile(testing::StoredInstInfos(infos)));
        db::CreateJetDatabase(Cs(Site() + "LumoConfig.mdb"));
        testing::ExecAll(Site() + "LumoConfig.mdb",
                         {"create table VerControl (ID LONG)", "insert into VerControl values (1)"});
        PutText("site/Update.upf", "[UpdateConfig]\r\npf_version=R2.2\r\n");
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
    TScriptedInteraction ui_;
    std::unique_ptr<testing::EnvGuard> registry_, tz_;
};

}  // namespace kestrane::app
