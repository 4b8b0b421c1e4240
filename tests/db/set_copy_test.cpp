#include "db/set_copy.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/expect_error.h"
#include "db/data_export.h"
#include "db_test_util.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::dbAccess;
using kestrane::testing::Caught;
using TCopyPath = TDataExport::TCopyPath;

namespace {

// The benchmark's definition table: twelve columns of every value kind, some nulls in most rows.
const char* kBillTemplate =
    "create table Sys_BillTemplate (G_ID GUID, RwID LONG not null, ParentID LONG, StdCode varchar(50), "
    "StdName varchar(100), Descrip MEMO, Amount decimal(18,2), IsUsed BIT, Made DATETIME, Layout LONGBINARY, "
    "OrgID LONG, Remark varchar(255))";
const char* kBillRows =
    "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
    "insert into Sys_BillTemplate select "
    "printf('{%08X-%04X-%04X-%04X-%012X}', i, i % 65536, (i * 7) % 65536, (i * 13) % 65536, "
    "(i * 2654435761) % 281474976710656), "
    "i, case when i % 5 = 0 then null else i / 10 end, printf('BT%07d', i), '单据模板' || i || '号', "
    "case when i % 11 = 0 then null else '说明：第' || i || '行的定义，含中文与数字 0012' end, "
    "(i % 100000) / 100.0, i % 2, datetime('2024-01-01', '+' || (i % 1000) || ' days'), "
    "case when i % 4 = 0 then null else randomblob(48) end, i % 8, "
    "case when i % 3 = 0 then null else '备注' || i end from n";
// The same columns holding what a dynamically typed file may hold: numbers in text columns, texts in
// number columns, blobs where GUIDs are, dates in every form, decimals a text parse gets wrong.
const std::vector<std::string> kOddRows = {
    "insert into Sys_BillTemplate values (x'00112233445566778899AABBCCDDEEFF', 1, '7', 12, 12.5, "
    "0.30000000000000004, -737553.923792349, 5, '2024-01-02 00:00:00', 'text', '8', x'616263')",
    "insert into Sys_BillTemplate values ('not a guid', 2, 2.5, x'00ff', '', '0012', '12.50', 'True', "
    "45000.25, 7, 1e300, 3)",
    "insert into Sys_BillTemplate values (42, 3, null, null, null, null, 12345678901234567, 0.0, "
    "'2024-1-2 3:04', x'', null, null)",
    "insert into Sys_BillTemplate values (null, 4, null, null, null, null, x'01', -1, '1899-12-30 "
    "08:30:00.250', null, null, null)",
    "insert into Sys_BillTemplate values (null, 5, null, null, null, null, '1e+20', null, 'someday', null, "
    "null, 'x')",
    "insert into Sys_BillTemplate values (null, 6, null, null, null, null, 1.5e-7, null, 2, null, null, "
    "null)",
    "insert into Sys_BillTemplate values (null, 7, null, null, null, null, 100, null, '2024-02-29 "
    "13:05:09.120', null, null, null)",
    "insert into Sys_BillTemplate (RwID, Made) values (8, '2024-01-02'), (9, '2024-01-02 03:04:05'), "
    "(10, '2024-01-02T03:04:05'), (11, '2024-01-02 03:04:05.000'), (12, '2024-02-30'), (13, "
    "'2024-01-02 00:00:00.001'), (14, '0000-01-01 12:00:00'), (15, '1700-06-30 23:59:59.999')",
};

std::vector<std::string> AllValues(Connection& c, const std::string& table) {
    std::string select;
    auto cols = c.Execute("pragma table_info('" + table + "')");
    for (; !cols->Eof(); cols->MoveNext()) {
        const std::string n = "[" + cols->Value("name").AsString() + "]";
        select += (select.empty() ? "" : " || '|' || ") + ("typeof(" + n + ") || ':' || quote(" + n + ")");
    }
    return Rows(c, "select " + select + " from " + table + " order by rowid");
}

class SetCopy : public ::testing::Test {
  protected:
    TempDir dir;

