#include "player/player_state.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(PlayerState, StartsWithTheRecordsStartValues) {
    const PlayerState state;
    EXPECT_EQ(state.currentTrack, 1);
    EXPECT_TRUE(state.positionSynced);
    EXPECT_TRUE(state.trackListClosed);
    EXPECT_EQ(state.lastPolledPosition, 370000);

    EXPECT_EQ(state.hostAdapterCount, 0);
    EXPECT_EQ(state.driveCount, 0);
    EXPECT_EQ(state.currentDrive, 0);
    EXPECT_EQ(state.firstTrack, 0);
    EXPECT_EQ(state.lastTrack, 0);
    EXPECT_EQ(state.listBaseTrack, 0);
    EXPECT_EQ(state.isPlaying, 0);
    EXPECT_EQ(state.playStarted, 0);
    EXPECT_FALSE(state.trackTimeRemaining);
    EXPECT_FALSE(state.discTimeRemaining);
    EXPECT_FALSE(state.sliderDragging);
    EXPECT_EQ(state.pollTimer, 0u);
    EXPECT_EQ(state.discTimer, 0u);
    auto zero = [](auto v) { return v == 0; };
    EXPECT_TRUE(std::all_of(state.driveAdapter.begin(), state.driveAdapter.end(), zero));
    EXPECT_TRUE(std::all_of(state.driveTarget.begin(), state.driveTarget.end(), zero));
    EXPECT_TRUE(std::all_of(state.trackStart.begin(), state.trackStart.end(), zero));
    EXPECT_TRUE(std::all_of(state.tocImage.begin(), state.tocImage.end(), zero));
    EXPECT_TRUE(std::all_of(state.trackPerformer.begin(), state.trackPerformer.end(),
                            [](const std::string& s) { return s.empty(); }));
}

TEST(PlayerState, OneInstanceServesTheProcess) {
    EXPECT_EQ(&ThePlayerState(), &ThePlayerState());
}

} // namespace
