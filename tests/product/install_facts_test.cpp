#include "product/install_facts.h"

#include <gtest/gtest.h>

#include "install_folder.h"
#include "platform/ini.h"
#include "support/codepage.h"

namespace kestrane::product {
namespace {

namespace fs = std::filesystem;

TEST(TextToBoolean, TrueFalseAndNumbers) {
    struct Case {
        const char* text;
        std::optional<bool> want;
    } cases[] = {{"True", true},       {"FALSE", false},      {"tRuE", true},        {"0", false},
                 {"-3", true},         {" 1 ", true},         {"0.0", false},        {"2.5", true},
                 {"1e3", true},        {"yes", std::nullopt}, {"no", std::nullopt},  {"", std::nullopt},
                 {"1x", std::nullopt}, {"inf", std::nullopt}, {"--1", std::nullopt}, {"+", std::nullopt}};
    for (const auto& k : cases) EXPECT_EQ(TryTextToBoolean(k.text), k.want) << k.text;
    EXPECT_TRUE(TextToBoolean("no", true));
    EXPECT_FALSE(TextToBoolean("no", false));
    EXPECT_FALSE(TextToBoolean("False", true));
}

TEST(MergeConfigOverlay, OverlayMainSectionWinsOtherSectionsIgnored) {
    platform::MemIniFile ini;
    MergeConfigOverlay("[主配置]\nnet=True\nnew=1\n[其他]\nx=overlay\n",
                       "[主配置]\nnet=False\nkeep=a\n[其他]\nx=config\n", ini);
    EXPECT_EQ(ini.ReadString("主配置", "net", ""), "True");
    EXPECT_EQ(ini.ReadString("主配置", "keep", ""), "a");
    EXPECT_EQ(ini.ReadString("主配置", "new", ""), "1");
    EXPECT_EQ(ini.ReadString("其他", "x", ""), "config");

    MergeConfigOverlay("", "[s]\nk=v\n", ini);
    EXPECT_EQ(ini.ReadString("s", "k", ""), "v");
    EXPECT_FALSE(ini.SectionExists("主配置"));
}

using testing::Deflate;

class NetworkEdition : public testing::InstallFolder {
  protected:
    void PutCompressed(const std::string& name, const std::string& utf8) const {
        const std::string cp = support::Utf8ToCp936(utf8);
        Put(name, Deflate(std::vector<std::uint8_t>(cp.begin(), cp.end())));
    }
};

TEST_F(NetworkEdition, ConfigurationFileDecides) {
    struct Case {
        const char* config;
        const char* overlay;  // null: no overlay file
        bool want;
    } cases[] = {
        {"[主配置]\nname=x\n", nullptr, true},  // no "net" key
        {"[主配置]\nnet=False\n", nullptr, false},
        {"[主配置]\nnet=0\n", nullptr, false},
        {"[主配置]\nnet=maybe\n", nullptr, true},  // not a Boolean
        {"[主配置]\nnet=False\n", "[主配置]\nnet=True\n", true},
        {"[主配置]\nnet=True\n", "[其他]\nnet=False\n", true},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.config);
        fs::remove(root_ / "lumo.lumomv");
        PutCompressed("lumo.lumocf", k.config);
        if (k.overlay) PutCompressed("lumo.lumomv", k.overlay);
        EXPECT_EQ(IsNetworkEdition(Dir()), k.want);
    }
}

TEST_F(NetworkEdition, SetupFileAndNeither) {
    EXPECT_FALSE(IsNetworkEdition(Dir()));
    PutText("lumosetup.dat", "[SETUP]\nOTHER=1\n");
    EXPECT_TRUE(IsNetworkEdition(Dir()));
    PutText("lumosetup.dat", "[SETUP]\nNETVER=no\n");
    EXPECT_FALSE(IsNetworkEdition(Dir()));
    PutText("lumosetup.dat", "[SETUP]\nNETVER=True\n");
    EXPECT_TRUE(IsNetworkEdition(Dir()));
    // An existing configuration file decides even when it cannot be read: empty text, single-user.
    Put("lumo.lumocf", {1, 2, 3});
    EXPECT_FALSE(IsNetworkEdition(Dir()));
    // ... and a plain lumo.ini stands in for a configuration that cannot be decoded.
    PutText("lumo.ini", "[\xD6\xF7\xC5\xE4\xD6\xC3]\nnet=1\n");
    EXPECT_TRUE(IsNetworkEdition(Dir()));
}

}  // namespace
}  // namespace kestrane::product
