#include "app/design_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "db/recording_driver.h"
#include "product/install_folder.h"
#include "source_account_set.h"

namespace kestrane::app {
namespace {

using patch::TInstNodeArray;
using patch::TInstNodeRec;
using namespace patch;
using testing::Caught;

// A driver around the recording one that refuses a statement while the rows of another are still
// pending, as SQL Server does without multiple active result sets.
class OneStatementDriver : public db::Driver {
  public:
    explicit OneStatementDriver(std::unique_ptr<db::Driver> inner) : inner_(std::move(inner)) {}

    void Open(const std::string& cs, int timeout) override { inner_->Open(cs, timeout); }
    void Close() override { inner_->Close(); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    void SetCommandTimeout(int seconds) override { inner_->SetCommandTimeout(seconds); }
    std::unique_ptr<db::Recordset> Execute(const std::string& sql) override {
        Check(sql);
        auto rows = inner_->Execute(sql);
        if (!rows) return rows;
        return std::make_unique<Counted>(std::move(rows), live_);
    }
    std::int64_t ExecuteCommand(const std::string& sql, const std::vector<db::Parameter>& params,
                                bool prepared) override {
        Check(sql);
        return inner_->ExecuteCommand(sql, params, prepared);
    }
    std::unique_ptr<db::Recordset> OpenSchema(int schema, const std::vector<support::Variant>& r) override {
        Check("schema");
        return inner_->OpenSchema(schema, r);
    }
    void BeginTrans() override { inner_->BeginTrans(); }
    void CommitTrans() override { inner_->CommitTrans(); }
    void RollbackTrans() override { inner_->RollbackTrans(); }

  private:
    class Counted : public db::Recordset {
      public:
        Counted(std::unique_ptr<db::Recordset> rows, int& live) : rows_(std::move(rows)), live_(live) {
            ++live_;
        }
        ~Counted() override { --live_; }
        bool Eof() const override { return rows_->Eof(); }
        void MoveFirst() override { rows_->MoveFirst(); }
        void MoveNext() override { rows_->MoveNext(); }
        std::int64_t RecordCount() override { return rows_->RecordCount(); }
        int FieldCount() const override { return rows_->FieldCount(); }
        const db::FieldInfo& Field(int index) const override { return rows_->Field(index); }
        const support::Variant& Value(int index) const override { return rows_->Value(index); }
        using Recordset::Value;

      private:
        std::unique_ptr<db::Recordset> rows_;
        int& live_;
    };
    void Check(const std::string& sql) const {
        if (live_ > 0)
            throw db::EDatabaseError("Connection is busy with results for another command: " + sql);
    }
    std::unique_ptr<db::Driver> inner_;
    int live_ = 0;
};

db::MemoryRecordset Rows(std::initializer_list<const char*> fields,
                         std::vector<std::vector<support::Variant>> rows) {
    db::MemoryRecordset rs(fields);
    for (auto& r : rows) rs.AddRow(std::move(r));
    return rs;
}

TInstNodeArray FixedEntries() {
    return {
        {"全部", "QEL_InstElmnt", "", "", pntReCst},
        {"全部", "QR_Element", "", "", pntQuery},
        {"默认流程图", "JC_SysOptInfo", "", "", pntDeskFlow},
        {"多维立方体", "QR_DataAnalyse", "", "", pntAnalyse},
        {"执行任务方案", "QR_DAExecuteTask", "", "", pntAnalyse},
        {"立方体-任务映射关系", "QR_DATaskLink", "", "", pntAnalyse},
    };
}

void AddNamed(TInstNodeArray& entries, const std::string& name, TKVParamNodeType kind) {
    entries.push_back({name, name, "", name, kind});
}

class CatalogueTest : public testing::TempFolderTest {};

// An embedded account set lists its views from its own catalogue and its tables by the two name
// lists, compared without letter case and in name order; SQLite's own tables are no candidates.
TEST_F(CatalogueTest, EmbeddedSourceReadsItsOwnCatalogue) {
    std::filesystem::create_directories(dir_ + "sets");
    testing::InstallFolder::MakeAccountSet(dir_ + "sets", "SRC", "源账套",
                                           "{11111111-2222-3333-4444-555555555555}");
    const std::string file = dir_ + "sets/SRC.mdb";
    testing::FillDefinitionTables(file);
    // The engine's side table of column definitions, as an installed patch leaves it, is not offered.
    testing::ExecAll(file,
                     {"create table Z_Auto (ID integer primary key autoincrement, Name varchar(10))",
                      "insert into Z_Auto (Name) values ('x')",
                      "create table DSColumnDefine (TABLE_NAME varchar(128), COLUMN_NAME varchar(128))"});

    support::TInstanceRec source;
    source.DBName = "SRC";
    source.DBInfo.DBType = support::dbAccess;
    source.DBInfo.Server = dir_ + "sets";

    TInstNodeArray expected = FixedEntries();
    expected.push_back({"采购单", "1429", "", "1429", pntBill});
    expected.push_back({"销售单", "1592", "", "1592", pntBill});
    expected.push_back({"其它单", "4000", "", "4000", pntBill});
    expected.push_back({"部门", "10", "", "10", pntBaseData});
    expected.push_back({"职员", "20", "", "20", pntBaseData});
    expected.push_back({"V_Customer", "V_Customer",
                        "CREATE VIEW V_Customer as select ID, Name from BD_Customer where Region = 'N'",
                        "VIEW", pntView});
    for (const char* table : {"bd_Archive", "BD_Customer", "JC_SysOptInfo", "Z_Auto"}) {
        AddNamed(expected, table, pntTable);
        AddNamed(expected, table, pntReCst);
    }
    for (const char* table :
         {"JC_BillFormat", "JC_CodeJCSet", "JC_DJBHGZ", "JC_TableDict", "QEL_InstElmnt", "QR_DAExecuteTask",
          "QR_DataAnalyse", "QR_DATaskLink", "QR_Element", "Sys_Accounts", "Sys_PurFunRes"})
        AddNamed(expected, table, pntReCst);

    const TInstNodeArray catalogue = ReadCatalogue(source);
    ASSERT_EQ(catalogue.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(catalogue[i], expected[i]) << i;
}

TEST_F(CatalogueTest, MissingDefinitionTableFailsWithTheClientsMessage) {
    testing::InstallFolder::MakeAccountSet(dir_, "BARE", "空账套", "{11111111-2222-3333-4444-555555555555}");
    support::TInstanceRec source;
    source.DBName = "BARE";
    source.DBInfo.DBType = support::dbAccess;
    source.DBInfo.Server = dir_;
    const auto e = Caught<std::runtime_error>([&] { ReadCatalogue(source); });
    ASSERT_TRUE(e) << "no failure";
    EXPECT_NE(std::string(e->what()).find("JC_BillFormat"), std::string::npos) << e->what();
}

// The server kinds get their own statement texts, sent one at a time; a definition that arrives in
// several rows becomes one candidate.
TEST_F(CatalogueTest, ServerKindsSendTheirOwnTextsOneAtATime) {
    const struct Case {
        support::TKVDataBaseType kind;
        const char* provider;
        std::vector<std::string> statements;
    } cases[] = {
        {support::dbtMsSql,
         "SQLOLEDB",
         {"select RwID, BillName from JC_BillFormat where BillType = 3 or BillType = 1",
          "select CategoryID, Subject from JC_TableDict",
          "select o.name, c.text,\r\ncase when o.type = 'V' then 'VIEW' when o.type = 'P' then 'PROCEDURE' "
          "end from "
          "sysobjects o\r\ninner join syscomments c on c.id = o.id\r\nwhere o.type in ('V','P') and o.status "
          "> "
          "0\r\norder by o.type,o.name,c.colid",
          "select o.id, o.name from sysobjects o\r\nwhere o.type = 'U' and o.name not in "
          "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','"
          "QR_"
          "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.name",
          "select o.id, o.name from sysobjects o\r\nwhere o.type = 'U' and o.name in "
          "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','"
          "QR_"
          "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.name"}},
        {support::dbtOracle,
         "OraOLEDB",
         {"select RwID, BillName from JC_BillFormat where BillType = 3 or BillType = 1",
          "select CategoryID, Subject from JC_TableDict",
          "select o.object_name, c.text, o.object_type from user_objects o\r\ninner join user_source c on "
          "c.name = "
          "o.object_name\r\nwhere o.object_type in ('VIEW','PROCEDURE')\r\norder by "
          "o.object_type,o.object_name,c.line",
          "select o.object_id, o.object_name from user_objects o\r\nwhere o.object_type = 'TABLE' and "
          "o.object_name not in "
          "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','"
          "QR_"
          "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.object_name",
          "select o.object_id, o.object_name from user_objects o\r\nwhere o.object_type = 'TABLE' and "
          "o.object_name in "
          "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','"
          "QR_"
          "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by "
          "o.object_name"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.provider);
        auto database = std::make_shared<db::RecordingDatabase>();
        const db::DriverFactory recording = db::RecordingDriverFactory(database);
        db::ScopedDriverOverride driver(c.provider, [recording](const std::string& cs) {
            return std::make_unique<OneStatementDriver>(recording(cs));
        });
        database->OnQuery(c.statements[0],
                          Rows({"RwID", "BillName"},
                               {{std::int64_t{7}, "单据七"}, {std::int64_t{9}, support::Variant::Null()}}));
        database->OnQuery(c.statements[1], Rows({"CategoryID", "Subject"}, {{"C1", "类别一"}}));
        database->OnQuery(c.statements[2],
                          Rows({"name", "text", "kind"}, {{"V1", "create view V1 as ", "VIEW"},
                                                          {"V1", "select 1 ", "VIEW"},
                                                          {"P1", "create procedure P1 as", "PROCEDURE"},
                                                          {"V1", "from dual", "VIEW"}}));
        database->OnQuery(c.statements[3], Rows({"id", "name"}, {{std::int64_t{1}, "BD_A"}}));
        database->OnQuery(c.statements[4], Rows({"id", "name"}, {{std::int64_t{2}, "QR_ELEMENT"}}));

        support::TInstanceRec source;
        source.DBName = "LUMO01";
        source.DBInfo.DBType = c.kind;
        source.DBInfo.Server = "srv";
        source.DBInfo.User = "sa";
        const TInstNodeArray catalogue = ReadCatalogue(source);

        EXPECT_EQ(database->Statements(), c.statements);
        TInstNodeArray expected = FixedEntries();
        expected.push_back({"单据七", "7", "", "7", pntBill});
        expected.push_back({"", "9", "", "9", pntBill});
        expected.push_back({"类别一", "C1", "", "C1", pntBaseData});
        expected.push_back({"V1", "V1", "create view V1 as select 1 from dual", "VIEW", pntView});
        expected.push_back({"P1", "P1", "create procedure P1 as", "PROCEDURE", pntView});
        AddNamed(expected, "BD_A", pntTable);
        AddNamed(expected, "BD_A", pntReCst);
        AddNamed(expected, "QR_ELEMENT", pntReCst);
        EXPECT_EQ(catalogue, expected);
    }
}

}  // namespace
}  // namespace kestrane::app