    // Copies the table from one file into a new one, set-based or row by row; returns the new file's
    // connection string.
    std::string Copy(const std::string& from, const std::string& name, bool setBased, bool transferFile,
                     TCopyPath want, const std::string& filter = "") {
        const std::string to = dir.File(name);
        if (transferFile)
            TDataExport::CreateAccessDB(to);
        else
            CreateJetDatabase(JetString(to));
        TDataExport ex;
        ex.SourceType = ex.TargetType = dbAccess;
        ex.SetBasedCopy = setBased;
        ex.SourceConnection().SetConnectionString(from);
        ex.TargetConnection()->SetConnectionString(JetString(to));
        ex.TransferTable("Sys_BillTemplate", filter);
        EXPECT_EQ(ex.LastCopyPath, want) << name;
        return JetString(to);
    }
};

// What two copies stored: every value with its storage class, the side table and the table's text.
void ExpectSameFiles(const std::string& a, const std::string& b) {
    Connection ca(a), cb(b);
    ca.Open();
    cb.Open();
    EXPECT_EQ(AllValues(ca, "Sys_BillTemplate"), AllValues(cb, "Sys_BillTemplate"));
    EXPECT_EQ(AllValues(ca, "DSColumnDefine"), AllValues(cb, "DSColumnDefine"));
    const std::string schema = "select sql from sqlite_master order by name";
    EXPECT_EQ(Rows(ca, schema), Rows(cb, schema));
}

}  // namespace

TEST_F(SetCopy, BothPathsStoreTheSameValuesBothWays) {
    std::vector<std::string> setup = {kBillTemplate, kBillRows};
    setup.insert(setup.end(), kOddRows.begin(), kOddRows.end());
    const std::string set = MakeJetFile(dir.File("Lumo01.mdb"), setup);

    // Account set -> transfer file, then transfer file -> another account set, each both ways.
    const std::string bySet = Copy(set, "UpdateSet.mdb", true, true, TCopyPath::SetBased);
    const std::string byRow = Copy(set, "UpdateRow.mdb", false, true, TCopyPath::RowWise);
    ExpectSameFiles(bySet, byRow);
    ExpectSameFiles(Copy(bySet, "Lumo02Set.mdb", true, false, TCopyPath::SetBased),
                    Copy(bySet, "Lumo02Row.mdb", false, false, TCopyPath::RowWise));
    // With a filter, into a table that is there already (rows deleted by the filter first).
    ExpectSameFiles(Copy(set, "FilterSet.mdb", true, true, TCopyPath::SetBased, " and RwID % 3 = 1 "),
                    Copy(set, "FilterRow.mdb", false, true, TCopyPath::RowWise, " and RwID % 3 = 1 "));

    Connection c(bySet);
    c.Open();
    EXPECT_EQ(Rows(c, "select count(*) from Sys_BillTemplate"), std::vector<std::string>{"2015"});
    // Dates as the engine writes them, with their milliseconds; decimals as the numbers they were.
    EXPECT_EQ(
        Rows(c,
             "select quote(Made), quote(Amount) from Sys_BillTemplate where rowid in (2001, 2004, "
             "2007, 2) order by rowid"),
        (std::vector<std::string>{"'2024-01-03'|0.02", "'2024-01-02'|-737553.923792349",
                                  "'1899-12-30 08:30:00.250'|X'01'", "'2024-02-29 13:05:09.120'|100.0"}));
}

TEST_F(SetCopy, ValuesTheRowWiseCopyRefusesFailTheSameWay) {
    struct Case {
        const char* row;
        const char* message;
    };
    const Case cases[] = {
        {"insert into Sys_BillTemplate (RwID, G_ID) values (1, x'010203')",
         "A 16-byte binary value is needed for a GUID column (got 3 bytes)."},
        {"insert into Sys_BillTemplate (RwID, IsUsed) values (1, 'maybe')", nullptr},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        const std::string set =
            MakeJetFile(dir.File("Odd" + std::to_string(++n) + ".mdb"), {kBillTemplate, c.row});
        std::string messages[2];
        for (const bool setBased : {true, false}) {
            const std::string to = dir.File("U" + std::to_string(n) + (setBased ? "s" : "r") + ".mdb");
            TDataExport::CreateAccessDB(to);
            TDataExport ex;
            ex.SourceType = ex.TargetType = dbAccess;
            ex.SetBasedCopy = setBased;
            ex.SourceConnection().SetConnectionString(set);
            ex.TargetConnection()->SetConnectionString(JetString(to));
            const auto failure =
                Caught<std::runtime_error>([&] { ex.TransferTable("Sys_BillTemplate", ""); });
            EXPECT_TRUE(failure) << "copied";
            if (failure) messages[setBased ? 0 : 1] = failure->what();
            // The failed copy took its table with it.
            EXPECT_EQ(Rows(*ex.TargetConnection(), "select count(*) from sqlite_master"),
                      std::vector<std::string>{"0"});
        }
        EXPECT_EQ(messages[0], messages[1]);
        if (c.message) {
            EXPECT_EQ(messages[0], c.message);
        }
    }
}

