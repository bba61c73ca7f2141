#include "vdrive/demo_discs.h"

#include "tests/vdrive/libcdio_cdtext.h"
#include "tests/vdrive/pack_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using vdrive::DiscImage;

struct DemoRow {
    std::string name;
    std::function<DiscImage()> make;
    int firstTrack;
    int lastTrack;
    std::vector<int> dataTracks;
    bool cdText;
};

TEST(DemoDiscs, LookLikeRealDiscs) {
    const std::vector<DemoRow> rows = {
        {"CD-Text album", vdrive::DemoCdTextDisc, 1, 12, {}, true},
        {"mixed mode", vdrive::DemoMixedDisc, 1, 10, {1}, false},
        {"third track first", vdrive::DemoThirdTrackDisc, 3, 7, {}, true},
    };
    for (const DemoRow& row : rows) {
        const DiscImage disc = row.make();
        ASSERT_EQ(disc.tracks.size(), static_cast<size_t>(row.lastTrack - row.firstTrack + 1))
            << row.name;
        EXPECT_EQ(disc.tracks.front().start, 0) << row.name;
        for (size_t i = 0; i < disc.tracks.size(); ++i) {
            const playback::DiscTrack& track = disc.tracks[i];
            EXPECT_EQ(track.number, row.firstTrack + static_cast<int>(i)) << row.name;
            const bool data =
                std::count(row.dataTracks.begin(), row.dataTracks.end(), track.number) > 0;
            EXPECT_EQ(track.control, data ? kControlData : 0)
                << row.name << " track " << track.number;
            const int32_t end =
                i + 1 < disc.tracks.size() ? disc.tracks[i + 1].start : disc.leadOut;
            if (!data) {
                EXPECT_GE(end - track.start, 2 * 60 * 75) << row.name << " track " << track.number;
                EXPECT_LE(end - track.start, 6 * 60 * 75) << row.name << " track " << track.number;
            }
            EXPECT_LE(track.pregapStart, track.start);
            EXPECT_GE(track.pregapStart, i == 0 ? 0 : disc.tracks[i - 1].start);
        }
        EXPECT_EQ(!disc.cdText.empty(), row.cdText) << row.name;
        if (row.cdText) {
            const LibcdioText text = DecodeWithLibcdio(disc.cdText);
            EXPECT_TRUE(text.accepted) << row.name;
            EXPECT_EQ(text.firstTrack, row.firstTrack) << row.name;
            EXPECT_EQ(text.lastTrack, row.lastTrack) << row.name;
        }
    }
}

TEST(DemoDiscs, TheCdTextAlbumHasItsAmpersandsAndOneTrackWithoutPerformer) {
    const DiscImage disc = vdrive::DemoCdTextDisc();
    const auto titles = PackStrings(disc.cdText, 0x80, 13);
    const auto performers = PackStrings(disc.cdText, 0x81, 13);
    EXPECT_NE(titles[0].find('&'), std::string::npos) << titles[0];
    EXPECT_EQ(std::count_if(titles.begin() + 1, titles.end(),
                            [](const std::string& t) { return t.find('&') != std::string::npos; }),
              1);
    EXPECT_TRUE(
        std::all_of(titles.begin(), titles.end(), [](const std::string& t) { return !t.empty(); }));
    EXPECT_FALSE(performers[0].empty());
    EXPECT_EQ(std::count(performers.begin() + 1, performers.end(), std::string()), 1);
}

} // namespace
