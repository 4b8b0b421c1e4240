#include "patch/param_info.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "patch/texts.h"

namespace kestrane::patch {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries CloseList(const TBaseParamInfo& p) {
    Entries r;
    for (std::size_t i = 0; i < p.CloseFileCount(); ++i)
        r.emplace_back(p.CloseFileName(i), p.CloseFileCaption(i));
    return r;
}

TEST(ParamInfoTest, InitialValues) {
    TBaseParamInfo p;
    EXPECT_EQ(p.RegInstallPath, "Software\\Torlinex\\Lumo");
    EXPECT_EQ(p.NeedFreeDiskMB, 0);
    EXPECT_FALSE(p.NotBackup);
    EXPECT_EQ(p.PatchType, ptNone);
    EXPECT_EQ(p.Owner(), nullptr);
    EXPECT_EQ(CloseList(p), (Entries{{"LumoClient.exe", "Lumo客户端程序"},
                                     {"LumoSysMng.exe", "Lumo管理平台程序"},
                                     {"Z5IvuRov.exe", "Lumo webservice程序"},
                                     {"Fenwupd.exe", "Lumo升级客户端程序"}}));
}

TEST(ParamInfoTest, CloseListParsing) {
    const struct {
        std::string text;
        Entries entries;
    } cases[] = {
        {"a.exe-程序A,b.exe", {{"a.exe", "程序A"}, {"b.exe", ""}}},
        {"x.exe-one-two", {{"x.exe", "one-two"}}},
        {"a.exe - A ,b.exe-B", {{"a.exe", "A"}, {"b.exe", "B"}}},
        {"a.exe,,b.exe", {{"a.exe", ""}, {"", ""}, {"b.exe", ""}}},
        {"a.exe,", {{"a.exe", ""}}},
        {"a.exe-甲，b.exe-乙", {{"a.exe", "甲，b.exe-乙"}}},  // a full-width comma does not separate
        {"a.exe\r\nb.exe-B\nc.exe", {{"a.exe", ""}, {"b.exe", "B"}, {"c.exe", ""}}},
        {"-only", {{"", "only"}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        TBaseParamInfo p;
        p.SetNeedCloseFileNames(c.text);
        EXPECT_EQ(p.NeedCloseFileNames(), c.text);
        EXPECT_EQ(CloseList(p), c.entries) << c.text;
    }
}

TEST(ParamInfoTest, CloseListIndexOutOfRangeThrows) {
    TBaseParamInfo p;
    p.SetNeedCloseFileNames("a.exe");
    EXPECT_THROW(p.CloseFileName(1), std::out_of_range);
    EXPECT_THROW(p.CloseFileCaption(1), std::out_of_range);
}

TEST(ParamInfoTest, SelectedDBSQLTypesCoversSelectedAccountSetsOnly) {
    auto inst = [](support::TKVDataBaseType t, bool selected) {
        support::TInstanceRec r;
        r.DBInfo.DBType = t;
        r.Selected = selected;
        return r;
    };
    TBaseParamInfo p;
    EXPECT_TRUE(p.SelectedDBSQLTypes().Empty());

    p.Instances = {inst(support::dbtMsSql, true), inst(support::dbtOracle, true),
                   inst(support::dbAccess, false)};
    auto types = p.GetSelectedDBSQLTypes();
    EXPECT_TRUE(types.Contains(support::dbtMsSql));
    EXPECT_TRUE(types.Contains(support::dbtOracle));
    EXPECT_FALSE(types.Contains(support::dbAccess));

    for (auto& i : p.Instances) i.Selected = false;
    p.Instances.push_back(inst(static_cast<support::TKVDataBaseType>(5), true));  // not one of the kinds
    EXPECT_TRUE(p.SelectedDBSQLTypes().Empty());
}

}  // namespace
}  // namespace kestrane::patch
