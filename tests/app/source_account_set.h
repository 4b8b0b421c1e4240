// An embedded source account set as the maker reads it: every definition table a patch copies, with
// rows that each kind's filter keeps and rows it must leave behind.
#pragma once

#include <string>
#include <vector>

#include "db/connection.h"

namespace kestrane::testing {

inline std::string EmbeddedConnectionString(const std::string& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file;
}

// In one transaction: a file synced once, not once a statement.
inline void ExecAll(const std::string& file, const std::vector<std::string>& statements) {
    db::Connection c(EmbeddedConnectionString(file));
    c.Open();
    c.BeginTrans();
    for (const std::string& sql : statements) c.Execute(sql);
    c.CommitTrans();
}

// Bills 1429 (type 1) and 1592 (type 3) are candidates; 2000 is a child of 1429, 3000 a bill made from
// model 1592, 4000 a candidate nobody chooses. Base-data categories 10 and 20. The user tables
// BD_Customer and bd_Archive, the view V_Customer, and the definition tables as system tables.
inline void FillDefinitionTables(const std::string& file) {
    ExecAll(file,
            {
                "create table QEL_InstElmnt (Enabled LONG, SvcID LONG, ElmntType LONG, ElmntID LONG, "
                "ElmntData MEMO)",
                "insert into QEL_InstElmnt values (1, -268304361, 80, 0, 'own')",
                "insert into QEL_InstElmnt values (1, 5, 81, 1, 'five')",
                "insert into QEL_InstElmnt values (1, 7, 82, 2, 'seven')",
                "create table JC_BillFormat (RwID LONG, BillName varchar(50), BillType LONG, ModelID LONG, "
                "ParentRwID LONG)",
                "insert into JC_BillFormat values (1429, '采购单', 1, 0, 0)",
                "insert into JC_BillFormat values (1592, '销售单', 3, 0, 0)",
                "insert into JC_BillFormat values (2000, '采购子单', 2, 0, 1429)",
                "insert into JC_BillFormat values (3000, '销售模型单', 4, 1592, 0)",
                "insert into JC_BillFormat values (4000, '其它单', 1, 0, 0)",
                "create table JC_SysOptInfo (RwID LONG, StdCode varchar(80), IntValue LONG)",
                "insert into JC_SysOptInfo values (1, 'GD_BillCfgMsg1429', 1)",
                "insert into JC_SysOptInfo values (2, 'GD_BillCfgMsg4000', 2)",
                "insert into JC_SysOptInfo values (3, 'GD_BillMultiOptCfgMsg', 3)",
                "insert into JC_SysOptInfo values (4, 'L5_Other', 4)",
                "create table JC_DJBHGZ (BillType LONG, RuleText varchar(20))",
                "insert into JC_DJBHGZ values (1429, 'CG-')",
                "insert into JC_DJBHGZ values (4000, 'QT-')",
                "create table QR_Element (RwID LONG, Name varchar(50))",
                "insert into QR_Element values (1, '库存查询')",
                "insert into QR_Element values (2, '销售查询')",
                "create table QR_DataAnalyse (RwID LONG, Name varchar(50))",
                "insert into QR_DataAnalyse values (1, '立方体')",
                "create table QR_DAExecuteTask (RwID LONG, Name varchar(50))",
                "insert into QR_DAExecuteTask values (1, '任务')",
                "create table QR_DATaskLink (RwID LONG, TaskID LONG)",
                "insert into QR_DATaskLink values (1, 1)",
                "create table JC_TableDict (CategoryID LONG, Subject varchar(50))",
                "insert into JC_TableDict values (10, '部门')",
                "insert into JC_TableDict values (20, '职员')",
                "create table JC_CodeJCSet (TableID LONG, Code varchar(20))",
                "insert into JC_CodeJCSet values (10, 'BM')",
                "insert into JC_CodeJCSet values (20, 'ZY')",
                "create table Sys_PurFunRes (FunID LONG, FunName varchar(50))",
                "insert into Sys_PurFunRes values (1, '录入')",
                "insert into Sys_PurFunRes values (2, '审核')",
                "create table BD_Customer (ID LONG, Name varchar(50), Region varchar(10))",
                "insert into BD_Customer values (1, '甲', 'N')",
                "insert into BD_Customer values (2, '乙', 'S')",
                "insert into BD_Customer values (3, '丙', 'N')",
                "create table bd_Archive (ID LONG, Note MEMO)",
                "insert into bd_Archive values (1, 'old')",
                "create view V_Customer as select ID, Name from BD_Customer where Region = 'N'",
            });
}

}  // namespace kestrane::testing
