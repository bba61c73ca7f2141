// The texts the disc refresh gives each track, from a table of contents and CD-Text packs laid
// out as a disc's encoder lays them, without a window.
#include "player/track_texts.h"

#include "disc/cdtext.h"
#include "tests/disc/cdtext_packs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

TrackTable Tracks(int32_t first, int32_t last) {
    TrackTable table;
    table.firstTrack = first;
    table.lastTrack = last;
    for (int32_t number = first; number <= last; ++number) {
        table.tracks.push_back({number, 4500 * (number - first), true, 10 * (number - first)});
    }
    return table;
}

struct DiscCase {
    const char* name;
    int32_t firstTrack;
    int32_t lastTrack;
    Texts titles;     // items of pack type 0x80: the album's, then the tracks'
    Texts performers; // items of pack type 0x81
    std::string albumTitle;
    Texts entries;
    Texts trackPerformers;
};

TEST(TrackTexts, EntriesAndPerformersFollowTheDiscsItemsFromItsFirstTrack) {
    const std::string longText(300, 'x');
    // clang-format off
    const DiscCase cases[] = {
        {"a disc numbered from 3 takes item 1 for track 3; TAB repeats, none falls back", 3, 6,
         {"Album & Co", "\t", "A & B", "\t", "Four"}, {"Band & Co", "Singer", "\t"},
         "Album && Co",
         {"[03]  ", "[04]  A & B", "[05]  A & B", "[06]  Four"},
         {"Singer", "Singer", "Band && Co", "Band && Co"}},
        {"a TAB performer on the first track is the disc's; tracks beyond the texts are empty", 1, 3,
         {"Album", "One"}, {"Band", "\t"},
         "Album",
         {"[01]  One", "[02]  ", "[03]  "},
         {"Band", "Band", "Band"}},
        {"no performer texts at all leave the rows empty", 1, 2,
         {"Album", "One", "Two"}, {},
         "Album",
         {"[01]  One", "[02]  Two"},
         {"", ""}},
        {"texts are cut to the buffers, a repeat of a long title included", 1, 2,
         {longText, longText, "\t"}, {"Band", longText, "\t"},
         std::string(199, 'x'),
         {"[01]  " + std::string(93, 'x'), "[02]  " + std::string(93, 'x')},
         {std::string(119, 'x'), std::string(119, 'x')}},
    };
    // clang-format on
    for (const DiscCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Packs> groups{EncodePacks(kPackTypeTitle, c.titles)};
        if (!c.performers.empty()) {
            groups.push_back(EncodePacks(kPackTypePerformer, c.performers));
        }
        const std::vector<uint8_t> response = DiscTextResponse(groups);
        const DiscTextItems items(response, AnnouncedLength(response));

        const DiscTexts texts = MakeDiscTexts(Tracks(c.firstTrack, c.lastTrack), &items);
        EXPECT_EQ(texts.albumTitle, c.albumTitle);
        Texts entries;
        Texts performers;
        for (const TrackText& track : texts.tracks) {
            EXPECT_EQ(track.track, c.firstTrack + static_cast<int32_t>(entries.size()));
            entries.push_back(track.entry);
            ASSERT_TRUE(track.performer.has_value());
            performers.push_back(*track.performer);
        }
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(performers, c.trackPerformers);
    }
}

TEST(TrackTexts, WithoutCdTextEachTrackIsNumberedAndKeepsItsRow) {
    const DiscTexts texts = MakeDiscTexts(Tracks(9, 11), nullptr);
    EXPECT_EQ(texts.albumTitle, "");
    Texts entries;
    for (const TrackText& track : texts.tracks) {
        entries.push_back(track.entry);
        EXPECT_FALSE(track.performer.has_value()) << track.track;
    }
    EXPECT_EQ(entries, (Texts{"Track 09", "Track 10", "Track 11"}));
}

} // namespace
