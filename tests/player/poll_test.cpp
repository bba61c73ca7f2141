// The position poll and the inputs that shape what it shows: the slider, the track list and the
// two time toggles.
#include "tests/support/controller_on_bus.h"

#include "player/trackbar_codes.h"

namespace player_test {
namespace {

class Poll : public ControllerOnBus {
protected:
    vdrive::CdromDrive* drive = nullptr;

    void SetUp() override {
        drive = &AddDrive(ThreeTrackDisc());
        Start();
    }
};

TEST_F(Poll, AMoveOfTwentyOneToTwentyNineFramesCountsAsPlaying) {
    struct Case {
        int32_t moved;
        bool playing;
    };
    for (const Case& c : {Case{20, false}, Case{21, true}, Case{26, true}, Case{29, true},
                          Case{30, false}, Case{-25, false}}) {
        SCOPED_TRACE(c.moved);
        MoveHead(1000);
        ControllerOnBus::Poll();
        MoveHead(1000 + c.moved); // the drive never says it plays: only the move tells
        ControllerOnBus::Poll();
        EXPECT_EQ(state.isPlaying, c.playing ? 1 : 0);
    }
}

TEST_F(Poll, ADriveThatSaysItPlaysCountsAtOnce) {
    drive->StartPlayingTrack(2);
    ControllerOnBus::Poll();
    EXPECT_EQ(state.isPlaying, 1);
}

TEST_F(Poll, AFailedReadChangesNothing) {
    PollAfter(0);
    const size_t shownBefore = window.changes.size();
    MoveHead(30000);
    bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR, 1));
    ControllerOnBus::Poll();
    EXPECT_EQ(window.changes.size(), shownBefore); // not even a transfer of the same texts
    EXPECT_EQ(state.lastPolledPosition, 0);
}

TEST_F(Poll, FollowsAPlayingDriveThroughTheReadoutsSliderAndTrackFields) {
    drive->StartPlayingTrack(1);
    PollAfter(10000); // 750 frames
    EXPECT_EQ(Shown().trackPositionText, "00:10");
    EXPECT_EQ(Shown().discPositionText, "00:10");
    EXPECT_EQ(Shown().slider.position, 1);

    PollAfter(260000); // into track 2: 20250 frames
    EXPECT_EQ(Shown().trackPositionText, "00:03");
    EXPECT_EQ(Shown().discPositionText, "04:30");
    EXPECT_EQ(Shown().trackSelection, 1);
    EXPECT_EQ(Shown().trackNumberText, "Track 2");
    EXPECT_EQ(Shown().trackTotalText, "Total track time: 04:26");
    EXPECT_EQ(state.currentTrack, 2);
}

TEST_F(Poll, AfterNextTheDisplayHoldsUntilTheDriveReportsTheNewTrack) {
    drive->StartPlayingTrack(1);
    PollAfter(10000);
    // The jump does not reach the drive yet: it goes on playing track 1.
    bus.InjectFault(0, 3, kOpSeek10, vdrive::Fault::Status(SS_ERR, 1));
    bus.InjectFault(0, 3, kOpPlayAudio12, vdrive::Fault::Status(SS_ERR, 1));
    player.OnNextTrack();
    EXPECT_EQ(Shown().slider.position, 20000 / 450); // the slider moves at once

    PollAfter(2000);
    EXPECT_EQ(Shown().trackPositionText, "00:10");
    EXPECT_EQ(Shown().trackNumberText, "Track 1");
    EXPECT_EQ(Shown().slider.position, 20000 / 450);
    EXPECT_FALSE(state.positionSynced);

    drive->StartPlayingTrack(2);
    PollAfter(1000);
    EXPECT_TRUE(state.positionSynced);
    EXPECT_EQ(Shown().trackPositionText, "00:01");
    EXPECT_EQ(Shown().trackNumberText, "Track 2");
    EXPECT_EQ(Shown().trackSelection, 1);
}

TEST_F(Poll, ADroppedListStopsTheSelectorFollowingUntilTheNextChoice) {
    MoveHead(19900);
    player.OnPlay();
    PollAfter(0);
    player.OnTrackDropDown(); // the user drops the list down and closes it without a choice
    EXPECT_FALSE(state.trackListClosed);

    PollAfter(3000); // 20125: track 2
    EXPECT_EQ(Shown().trackPositionText, "00:01");
    EXPECT_EQ(Shown().slider.position, 20125 / 450);
    EXPECT_EQ(Shown().trackSelection, 0);
    EXPECT_EQ(Shown().trackNumberText, "Track 1");

    ChooseTrackEntry(2);
    EXPECT_TRUE(state.trackListClosed);
    EXPECT_EQ(Shown().trackNumberText, "Track 3");
}

