// A site where a patch installs, made on disk: two embedded account sets with the definition tables,
// members and organisation units, the central catalogue with a clashing member, the product's
// configuration database, the program version file, and a store whose instance entries carry older
// names. Also what a test reads back from the databases.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/query_rows.h"
#include "db/connection.h"
#include "framework/db_conn_factory.h"
#include "product/install_folder.h"
#include "source_account_set.h"

namespace kestrane::testing {

using Texts = std::vector<std::string>;

// A descriptor of both kinds: program R2.2 to R2.3, account sets 8.1 to 8.2.
inline const char kInstallDescriptor[] =
    "<patch><type>3</type><patchNo>P8</patchNo>"
    "<program><newVersion><tag>R2.3</tag></newVersion><versions><v><tag>R2.2</tag></v></versions></program>"
    "<instance><newVersion><tag>8.2</tag></newVersion><versions><v><tag>8.1</tag></v></versions>"
    "</instance></patch>";

inline const char kMembers[] =
    "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
    "Descript varchar(100), Attr LONG, CRC LONG)";

// Rows of a query, each as its values joined by "|".
inline Texts Rows(const std::string& file, const std::string& sql) {
    return QueryRows(file, sql);
}

// Everything a database holds: its objects with their definitions, then every table's rows in sorted
// order.
inline Texts Snapshot(const std::string& file) {
    Texts all = Rows(file, "select type, name, sql from sqlite_master order by type, name");
    for (const std::string& table :
         Rows(file, "select name from sqlite_master where type = 'table' order by name")) {
        Texts rows = Rows(file, "select * from [" + table + "]");
        std::sort(rows.begin(), rows.end());
        for (std::string& r : rows) all.push_back(table + ": " + r);
    }
    return all;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The site in `site` (ending in "/"): account sets `names` in site/sets, named 目标账套1, 目标账套2, ...
inline void MakeSite(const std::string& site, const std::vector<std::string>& names = {"TGT01", "TGT02"}) {
    const std::string sets = site + "sets";
    std::filesystem::create_directories(sets);
    std::vector<StoredInstInfo> infos;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string file = sets + "/" + names[i] + ".mdb";
        InstallFolder::MakeAccountSet(sets, names[i], "目标账套" + n,
                                      "{11111111-2222-3333-4444-55555555555" + n + "}");
        FillDefinitionTables(file);
        std::string member(32, '0');
        member.back() = n.back();
        ExecAll(file,
                {"alter table Sys_Accounts add ZTOrgID LONG",
                 "alter table Sys_Accounts add ZTUnitName varchar(50)",
                 "alter table QEL_InstElmnt add InstID varchar(38)",
                 "update JC_BillFormat set BillName = '旧采购单' where RwID = 1429",
                 "insert into BD_Customer values (8, '客户八', 'S')",
                 "insert into BD_Customer values (9, '客户九', 'N')",
                 "create table BD_Region (Code varchar(10), Name varchar(20))",
                 "insert into BD_Region values ('W', '西部')",
                 "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))",
                 "insert into Sys_OrgUnit values (1, '01', '总部')",
                 "insert into Sys_OrgUnit values (2, '0101', '财务部')", kMembers,
                 "insert into CERT_Member values ('" + member + "', '成员', 'M" + n + "', 'p', 'd', 0, 7)"});
        infos.push_back({"旧名称" + n, "", "{11111111-2222-3333-4444-55555555555" + n + "}",
                         framework::MakeCatalogRef(1, static_cast<std::int16_t>(1024 + i)), 0});
    }
    const std::string central = sets + "/NXCentre.mdb";
    db::CreateJetDatabase(EmbeddedConnectionString(central));
    ExecAll(central, {kMembers, "create table Cert_MLConn (UID varchar(32), Link LONG)",
                      "create table Cert_ACL (UserID varchar(32), ResID varchar(32), ResType LONG, ACK LONG, "
                      "Falg LONG, CRC LONG)",
                      // The code of the first account set's member under another identifier.
                      "insert into CERT_Member values ('" + std::string(32, 'F') +
                          "', '旧成员', 'M1', 'p', 'd', 0, 5)"});
    std::vector<std::string> catalogs = names;
    catalogs.push_back("NXCentre");
    WriteBytes(site + "lumo_bd_1_14.lmb",
               StoredValueFile(StoredFactories({EmbeddedFactory(1, sets, catalogs)})));
    WriteBytes(site + "lumo_bd_2_14.lmb", StoredValueFile(StoredInstInfos(infos)));
    db::CreateJetDatabase(EmbeddedConnectionString(site + "LumoConfig.mdb"));
    ExecAll(site + "LumoConfig.mdb",
            {"create table VerControl (ID LONG)", "insert into VerControl values (1)"});
    std::ofstream(site + "Update.upf", std::ios::binary) << "[UpdateConfig]\r\npf_version=R2.2\r\n";
}

}  // namespace kestrane::testing
