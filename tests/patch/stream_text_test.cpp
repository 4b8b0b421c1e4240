#include "patch/stream_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/allocation_peak.h"
#include "common/expect_error.h"
#include "patch/component_stream.h"
#include "patch/res_items.h"
#include "patch/texts.h"
#include "stream_test_util.h"

namespace kestrane::patch {
namespace {

using kestrane::testing::AllocationPeak;
using kestrane::testing::FailsWith;

using namespace testing;

// Keeps what the decoder hands over, one entry a FILEDATA.
struct RecordingSink : StreamFileSink {
    struct Entry {
        std::string itemName;
        support::Bytes content;
        int pieces = 0;
        bool ended = false;
    };
    std::vector<Entry> entries;

    void Begin(const std::string& itemName, StreamFile& file) override {
        entries.push_back({itemName, {}, 0, false});
        file.savedAs = "at " + itemName;
    }
    void Write(std::span<const std::uint8_t> piece) override {
        entries.back().content.insert(entries.back().content.end(), piece.begin(), piece.end());
        ++entries.back().pieces;
    }
    void End(StreamFile& file) override {
        entries.back().ended = true;
        file.sha256 = "digest";
    }
};

// Counts what it is given and keeps nothing, as a sink that hashes or writes out does.
struct CountingSink : StreamFileSink {
    std::uint64_t bytes = 0;
    void Begin(const std::string&, StreamFile&) override {}
    void Write(std::span<const std::uint8_t> piece) override { bytes += piece.size(); }
    void End(StreamFile&) override {}
};

TEST(StreamDecode, ItemsAreHeldOneAtATime) {
    if (!AllocationPeak::Supported()) GTEST_SKIP() << "needs the sanitizers' allocator to count memory";
    constexpr std::size_t kItem = 8u << 20;
    constexpr int kItems = 5;
    support::Bytes bytes;
    {
        TResCollection files;
        for (int i = 0; i < kItems; ++i) {
            TResItem& item = files.Create<TResItem>();
            item.Name = "part" + std::to_string(i);
            item.MemStream.resize(kItem);
            for (std::size_t k = 0; k < kItem; ++k)
                item.MemStream[k] = static_cast<std::uint8_t>(k / 512 + i);
        }
        bytes = WriteObjectStream(files);
    }
    CountingSink sink;
    const std::size_t peak = AllocationPeak::Of([&] { DecodeStream(bytes, &sink); });
    EXPECT_EQ(sink.bytes, std::uint64_t{kItem} * kItems);
    EXPECT_LT(peak, 2 * kItem);
}

TEST(StreamDecode, RecordsShowTheirBytesAndFileContentGoesToTheSinkInPieces) {
    TResCollection files;
    TResItem& big = files.Create<TResItem>();
    big.Name = "big.bin";
    for (int i = 0; i < 600000; ++i) big.MemStream.push_back(static_cast<std::uint8_t>(i * 7 + i / 300));
    files.Create<TResItem>();  // no name, no content
    const support::Bytes bytes = WriteObjectStream(files);

    RecordingSink sink;
    const StreamRecord root = DecodeStream(bytes, &sink);
    EXPECT_EQ(root.className, "TResCollection");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].className, "TResItem");

    ASSERT_EQ(sink.entries.size(), 2u);
    EXPECT_EQ(sink.entries[0].itemName, "big.bin");
    EXPECT_EQ(sink.entries[0].content, big.MemStream);
    EXPECT_GT(sink.entries[0].pieces, 1) << "the content is never held whole";
    EXPECT_EQ(sink.entries[1].itemName, "");
    EXPECT_TRUE(sink.entries[1].content.empty());
    EXPECT_TRUE(sink.entries[0].ended && sink.entries[1].ended);

    // The property shows the size and what the sink filled in.
    const auto fileOf = [](const StreamRecord& r) {
        for (const StreamProperty& p : r.properties)
            if (p.kind == StreamProperty::FileData) return p.file;
        ADD_FAILURE() << "no FILEDATA in " << r.className;
        return StreamFile{};
    };
    const StreamFile first = fileOf(root.children[0]);
    EXPECT_EQ(first.size, big.MemStream.size());
    EXPECT_EQ(first.sha256, "digest");
    EXPECT_EQ(first.savedAs, "at big.bin");
    EXPECT_EQ(fileOf(root.children[1]).size, 0u);

    // Without a sink the tree is the same, only the sink's part stays empty.
    const StreamRecord bare = DecodeStream(bytes);
    EXPECT_EQ(fileOf(bare.children[0]).size, big.MemStream.size());
    EXPECT_TRUE(fileOf(bare.children[0]).sha256.empty());
}

TEST(StreamDecode, BadStreamsFailWithTheReadersMessageBeforeAnyContentIsHandedOver) {
    TResCollection files;
    files.Create<TResItem>().MemStream = {1, 2, 3};
    const support::Bytes good = WriteObjectStream(files);
    const struct {
        const char* what;
        support::Bytes bytes;
        const char* message;
    } cases[] = {
        {"no signature", AsBytes("TPF1"), texts::kInvalidStreamFormat},
        {"cut short", support::Bytes(good.begin(), good.end() - 3), texts::kStreamReadError},
        {"unknown class", AsBytes(Stream(Head("TNoSuchClass") + Z + Z)), "Class TNoSuchClass not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingSink sink;
        EXPECT_TRUE(FailsWith<EStreamError>([&] { DecodeStream(c.bytes, &sink); }, c.message));
        EXPECT_TRUE(sink.entries.empty());
    }
}

}  // namespace
}  // namespace kestrane::patch