TEST_F(Poll, WhileStoppedTheTrackReadoutCountsFromTheCurrentTrack) {
    ChooseTrackEntry(1);
    MoveHead(21500); // 20 s into track 2, the drive idle
    ControllerOnBus::Poll();
    EXPECT_EQ(Shown().trackPositionText, "00:20");
    ChooseTrackEntry(0); // track 1 current; the choice moved the head, so it goes back
    MoveHead(21500);
    ControllerOnBus::Poll();
    EXPECT_EQ(Shown().trackPositionText, "04:46");
}

TEST_F(Poll, TheTogglesSwitchTheReadoutsToRemainingTimeAndBack) {
    player.OnDiscTimeMode();
    player.OnTrackTimeMode();
    EXPECT_TRUE(state.discTimeRemaining);
    EXPECT_EQ(Shown().discTimeCaption, "Remaining");
    EXPECT_EQ(Shown().discTimeCheck, 1);
    EXPECT_EQ(Shown().trackTimeCheck, 1);

    ChooseTrackEntry(2); // the last track: both readouts count down to the disc end
    struct Case {
        int32_t at;
        const char* disc;
        const char* track;
    };
    for (const Case& c : {Case{59999, "00:00", "00:00"}, Case{59924, "00:01", "00:01"},
                          Case{45000, "03:19", "03:19"}}) {
        SCOPED_TRACE(c.at);
        MoveHead(c.at);
        ControllerOnBus::Poll();
        EXPECT_EQ(Shown().discPositionText, c.disc);
        EXPECT_EQ(Shown().trackPositionText, c.track);
    }

    player.OnDiscTimeMode();
    EXPECT_FALSE(state.discTimeRemaining);
    EXPECT_EQ(Shown().discTimeCheck, 0);
    EXPECT_EQ(Shown().discTimeCaption, "Elapsed");
    ControllerOnBus::Poll();
    EXPECT_EQ(Shown().discPositionText, "10:00");
}

TEST_F(Poll, AThumbDragSeeksAndPlaysPerMoveWhileThePollLeavesTheThumbAlone) {
    player.OnPlay();
    bus.ClearLog();
    for (int thumb : {100, 50}) {
        player.OnHScroll(kTbThumbTrack, thumb);
    }
    EXPECT_EQ(Sent(), (Opcodes{kOpSeek10, kOpPlayAudio12, kOpSeek10, kOpPlayAudio12}));
    EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), 50 * 450);
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_TRUE(state.sliderDragging);

    PollAfter(10000); // the drive is at 23250: slider step 51
    EXPECT_EQ(Shown().slider.position, 50);
    EXPECT_EQ(Shown().trackPositionText, "00:43");

    bus.ClearLog();
    player.OnHScroll(kTbThumbPosition, 50); // the thumb is let go: no further seek
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(state.sliderDragging);
    ControllerOnBus::Poll();
    EXPECT_EQ(Shown().slider.position, 51);
}

TEST_F(Poll, ALeftButtonReleaseOnTheWindowEndsADrag) {
    player.OnHScroll(kTbThumbTrack, 0);
    ASSERT_TRUE(state.sliderDragging);
    player.OnLButtonUp();
    EXPECT_FALSE(state.sliderDragging);
}

TEST_F(Poll, ChoosingATrackPositionsTheDriveAndShowsTheTrack) {
    ChooseTrackEntry(1);
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 20000);
    EXPECT_EQ(PlayLengthOf(LastOf(kOpPlayAudio12)), 0); // not playing: positioned only
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_FALSE(state.positionSynced);
    EXPECT_EQ(Shown().trackNumberText, "Track 2");
    EXPECT_EQ(Shown().trackTotalText, "Total track time: 04:26");
}

class PollOnOddDiscs : public ControllerOnBus {};

TEST_F(PollOnOddDiscs, TheFirstPollNeverCountsAsPlayingEvenFarIntoALongDisc) {
    AddDrive(vdrive::MakeAudioDisc({0}, 400000));
    Start();
    MoveHead(370025); // 25 frames past the value that stands for "no poll yet"
    Poll();
    EXPECT_EQ(state.isPlaying, 0);
    EXPECT_EQ(Shown().discPositionText, "00:00"); // beyond 360000 shows as 0
}

TEST_F(PollOnOddDiscs, AfterStopOnADiscNumberedFromThreeTheWindowMovesToTrackOne) {
    AddDrive(vdrive::DemoThirdTrackDisc());
    Start();
    player.OnPlay();
    ChooseTrackEntry(2);
    player.OnStop();
    EXPECT_EQ(state.currentTrack, 1);

    Poll();
    EXPECT_EQ(Shown().trackSelection, -1) << "track 1 has no entry: the selection clears";
    EXPECT_EQ(Shown().trackNumberText, "Track 1");
    EXPECT_EQ(Shown().artistText, "unknown artist");
    EXPECT_EQ(Shown().trackPositionText, "00:00") << "measured from track 1's entry";
    EXPECT_EQ(state.currentTrack, 1);
}

} // namespace
} // namespace player_test
