// The database repair the finish page offers: which account sets it works on, and what it does to them
// without a window.
#include "app/installation_services.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "db/recording_driver.h"
#include "install_site.h"

namespace kestrane::app {
namespace {

using testing::Texts;

struct SetCase {
    const char* name;
    std::vector<std::tuple<std::string, support::TKVDataBaseType, bool>> sets;  // name, kind, selected
    Texts repaired;
};

TEST(RepairableAccountSets, SelectedSqlServerAndEmbeddedOnesInTheirOrder) {
    using support::dbAccess;
    using support::dbtMsSql;
    using support::dbtOracle;
    const SetCase cases[] = {
        {"none", {}, {}},
        {"nothing selected", {{"A", dbtMsSql, false}, {"E", dbAccess, false}}, {}},
        {"Oracle only", {{"B", dbtOracle, true}}, {}},
        {"embedded only", {{"E", dbAccess, true}}, {"E"}},
        {"every kind",
         {{"A", dbtMsSql, true},
          {"B", dbtOracle, true},
          {"E", dbAccess, true},
          {"C", dbtMsSql, false},
          {"F", dbAccess, false},
          {"D", dbtMsSql, true}},
         {"A", "E", "D"}},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        support::TInstArray instances;
        for (const auto& [name, kind, selected] : c.sets) {
            support::TInstanceRec rec;
            rec.DBName = name;
            rec.DBInfo.DBType = kind;
            rec.Selected = selected;
            instances.push_back(rec);
        }
        Texts repaired;
        for (const support::TInstanceRec& set : RepairableAccountSets(instances))
            repaired.push_back(set.DBName);
        EXPECT_EQ(repaired, c.repaired);
    }
}

class RepairAccountSets : public testing::TempFolderTest {};

TEST_F(RepairAccountSets, EmbeddedOnesAreCheckedAndWhatTheCheckFindsIsTheMessage) {
    const std::string site = dir_ + "site/";
    testing::MakeSite(site);
    support::TInstArray instances = product::TLmbFileMng(site).AccountSets();
    ASSERT_EQ(instances.size(), 2u);
    support::TInstanceRec server;
    server.DBName = "LUMO01";
    server.DBInfo = {support::dbtMsSql, false, "SRV", 1433, "", "sa", "pw"};
    instances.insert(instances.begin(), server);
    for (auto& set : instances) set.Selected = true;

    auto recorded = std::make_shared<db::RecordingDatabase>();
    const db::ScopedDriverOverride sqlServer("SQLOLEDB", db::RecordingDriverFactory(recorded));
    const support::TInstArray sets = RepairableAccountSets(instances);
    ASSERT_EQ(sets.size(), 3u);
    for (const support::TInstanceRec& set : sets) RepairDatabase(set.DBName, set.DBInfo);
    EXPECT_EQ(recorded->Statements(), (Texts{"sp_dboption 'LUMO01', 'single user', true",
                                             "DBCC CHECKDB ('LUMO01', REPAIR_ALLOW_DATA_LOSS)",
                                             "sp_dboption 'LUMO01', 'single user', false"}));

    // An index whose definition no longer matches its rows.
    const std::string file = site + "sets/TGT02.mdb";
    testing::ExecAll(file, {"create table T (N integer, S text)", "insert into T values (1, 'one')",
                            "create index IX on T (S)", "pragma writable_schema=on",
                            "update sqlite_master set sql = 'CREATE INDEX IX on T (N)' where name = 'IX'"});
    EXPECT_TRUE(testing::FailsWith<db::EDatabaseError>(
        [&] { RepairDatabase(sets[2].DBName, sets[2].DBInfo); },
        "数据库【" + file + "】完整性检查发现错误：row 1 missing from index IX"));
}

}  // namespace
}  // namespace kestrane::app
