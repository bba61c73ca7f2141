#include "disc/toc.h"
#include "tests/disc/fake_drive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::vector<int32_t> Numbers(const TrackTable& table) {
    std::vector<int32_t> numbers;
    for (const TrackEntry& track : table.tracks) {
        numbers.push_back(track.number);
    }
    return numbers;
}

// A record whose track table still holds an earlier disc's values everywhere.
PlayerState StateWithEarlierDisc() {
    PlayerState state;
    state.trackStart.fill(-7);
    return state;
}

TEST(TrackTable, AFirstTrackOtherThanOneNumbersTheDescriptorsFromIt) {
    const auto table = DecodeTrackTable(MakeToc(3, {{0}, {20000}, {45000}}, 60000));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->firstTrack, 3);
    EXPECT_EQ(table->lastTrack, 5);
    EXPECT_EQ(Numbers(*table), (std::vector<int32_t>{3, 4, 5}));

    PlayerState state = StateWithEarlierDisc();
    StoreTrackTable(state, *table, 59999);
    EXPECT_EQ(state.firstTrack, 3);
    EXPECT_EQ(state.lastTrack, 5);
    EXPECT_EQ(state.listBaseTrack, 3);
    EXPECT_EQ(state.trackStart[3], 0);
    EXPECT_EQ(state.trackStart[4], 20000);
    EXPECT_EQ(state.trackStart[5], 45000);
    EXPECT_EQ(state.trackStart[6], 59999);
    EXPECT_EQ(state.trackStart[2], -7) << "entries outside the disc keep the earlier values";
    EXPECT_EQ(state.trackStart[7], -7);
    EXPECT_EQ(TrackLength(state, 3), 20000);
    EXPECT_EQ(TrackLength(state, 5), 59999 - 45000) << "the last track ends at the disc end";
}

TEST(TrackTable, ADataTrackFirstIsListedWithATickAndTheDiscStillHasAudio) {
    const auto table =
        DecodeTrackTable(MakeToc(1, {{0, 0x04}, {11250}, {33750}, {60000, 0x04}}, 90000));
    ASSERT_TRUE(table);
    ASSERT_EQ(table->tracks.size(), 4u);
    EXPECT_FALSE(table->tracks[0].isAudio);
    EXPECT_TRUE(table->tracks[1].isAudio);
    EXPECT_TRUE(table->tracks[2].isAudio);
    EXPECT_FALSE(table->tracks[3].isAudio);
    EXPECT_TRUE(table->hasAudio);
    std::vector<int32_t> ticks;
    for (const TrackEntry& track : table->tracks) {
        ticks.push_back(track.sliderTick);
    }
    EXPECT_EQ(ticks, (std::vector<int32_t>{0, 25, 75, 133}));
}

TEST(TrackTable, DataTracksOnlyHaveNoAudio) {
    const auto table = DecodeTrackTable(MakeToc(1, {{0, 0x04}, {30000, 0x06}}, 50000));
    ASSERT_TRUE(table);
    EXPECT_FALSE(table->hasAudio);
}

TEST(TrackTable, NinetyNineTracksPutTheDiscEndAtIndexOneHundred) {
    const auto table = DecodeTrackTable(MakeAudioToc(1, 99));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->tracks.size(), 99u);
    EXPECT_EQ(table->tracks.back().number, 99);
    EXPECT_EQ(table->tracks.back().start, 98 * 4500);
    EXPECT_EQ(table->leadOutStart, 99 * 4500) << "the lead-out is the image's last descriptor";

    PlayerState state = StateWithEarlierDisc();
    StoreTrackTable(state, *table, 445499);
    EXPECT_EQ(state.trackStart[99], 98 * 4500);
    EXPECT_EQ(state.trackStart[100], 445499);
    EXPECT_EQ(state.trackStart[101], -7);
}

TEST(TrackTable, OnlyTheLowThreeAddressBytesAndNotTheTrackNumberByteAreRead) {
    std::vector<uint8_t> toc = MakeToc(1, {{0}, {0x0001C2}}, 0x2000);
    toc[12 + 4] = 0xFF; // descriptor 1, top address byte
    toc[12 + 2] = 0x07; // descriptor 1 claims to be track 7
    const auto table = DecodeTrackTable(toc);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->tracks[1].number, 2);
    EXPECT_EQ(table->tracks[1].start, 0x0001C2);
    EXPECT_EQ(table->tracks[1].sliderTick, 1);
}

