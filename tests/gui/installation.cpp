#include "installation.h"

#include <stdlib.h>

#include <fstream>

#include "db/connection.h"
#include "../product/install_folder.h"

namespace kestrane::gui::testing {

namespace fs = std::filesystem;

namespace {

std::string ConnectionString(const std::string& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file;
}

// The definition tables with a few rows each, named as the product names them.
const std::vector<std::string> kDefinitions = {
    "create table QEL_InstElmnt (Enabled int, SvcID int, ElmntType int, ElmntID int, ElmntData varchar(50))",
    "insert into QEL_InstElmnt values (1, -268304361, 80, 0, 'x'), (1, 5, 81, 1, 'y')",
    "create table JC_BillFormat (RwID int, BillName varchar(50), BillType int, ModelID int, ParentRwID int)",
    "insert into JC_BillFormat values (101, '采购订单', 1, 0, 0), (102, '销售订单', 3, 0, 0), "
    "(103, '采购订单明细', 2, 0, 101), (104, '内部调拨单', 5, 0, 0)",
    "create table JC_SysOptInfo (StdCode varchar(50), OptValue varchar(50))",
    "insert into JC_SysOptInfo values ('GD_BillCfgMsg101', 'a'), ('GD_BillCfgMsg102', 'b'), "
    "('GD_BillMultiOptCfgMsg', 'm'), ('GD_Other', 'o')",
    "create table JC_DJBHGZ (BillType int, NumberRule varchar(50))",
    "insert into JC_DJBHGZ values (101, 'CG'), (102, 'XS')",
    "create table JC_TableDict (CategoryID int, Subject varchar(50))",
    "insert into JC_TableDict values (1, '客户分类'), (2, '地区')",
    "create table JC_CodeJCSet (TableID int, Code varchar(20))",
    "insert into JC_CodeJCSet values (1, '01'), (2, '02')",
    "create table QR_Element (RwID int, ElementName varchar(50))",
    "insert into QR_Element values (1, '库存查询')",
    "create table QR_DataAnalyse (RwID int, CubeName varchar(50))",
    "create table QR_DAExecuteTask (RwID int, TaskName varchar(50))",
    "create table QR_DATaskLink (RwID int, TaskID int)",
    "create table Sys_PurFunRes (FunID int, FunName varchar(50))",
    "insert into Sys_PurFunRes values (1, '录入')",
    "create table ZD_Customer (ID int, CustName varchar(50))",
    "insert into ZD_Customer values (1, '甲公司'), (2, '乙公司')",
    "create view V_Customer as select ID, CustName from ZD_Customer",
};

}  // namespace

std::string Installation::AccountSetFile(const std::string& DBName) const {
    return (Sets / (DBName + ".mdb")).string();
}

void ExecOn(const std::string& file, const std::vector<std::string>& statements) {
    db::Connection connection(ConnectionString(file));
    connection.Open();
    for (const std::string& sql : statements) connection.Execute(sql);
}

Installation MakeInstallation(const fs::path& root, const std::vector<AccountSetSpec>& accountSets) {
    Installation install{root / "lumo", root / "lumo" / "sets", root / "registry.reg"};
    fs::create_directories(install.Sets);
    std::vector<std::string> catalogues;
    for (const AccountSetSpec& spec : accountSets) {
        kestrane::testing::InstallFolder::MakeAccountSet(install.Sets.string(), spec.DBName, spec.AccountName,
                                                         "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
                                                         spec.Version.c_str());
        ExecOn(install.AccountSetFile(spec.DBName), kDefinitions);
        catalogues.push_back(spec.DBName);
    }
    const auto store = kestrane::testing::StoredValueFile(kestrane::testing::StoredFactories(
        {kestrane::testing::EmbeddedFactory(1, install.Sets.string(), catalogues)}));
    std::ofstream(install.Folder / "lumo_bd_1_14.lmb", std::ios::binary)
        .write(reinterpret_cast<const char*>(store.data()), static_cast<std::streamsize>(store.size()));
    std::ofstream(install.Folder / "Update.upf", std::ios::binary) << "[UpdateConfig]\r\npf_version=8.1.0\r\n";
    std::ofstream(install.Registry, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\""
        << install.Folder.string() << "\"\r\n";
    setenv("KESTRANE_REGISTRY", install.Registry.c_str(), 1);
    return install;
}

}  // namespace kestrane::gui::testing
