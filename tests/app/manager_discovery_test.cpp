// The manager starts with the servers and account sets found in the installation folder that the
// registry names.
#include <gtest/gtest.h>

#include "../product/install_folder.h"
#include "app/manager.h"
#include "manager_fixture.h"

namespace kestrane::app {
namespace {

using kestrane::testing::EmbeddedFactory;
using kestrane::testing::InstallFolder;

class ManagerDiscovery : public ManagerFixture {};

TEST_F(ManagerDiscovery, ServersAndAccountSetsComeFromTheStore) {
    const std::string install = Path("lumo") + "/";
    const std::string sets = Path("lumo/sets");
    std::filesystem::create_directories(sets);
    InstallFolder::MakeAccountSet(sets, "DB1", "演示帐套", "{11111111-2222-3333-4444-555555555555}");
    const auto value = kestrane::testing::StoredValueFile(
        kestrane::testing::StoredFactories({EmbeddedFactory(1, sets, {"DB1", "GONE"})}));
    WriteFile("lumo/lumo_bd_1_14.lmb", std::string(value.begin(), value.end()));
    WriteFile("registry.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                  Path("lumo") + "\"\r\n");

    TManager m(ui_, Path("Kestrane.exe"));
    const auto& params = m.ParamInfo();
    EXPECT_EQ(params.InstallPath, install);
    ASSERT_EQ(params.DBInfos.size(), 1u);
    EXPECT_EQ(params.DBInfos[0].DBType, support::dbAccess);
    EXPECT_EQ(params.DBInfos[0].Server, sets);
    ASSERT_EQ(params.Instances.size(), 1u);
    EXPECT_EQ(params.Instances[0].AccountName, "演示帐套");
    EXPECT_EQ(params.Instances[0].DBName, "DB1");
    // The catalogue without a file was passed over silently while the manager was being made ...
    EXPECT_TRUE(m.FullLog().empty());
    // ... and is reported once the manager listens.
    m.ChangeInstallPath(install);
    ASSERT_EQ(m.FullLog().size(), 1u);
    EXPECT_EQ(m.FullLog()[0].rfind("错误：【" + sets + "】帐套加载失败，失败原因如下：", 0), 0u);
    EXPECT_EQ(m.ParamInfo().Instances.size(), 1u);
}

}  // namespace
}  // namespace kestrane::app