TEST(TrackTable, AHeaderThatDescribesNoDiscIsUnreadable) {
    const struct {
        const char* name;
        uint8_t first;
        uint8_t last;
    } rows[] = {
        {"first track 0", 0, 5},    {"last track 0", 1, 0},     {"first track 100", 100, 100},
        {"last track 100", 1, 100}, {"last below first", 5, 4}, {"lead-out numbers", 0xAA, 0xAA},
        {"last track 255", 1, 255},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> toc = MakeAudioToc(1, 99);
        toc[2] = row.first;
        toc[3] = row.last;
        EXPECT_FALSE(DecodeTrackTable(toc)) << row.name;
    }
}

TEST(TrackTable, AnAnswerTooShortForItsTracksIsUnreadable) {
    const std::vector<uint8_t> toc = MakeAudioToc(1, 3);
    EXPECT_FALSE(DecodeTrackTable(std::span(toc).first(3)));
    EXPECT_FALSE(DecodeTrackTable(std::span(toc).first(4 + 8 * 3 - 1)));
    EXPECT_TRUE(DecodeTrackTable(std::span(toc).first(4 + 8 * 3)));
}

TEST(DiscEnd, ComesFromCapacityBytesOneToThree) {
    EXPECT_EQ(DiscEndFromCapacity(MakeCapacity(283574)), 283574);
    EXPECT_EQ(DiscEndFromCapacity(MakeCapacity(0x7F000010)), 0x10) << "byte 0 is not read";
    EXPECT_EQ(DiscEndFromCapacity(std::vector<uint8_t>{0, 1, 2}), 0);
}

TEST(DiscEnd, FallsBackToTheLeadOutStartOnlyWhenTheTocHasOne) {
    const std::vector<uint8_t> full = MakeToc(1, {{0}, {20000}}, 40000);
    const struct {
        const char* name;
        std::vector<uint8_t> toc;
        int32_t leadOut;
    } rows[] = {
        {"lead-out present", full, 40000},
        {"length stops before the lead-out",
         [&] {
             auto t = full;
             t[1] -= 8;
             return t;
         }(),
         0},
        {"answer cut before the lead-out's end", {full.begin(), full.end() - 1}, 0},
        {"descriptor is not the lead-out",
         [&] {
             auto t = full;
             t[20 + 2] = 3;
             return t;
         }(),
         0},
        {"length beyond the answer",
         [&] {
             auto t = full;
             t[0] = 0x03;
             return t;
         }(),
         40000},
    };
    for (const auto& row : rows) {
        const auto table = DecodeTrackTable(row.toc);
        ASSERT_TRUE(table) << row.name;
        EXPECT_EQ(table->leadOutStart, row.leadOut) << row.name;
        EXPECT_EQ(ResolveDiscEnd(std::nullopt, *table), row.leadOut) << row.name;
        EXPECT_EQ(ResolveDiscEnd(39999, *table), 39999) << row.name << ": capacity wins";
    }
}

TEST(TrackTable, TrackLengthOutsideTheTableIsZero) {
    PlayerState state;
    state.trackStart[118] = 5;
    state.trackStart[119] = 9;
    EXPECT_EQ(TrackLength(state, 118), 4);
    EXPECT_EQ(TrackLength(state, 119), 0);
    EXPECT_EQ(TrackLength(state, -1), 0);
}

// A real disc's READ TOC format-0 answer (Philip Glass, "Glassworks").
TEST(TrackTable, GlassworksRealTocDecodesToTheKnownTrackStarts) {
    std::ifstream file(std::string(DISCOLO_REALDATA_DIR) + "/amass/glassworks.toc.readtoc0_lba.bin",
                       std::ios::binary);
    ASSERT_TRUE(file) << "real data missing";
    const std::vector<uint8_t> toc{std::istreambuf_iterator<char>(file), {}};
    const auto table = DecodeTrackTable(toc);
    ASSERT_TRUE(table);
    std::vector<int32_t> starts;
    for (const TrackEntry& track : table->tracks) {
        starts.push_back(track.start);
        EXPECT_TRUE(track.isAudio);
    }
    EXPECT_EQ(starts, (std::vector<int32_t>{0, 28867, 55830, 90357, 117700, 150790, 178072, 183367,
                                            209050, 224427, 246772}));
    EXPECT_EQ(table->leadOutStart, 283575);
}

} // namespace