TEST_F(SetCopy, CasesItDoesNotCoverGoRowByRow) {
    const std::string set = MakeJetFile(dir.File("Lumo01.mdb"),
                                        {kBillTemplate, kBillRows, "create table Sys_OrgUnit (OrgID LONG)",
                                         "insert into Sys_OrgUnit values (3)"});
    struct Case {
        const char* name;
        std::vector<std::string> target;  // statements run in the target first
        const char* filter;
        const char* count;  // rows in the target afterwards
    };
    const Case cases[] = {
        // A null left out of a row-wise insert takes the target's default.
        {"default",
         {"create table Sys_BillTemplate (G_ID GUID, RwID LONG not null, ParentID LONG default -1, "
          "StdCode varchar(50), StdName varchar(100), Descrip MEMO, Amount FLOAT, IsUsed BIT, "
          "Made DATETIME, Layout LONGBINARY, OrgID LONG, Remark varchar(255))"},
         "",
         "2000"},
        // A subquery's table would be looked up in the target before the attached source.
        {"subquery",
         {"create table Sys_OrgUnit (OrgID LONG)", "insert into Sys_OrgUnit values (5)"},
         " and OrgID in (select OrgID from Sys_OrgUnit) ",
         "250"},
        // A source column the target lacks: row-wise inserts name only present values.
        {"column", {"create table Sys_BillTemplate (RwID LONG, ParentID LONG)"}, " and 1<>1 ", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string to = MakeJetFile(dir.File(std::string(c.name) + ".mdb"), c.target);
        TDataExport ex;
        ex.SourceType = ex.TargetType = dbAccess;
        ex.SourceConnection().SetConnectionString(set);
        ex.TargetConnection()->SetConnectionString(to);
        ex.TransferTable("Sys_BillTemplate", c.filter);
        EXPECT_EQ(ex.LastCopyPath, TCopyPath::RowWise);
        EXPECT_EQ(Rows(*ex.TargetConnection(), "select count(*) from Sys_BillTemplate"),
                  std::vector<std::string>{c.count});
    }
    Connection c(JetString(dir.File("default.mdb")));
    c.Open();
    EXPECT_EQ(Rows(c, "select count(*) from Sys_BillTemplate where ParentID = -1"),
              std::vector<std::string>{"400"});
    Connection s(JetString(dir.File("subquery.mdb")));
    s.Open();
    EXPECT_EQ(Rows(s, "select distinct OrgID from Sys_BillTemplate"), std::vector<std::string>{"3"});
}

TEST(SetCopyFilter, WhatFitsTheStatement) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {" and 1<>1 ", true},
        {" and StdCode like 'A%' ", true},
        {" AND (RwID > 1 or [Org ID] = 2) ", true},
        {" and Name = 'x; select 1 -- (' ", true},
        {" and \"Code\" = 'a''b'", true},
        {" and RwID in (select RwID from T) ", false},
        {" and 1=1; delete from T", false},
        {" and 1=1 -- note", false},
        {" and 1=1 /* note */", false},
        {" and (1=1", false},
        {" and 1=1)", false},
        {" and 1=1 order by RwID", false},
        {" and 1=1 limit 5", false},
        {" or 1=1", false},
        {"1=1", false},
        {"'x'", false},
        {" and Name = 'open", false},
        {" and [open", false},
    };
    for (const auto& [filter, want] : cases) EXPECT_EQ(SetCopyFilterAllowed(filter), want) << filter;
}
