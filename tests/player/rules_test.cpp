// The pure rules under the handlers: which track a number, a target or a drive report means, and
// the readout texts, checked with the values a hostile drive could send.
#include "player/readouts.h"
#include "player/track_lookup.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <utility>

namespace {

// Tracks 3 to 5 at 0, 1000 and 2000, the disc ending at 3000.
PlayerState DiscFromThree() {
    PlayerState state;
    state.firstTrack = 3;
    state.lastTrack = 5;
    state.listBaseTrack = 3;
    state.trackStart[3] = 0;
    state.trackStart[4] = 1000;
    state.trackStart[5] = 2000;
    state.trackStart[6] = 3000;
    return state;
}

TEST(TrackRules, TheShownTrackIsTheDrivesOnlyWhilePlayingAndOnTheDisc) {
    PlayerState state = DiscFromThree();
    state.currentTrack = 4;
    struct Case {
        bool playing;
        int32_t reported;
        int32_t shown;
    };
    for (const Case& c : {Case{true, 5, 5}, Case{true, 3, 3}, Case{false, 5, 4}, Case{true, 0, 4},
                          Case{true, 6, 4}, Case{true, 255, 4}, Case{true, 2, 4}}) {
        EXPECT_EQ(ShownTrack(state, c.playing, c.reported), c.shown)
            << c.playing << " " << c.reported;
    }
}

TEST(TrackRules, ACurrentTrackOffTheDiscStaysItselfButInsideTheTable) {
    for (const auto& [current, kept] : {std::pair{1, 1}, std::pair{4, 4}, std::pair{99, 99},
                                        std::pair{-7, 0}, std::pair{500, 118}}) {
        EXPECT_EQ(TrackInTable(current), kept) << current;
    }
    PlayerState state = DiscFromThree();
    state.currentTrack = 1; // after Stop
    EXPECT_EQ(ShownTrack(state, false, 4), 1);
}

TEST(TrackRules, ASliderTargetBelongsToTheLastTrackStartingStrictlyBelowIt) {
    PlayerState state = DiscFromThree();
    struct Case {
        int32_t target;
        int32_t track;
    };
    for (const Case& c :
         {Case{0, 9}, Case{1, 3}, Case{1000, 3}, Case{1001, 4}, Case{2500, 5}, Case{999999, 5}}) {
        EXPECT_EQ(TrackBelowTarget(state, c.target, 9), c.track) << c.target;
    }
    state.lastTrack = 500; // a bound that is not the table's is not followed past it
    EXPECT_LE(TrackBelowTarget(state, 999999, 9), 118);
}

TEST(TrackRules, ReadsOutsideTheTablesGiveZeroAndTheEmptyText) {
    PlayerState state = DiscFromThree();
    state.trackPerformer[119] = "last row";
    EXPECT_EQ(TrackStartAt(state, 120), 0);
    EXPECT_EQ(TrackStartAt(state, -1), 0);
    EXPECT_EQ(PerformerAt(state, 119), "last row");
    EXPECT_EQ(PerformerAt(state, 120), "");
    EXPECT_EQ(DiscEndOf(state), 3000);
    state.lastTrack = 119;
    EXPECT_EQ(DiscEndOf(state), 0);
    state.lastTrack = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(DiscEndOf(state), 0);
}

TEST(PositionRules, TheAnswerGivesStatusTrackAndAddressButNotByteEight) {
    std::array<uint8_t, 16> answer{};
    answer[1] = 0x11;
    answer[6] = 0xFE;
    answer[8] = 0x7F;
    answer[9] = 0xFF;
    answer[10] = 0xFF;
    answer[11] = 0xFF;
    const SubChannelPosition decoded = DecodeSubChannelPosition(answer);
    EXPECT_EQ(decoded.audioStatus, 0x11);
    EXPECT_EQ(decoded.track, 254);
    EXPECT_EQ(decoded.position, 0xFFFFFF);
}

TEST(PositionRules, ReadoutsAreAlwaysFiveCharacters) {
    PlayerState state = DiscFromThree();
    EXPECT_EQ(TrackReadout(state, 4, 1075, false), "00:01");
    EXPECT_EQ(TrackReadout(state, 4, 1075, true), "00:12");
    EXPECT_EQ(DiscReadout(state, 3000, true), "00:00");
    EXPECT_EQ(DiscReadout(state, 3075, true), "00:00"); // beyond the end
    state.trackStart[5] = std::numeric_limits<int32_t>::min();
    state.trackStart[4] = std::numeric_limits<int32_t>::max();
    for (int32_t position :
         {0, 360000, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        for (bool remaining : {false, true}) {
            EXPECT_EQ(TrackReadout(state, 4, position, remaining).size(), 5u);
            EXPECT_EQ(TrackReadout(state, 200, position, remaining).size(), 5u);
            EXPECT_EQ(DiscReadout(state, position, remaining).size(), 5u);
        }
    }
    EXPECT_EQ(FormatFrameSpan(int64_t{1} << 40), "00:00");
}

} // namespace
