#include "product/store_dump.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "framework/base.h"
#include "install_folder.h"

namespace kestrane::product {
namespace {

using kestrane::testing::Caught;

using testing::ByteBuilder;

std::vector<std::string> Lines(const std::vector<TTaggedEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(std::string(static_cast<std::size_t>(e.Depth), '>') + e.Kind + " " + e.Value);
    return out;
}

TEST(StoreDump, ValueFileOfOneFactoryShownFieldByField) {
    testing::StoredFactory f = testing::SimpleFactory("SQLOLEDB.1", "SRV");
    f.password = "secret";
    f.catalogs.push_back({"DB1", "", "", "", 1024, 0, 0});
    const auto plain = testing::StoredFactories({f});
    const TStoredValueFile v = DecodeValueFile(testing::StoredValueFile(plain));
    EXPECT_FALSE(v.Empty);
    EXPECT_EQ(v.Trailer, static_cast<std::int32_t>(plain.size()));
    EXPECT_EQ(v.Decoded, plain);
    const auto lines = Lines(DumpTagged(v.Decoded));
    const std::vector<std::string> want = {
        "int32 1",
        "item 0xF0000001 version 0 check 0xD0",
        "record TQELDBCFData (0x79)",
        ">Provider \"SQLOLEDB.1\"",
        ">DataSource \"SRV\"",
        ">UserID \"\"",
        ">ConnPassword (set)",
        ">ConnString \"\"",
        ">ConnText \"\"",
        ">CommandTimeout 300",
        ">ConnectTimeout 5",
        ">Catalogs 1",
        ">Catalogs[0].CtlgName \"DB1\"",
        ">Catalogs[0].CtlgUser \"\"",
        ">Catalogs[0].CtlgPassword \"\"",
        ">Catalogs[0].CtlgText \"\"",
        ">Catalogs[0].CtlgId 1024",
        ">Catalogs[0].CtlgFlags 0",
        ">Catalogs[0].UseCount 0",
        ">FactoryId 1",
        "int32 0",
        "boolean false",
        "int8 0",
        "boolean false",
        "int8 0",
    };
    EXPECT_EQ(lines, want);
}

TEST(StoreDump, InstanceListUnknownRecordsAndDamage) {
    const auto infos =
        testing::StoredInstInfos({{"帐套", "", "{11111111-2222-3333-4444-555555555555}", 0x04000001, 1}});
    EXPECT_EQ(Lines(DumpTagged(infos)),
              (std::vector<std::string>{
                  "record TQELInstInfoDArray (0x54)", ">Count 1", ">[0].InstName \"帐套\"",
                  ">[0].InstText \"\"", ">[0].InstId {11111111-2222-3333-4444-555555555555}",
                  ">[0].InstRef 0x04000001 (factory 1, catalogue 1024)", ">[0].InstState 1"}));
    ByteBuilder unknown;
    unknown.u8(20).i32(1).raw("a").u8(24).u8(0x11).bytes({1, 2});
    EXPECT_EQ(Lines(DumpTagged(unknown)),
              (std::vector<std::string>{"text \"a\"", "record unknown type (0x11)", ">rest 0102"}));

    for (const std::vector<std::uint8_t>& bad :
         {std::vector<std::uint8_t>{4, 1}, std::vector<std::uint8_t>{17},
          std::vector<std::uint8_t>(infos.begin(), infos.end() - 1)}) {
        const auto e = Caught<framework::EQELException>([&] { DumpTagged(bad); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode, 1360);
    }
}

TEST(StoreDump, EmptyShortAndBrokenFiles) {
    for (const std::vector<std::uint8_t>& f :
         {std::vector<std::uint8_t>{0, 0, 0, 0}, std::vector<std::uint8_t>{7}}) {
        const TStoredValueFile v = DecodeValueFile(f);
        EXPECT_TRUE(v.Empty);
        EXPECT_EQ(v.StoredSize, 0u);
        EXPECT_TRUE(v.Decoded.empty());
    }
    EXPECT_THROW(DecodeValueFile({1, 2, 3, 4, 5, 0, 0, 0}), framework::EQELException);
}

}  // namespace
}  // namespace kestrane::product
