// The table of contents as the digital play learns a disc from it: only a whole, consistent
// answer is a disc.
#include "drive/big_endian.h"
#include "playback/toc_decode.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(TocDecoding, OnlyAWholeConsistentTableIsADisc) {
    // Two audio tracks and a data track at 0, 20000, 30000; the lead-out at 40000.
    Bytes good{0x00, 0x22, 0x01, 0x03};
    for (const auto& [number, control, start] :
         {std::tuple{1, 0x10, 0}, {2, 0x10, 20000}, {3, 0x14, 30000}, {0xAA, 0x14, 40000}}) {
        Bytes descriptor(8, 0);
        descriptor[1] = static_cast<uint8_t>(control);
        descriptor[2] = static_cast<uint8_t>(number);
        WriteBe32(descriptor, 4, static_cast<uint32_t>(start));
        good.insert(good.end(), descriptor.begin(), descriptor.end());
    }
    const std::optional<playback::DiscLayout> layout = playback::DecodeToc(good);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->leadOut, 40000);
    ASSERT_EQ(layout->tracks.size(), 3u);
    EXPECT_EQ(layout->tracks[2].control, kControlData);
    EXPECT_EQ(layout->tracks[1].pregapStart, 20000) << "no pregap is made up";

    auto with = [&good](size_t at, uint8_t value) {
        Bytes bad = good;
        bad[at] = value;
        return bad;
    };
    const std::pair<const char*, Bytes> bad[] = {
        {"cut short", Bytes(good.begin(), good.end() - 8)},
        {"a length that leaves out the lead-out", with(1, 0x1A)},
        {"no first track", with(2, 0)},
        {"a last track before the first", with(3, 0)},
        {"a track missing", with(3, 4)},
        {"a track out of order", with(4 + 8 + 2, 3)},
        {"starts that go back", with(4 + 16 + 6, 0)},
        {"a lead-out before the last start", with(4 + 24 + 6, 0)},
        {"nothing at all", Bytes{}},
    };
    for (const auto& [what, answer] : bad) {
        EXPECT_FALSE(playback::DecodeToc(answer)) << what;
    }
}

} // namespace
