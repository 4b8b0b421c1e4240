#include "install_target.h"

#include "../app/source_account_set.h"
#include "db/connection.h"

namespace kestrane::gui::testing {

namespace {

const char kMembers[] =
    "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
    "Descript varchar(100), Attr LONG, CRC LONG)";

}  // namespace

Installation MakeTargetInstallation(const std::filesystem::path& root,
                                    const std::vector<TargetSetSpec>& sets) {
    std::vector<AccountSetSpec> specs;
    for (const TargetSetSpec& s : sets) specs.push_back(s.Set);
    Installation install = MakeInstallation(root, specs);
    for (const TargetSetSpec& s : sets)
        kestrane::testing::ExecAll(
            install.AccountSetFile(s.Set.DBName),
            {"alter table Sys_Accounts add column ZTOrgID LONG",
             "alter table Sys_Accounts add column ZTUnitName varchar(50)",
             "update Sys_Accounts set ZTOrgID = " + std::to_string(s.OrgId) + ", ZTUnitName = '" +
                 s.UnitName + "'",
             "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))",
             "insert into Sys_OrgUnit values (4, '0201', '上海办事处')",
             "insert into Sys_OrgUnit values (1, '01', '总公司')",
             "insert into Sys_OrgUnit values (3, '0102', '销售部')",
             "insert into Sys_OrgUnit values (5, '02', '华东分公司')",
             "insert into Sys_OrgUnit values (2, '0101', '财务部')", kMembers});
    const std::string central = (install.Sets / "NXCentre.mdb").string();
    db::CreateJetDatabase(kestrane::testing::EmbeddedConnectionString(central));
    kestrane::testing::ExecAll(
        central, {kMembers, "create table Cert_MLConn (UID varchar(32), Link LONG)",
                  "create table Cert_ACL (UserID varchar(32), ResID varchar(32), ResType LONG, ACK LONG, "
                  "Falg LONG, CRC LONG)"});
    db::CreateJetDatabase(
        kestrane::testing::EmbeddedConnectionString((install.Folder / "LumoConfig.mdb").string()));
    return install;
}

std::vector<std::string> Dump(const std::string& file) {
    std::vector<std::string> dump = Query(file, "select type, name, sql from sqlite_master order by name");
    for (const std::string& table :
         Query(file, "select name from sqlite_master where type = 'table' order by name")) {
        dump.push_back("[" + table + "]");
        for (std::string& row : Query(file, "select * from \"" + table + "\" order by rowid"))
            dump.push_back(std::move(row));
    }
    return dump;
}

}  // namespace kestrane::gui::testing
