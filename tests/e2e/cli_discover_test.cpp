// kestrane-cli discover and store decode on an installation folder whose store files are laid out by
// hand, with embedded account sets as SQLite files.
#include <gtest/gtest.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "../product/install_folder.h"
#include "cli_run.h"

namespace kestrane::testing {
namespace {

class CliDiscover : public InstallFolder {
  protected:
    // Blank-separated arguments; the folders these tests make have no blanks.
    CliRun Cli(const std::string& args) const {
        std::istringstream in(args);
        std::vector<std::string> argv{std::istream_iterator<std::string>(in), {}};
        return RunCli(argv, Sub("cli") + "/");
    }
};

TEST_F(CliDiscover, ListsServersAccountSetsAndFailedCatalogues) {
    const std::string a = Sub("a"), b = Sub("b");
    MakeAccountSet(a, "SET1", "一号", "{11111111-2222-3333-4444-555555555555}");
    MakeAccountSet(b, "SET2", "二号", "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}", nullptr);
    StoredFactory sql = SimpleFactory("SQLOLEDB.1", "SRV");
    sql.factoryId = 3;
    sql.user = "sa";
    sql.password = "secret";
    PutValue(1, 14,
             StoredFactories({EmbeddedFactory(1, a, {"SET1", "MISSING", "NXCentre"}),
                              EmbeddedFactory(2, b, {"SET2"}), sql}));

    const CliRun r = Cli("discover " + Dir() + " --json");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["storeKey"], 14);
    ASSERT_EQ(j["servers"].size(), 3u);
    EXPECT_EQ(j["servers"][0]["dbType"], "sqlserver");
    EXPECT_EQ(j["servers"][0]["port"], 1433);
    EXPECT_EQ(j["servers"][0]["passwordSet"], true);
    EXPECT_EQ(r.out.find("secret"), std::string::npos);
    EXPECT_EQ(j["servers"][1]["server"], b);
    EXPECT_EQ(j["servers"][2]["server"], a);
    ASSERT_EQ(j["accountSets"].size(), 2u);
    EXPECT_EQ(j["accountSets"][0]["accountName"], "二号");
    EXPECT_EQ(j["accountSets"][0]["version"], "");
    EXPECT_EQ(j["accountSets"][1]["dbName"], "SET1");
    EXPECT_EQ(j["accountSets"][1]["instanceId"], "{11111111-2222-3333-4444-555555555555}");
    ASSERT_EQ(j["messages"].size(), 1u);
    EXPECT_EQ(j["messages"][0].get<std::string>().rfind("错误：【" + a + "】帐套加载失败，失败原因如下：", 0),
              0u);

    const CliRun text = Cli("discover " + Dir());
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("  2. SET1  一号  version 8.1"), std::string::npos) << text.out;

    EXPECT_EQ(Cli("discover " + Dir() + "nowhere").status, 1);
    EXPECT_EQ(Cli("discover").status, 2);
}

TEST_F(CliDiscover, StoreDecodeShowsTrailerAndContent) {
    PutValue(2, 15,
             StoredInstInfos({{"帐套", "x", "{11111111-2222-3333-4444-555555555555}", 0x04000001, 0}}));
    const CliRun r = Cli("store decode " + Dir() + "lumo_bd_2_15.lmb");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("trailer  43\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("record     TQELInstInfoDArray (0x54)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  [0].InstName \"帐套\"\n"), std::string::npos) << r.out;

    Put("empty.lmb", {0, 0, 0, 0});
    EXPECT_NE(Cli("store decode " + Dir() + "empty.lmb").out.find("empty value"), std::string::npos);
    Put("broken.lmb", {1, 2, 3, 4, 5, 0, 0, 0});
    EXPECT_EQ(Cli("store decode " + Dir() + "broken.lmb").status, 1);
    Put("cut.lmb", StoredValueFile({24, 0x54, 1, 0, 0, 0}));
    const CliRun cut = Cli("store decode " + Dir() + "cut.lmb --json");
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(nlohmann::json::parse(cut.out)["error"], "读取缓存错误");
}

}  // namespace
}  // namespace kestrane::testing
