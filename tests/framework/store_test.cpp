#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/allocation_peak.h"
#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "framework/bin_data_store.h"
#include "framework/blob_codec.h"
#include "framework/product_config.h"

namespace kestrane::framework {
namespace {

using kestrane::testing::AllocationPeak;
using kestrane::testing::Caught;

namespace fs = std::filesystem;

class StoreFolder : public kestrane::testing::TempFolderTest {
  protected:
    std::string Dir() const { return dir_; }
    void Put(const std::string& name, const support::Bytes& bytes) const {
        TempFolderTest::Put(name, std::string(bytes.begin(), bytes.end()));
    }
    support::Bytes Get(const std::string& name) const { return ReadFileBytes(dir_ + name).value(); }
};

const support::Bytes kAbcStream{0x78, 0x01, 0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};

TEST_F(StoreFolder, EncodedAbcIsTheComplementedStreamAndTrailer3) {
    const support::Bytes abc{'a', 'b', 'c'};
    support::Bytes encoded = CompressBlob(abc, clFastest);
    EXPECT_EQ(encoded, kAbcStream);
    InvertBytes(encoded);
    auto store = TQELIntfPtr<TQELSBDFProvider>::Make(Dir(), "");
    EXPECT_TRUE(store->WriteValue(encoded, 1, 14, 3));
    support::Bytes expected = kAbcStream;
    for (auto& b : expected) b = static_cast<std::uint8_t>(~b);
    expected.insert(expected.end(), {3, 0, 0, 0});
    EXPECT_EQ(Get("lumo_bd_1_14.lmb"), expected);

    const TQELStoredValue v = store->ReadValue(1, 14);
    ASSERT_TRUE(v.Found);
    EXPECT_EQ(v.Trailer, 3);
    support::Bytes back = v.Bytes;
    InvertBytes(back);
    EXPECT_EQ(DecompressBlob(back, v.Trailer), abc);
}

TEST_F(StoreFolder, EmptyShortAndMissingValues) {
    auto store = TQELIntfPtr<TQELSBDFProvider>::Make(Dir(), "");
    Put("lumo_bd_2_15.lmb", {0, 0, 0, 0});
    TQELStoredValue v = store->ReadValue(2, 15);
    EXPECT_TRUE(v.Found);
    EXPECT_TRUE(v.Bytes.empty());
    EXPECT_EQ(v.Trailer, 0);

    Put("lumo_bd_3_15.lmb", {9, 9});
    v = store->ReadValue(3, 15);
    EXPECT_TRUE(v.Found);
    EXPECT_TRUE(v.Bytes.empty());

    v = store->ReadValue(4, 15);
    EXPECT_FALSE(v.Found);
    EXPECT_TRUE(v.Bytes.empty());
}

TEST_F(StoreFolder, RewritingLeavesNoOldBytesAndNoTemporaryFiles) {
    auto store = TQELIntfPtr<TQELSBDFProvider>::Make(Dir(), "_X");
    EXPECT_EQ(store->FileName(1, 14), Dir() + "lumo_bd_1_14_X.lmb");
    EXPECT_TRUE(store->WriteValue(support::Bytes(100, 7), 1, 14, 100));
    EXPECT_FALSE(store->WriteValue({1, 2}, 1, 14, 2));
    EXPECT_EQ(Get("lumo_bd_1_14_X.lmb"), (support::Bytes{1, 2, 2, 0, 0, 0}));
    store->ClearValue(1, 14);
    EXPECT_EQ(Get("lumo_bd_1_14_X.lmb"), (support::Bytes{0, 0, 0, 0}));
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(StoreFolder, DiskFullRaises1024AndMissingFolder1030) {
    // A file size limit stands in for a full disk: writes past it stop short.
    auto store = TQELIntfPtr<TQELSBDFProvider>::Make(Dir(), "");
    store->WriteValue({1, 2, 3}, 1, 14, 3);
    const auto writeBeyondTheLimit = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto e =
            Caught<EQELException>([&] { store->WriteValue(support::Bytes(10000, 7), 1, 14, 10000); });
        if (!e) std::exit(2);
        const bool diskFull =
            e->ErrorCode == 1024 &&
            e->Description == "不支持此调用:\"TQELSBDFProvider.WriteBlobToDisk( Disk Full )\"";
        std::exit(diskFull ? 0 : 1);
    };
    EXPECT_EXIT(writeBeyondTheLimit(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Get("lumo_bd_1_14.lmb"), (support::Bytes{1, 2, 3, 3, 0, 0, 0}));  // the old value stays
    auto nowhere = TQELIntfPtr<TQELSBDFProvider>::Make(Dir() + "missing/", "");
    const auto e = Caught<EQELException>([&] { nowhere->WriteValue({1}, 1, 14, 1); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode, 1030);
    EXPECT_EQ(e->Description, "系统调用错误，错误码:[2]");
    EXPECT_FALSE(e->Detail.empty());
}

TEST(StoreNames, PostfixAndApplicationIdentifier) {
    EXPECT_EQ(ServerAppIdFromText(""), DefaultAppId);
    const auto g = ServerAppIdFromText("01234567-89ab-CDEF-0123-456789ABCDEFtrailing");
    EXPECT_EQ(support::GuidToString(g), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    const auto derived = ServerAppIdFromText("my server");
    EXPECT_EQ(derived, ServerAppIdFromText("my server"));
    EXPECT_NE(derived, DefaultAppId);

    EXPECT_EQ(StorePostfix("_Test", g), "_Test");
    EXPECT_EQ(StorePostfix("", DefaultAppId), "");
    EXPECT_EQ(StorePostfix("", g), "_0123456789ABCDEF0123456789ABCDEF");
    // The test environment sets neither variable.
    auto store = TQELIntfPtr<TQELSBDFProvider>::Make("/d/");
    EXPECT_EQ(store->FileName(2, 15), "/d/lumo_bd_2_15.lmb");
}

TEST(Codec, InvertTwiceGivesTheInputForAnyLength) {
    for (std::size_t n : {0u, 1u, 3u, 4u, 7u, 257u}) {
        support::Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 37);
        support::Bytes c = b;
        InvertBytes(c);
        if (n) {
            EXPECT_NE(c, b);
        }
        InvertBytes(c);
        EXPECT_EQ(c, b);
    }
}

TEST(Codec, DecompressGrowsPastItsHintAndRefusesBrokenStreams) {
    support::Bytes big(100000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i % 251);
    const auto stream = CompressBlob(big, clMax);
    for (std::int32_t hint : {0, -3, 10, 100000, 0x7FFFFFFF})
        EXPECT_EQ(DecompressBlob(stream, hint), big) << hint;
    EXPECT_NE(CompressBlob(big, clNone).size(), stream.size());

    struct Case {
        support::Bytes input;
        std::string description;
    } cases[] = {
        {{1, 2, 3, 4}, "不支持此调用:\".DecompressBlob(incorrect header check)\""},
        {support::Bytes(kAbcStream.begin(), kAbcStream.begin() + 6),
         "不支持此调用:\".DecompressBlob(buffer error)\""},
        {{}, "不支持此调用:\".DecompressBlob(buffer error)\""},
    };
    for (const auto& k : cases) {
        const auto e = Caught<EQELException>([&] { DecompressBlob(k.input, 0); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode, 1024);
        EXPECT_EQ(e->Description, k.description);
        EXPECT_EQ(std::string(e->what()), k.description);
    }
}

// What a value or a configuration may inflate to is one fixed bound: past it the same error on
// every machine, before more than the bound is held.
TEST(Codec, DecompressStopsAtItsBound) {
    const auto zeros = [](std::size_t n) { return CompressBlob(support::Bytes(n, 0), clFastest); };
    const support::Bytes atBound = zeros(kMaxDecompressedSize);
    const support::Bytes pastBound = zeros(kMaxDecompressedSize + 1);
    EXPECT_LT(pastBound.size(), 512u * 1024);
    EXPECT_EQ(DecompressBlob(atBound, 0).size(), kMaxDecompressedSize);
    for (std::int32_t hint : {0, 100, 0x7FFFFFFF}) {
        std::optional<EQELException> e;
        const std::size_t peak =
            AllocationPeak::Of([&] { e = Caught<EQELException>([&] { DecompressBlob(pastBound, hint); }); });
        ASSERT_TRUE(e) << hint;
        EXPECT_EQ(e->ErrorCode, 1024);
        EXPECT_EQ(e->Description, "不支持此调用:\".DecompressBlob(inflated data exceeds 67108864 bytes)\"");
        EXPECT_LT(peak, kMaxDecompressedSize + (8u << 20)) << hint;
    }
}

// A value is held once when its trailer tells its size; a missing or small hint costs one more copy
// at most, not the copies of a growing buffer, and one far too large no more than the bound.
TEST(Codec, DecompressHoldsTheValueOnceOrTwice) {
    if (!AllocationPeak::Supported()) GTEST_SKIP() << "needs the sanitizers' allocator to count memory";
    constexpr std::size_t kSize = 24u << 20;
    support::Bytes plain(kSize);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7 / 4096);
    const support::Bytes stream = CompressBlob(plain, clFastest);
    const struct {
        std::int32_t hint;
        double most;  // times the decoded size
    } cases[] = {{static_cast<std::int32_t>(kSize), 1.05},
                 {0, 2.05},
                 {1000, 2.05},
                 {0x7FFFFFFF, 1.05 + static_cast<double>(kMaxDecompressedSize) / kSize}};
    for (const auto& c : cases) {
        support::Bytes decoded;
        const std::size_t peak = AllocationPeak::Of([&] { decoded = DecompressBlob(stream, c.hint); });
        EXPECT_EQ(decoded, plain) << c.hint;
        EXPECT_LE(static_cast<double>(peak), c.most * kSize) << c.hint;
        EXPECT_EQ(decoded.capacity(), decoded.size()) << c.hint;
    }
}

TEST_F(StoreFolder, ProductConfigPastTheBoundIsNoConfiguration) {
    // Half a megabyte that inflates past the bound: the same verdict, whatever memory is free.
    const support::Bytes text(kMaxDecompressedSize + 1, ' ');
    Put("lumo.lumocf", CompressBlob(text, clFastest));
    EXPECT_TRUE(ReadProductConfig(Dir(), "").ConfigText.empty());
    Put("lumo.ini", {'[', 'a', ']'});
    EXPECT_EQ(ReadProductConfig(Dir(), "").ConfigText, "[a]");
}

TEST_F(StoreFolder, ProductConfigAndOverlayFiles) {
    auto compressed = [](const std::string& text) {
        return CompressBlob(support::Bytes(text.begin(), text.end()), clFastest);
    };
    // Nothing at all.
    EXPECT_TRUE(ReadProductConfig(Dir(), "").ConfigText.empty());
    // Plain ini without overlay.
    Put("lumo.ini", {'[', 'a', ']'});
    EXPECT_EQ(ReadProductConfig(Dir(), "").ConfigText, "[a]");
    // A compressed configuration that cannot be decoded falls back to the ini.
    Put("lumo.lumocf", {1, 2, 3});
    EXPECT_EQ(ReadProductConfig(Dir(), "").ConfigText, "[a]");
    Put("lumo.lumocf", compressed("[\xD6\xF7]"));
    Put("lumo.lumomv", compressed("plain"));
    Put("lumo_P.lumomv", compressed("postfixed"));
    TQELProductConfig c = ReadProductConfig(Dir(), "_P");
    EXPECT_EQ(c.ConfigText, "[主]");
    EXPECT_EQ(c.OverlayText, "postfixed");
    EXPECT_EQ(ReadProductConfig(Dir(), "_Q").OverlayText, "plain");
    Put("lumo.lumomv", {9});
    EXPECT_EQ(ReadProductConfig(Dir(), "").OverlayText, "");
}

}  // namespace
}  // namespace kestrane::framework
