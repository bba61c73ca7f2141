// The position poll and the inputs that shape what it shows: the slider, the track list and the
// two time toggles.
#include "tests/support/player_on_bus.h"

#include <QTest>

namespace player_test {
namespace {

class Poll : public PlayerOnBus {
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
        PlayerOnBus::Poll();
        MoveHead(1000 + c.moved); // the drive never says it plays: only the move tells
        PlayerOnBus::Poll();
        EXPECT_EQ(state.isPlaying, c.playing ? 1 : 0);
    }
}

TEST_F(Poll, ADriveThatSaysItPlaysCountsAtOnce) {
    drive->StartPlayingTrack(2);
    PlayerOnBus::Poll();
    EXPECT_EQ(state.isPlaying, 1);
}

TEST_F(Poll, AFailedReadChangesNothing) {
    PollAfter(0);
    const QString shown = Shown("discTimeLabel");
    MoveHead(30000);
    bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR, 1));
    dialog->discPositionText = QStringLiteral("99:99"); // would show if the tick transferred
    PlayerOnBus::Poll();
    EXPECT_EQ(Shown("discTimeLabel"), shown);
    EXPECT_EQ(state.lastPolledPosition, 0);
}

TEST_F(Poll, FollowsAPlayingDriveThroughTheReadoutsSliderAndTrackFields) {
    drive->StartPlayingTrack(1);
    PollAfter(10000); // 750 frames
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:10"));
    EXPECT_EQ(Shown("discTimeLabel"), QStringLiteral("00:10"));
    EXPECT_EQ(dialog->positionSlider->GetPos(), 1);

    PollAfter(260000); // into track 2: 20250 frames
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:03"));
    EXPECT_EQ(Shown("discTimeLabel"), QStringLiteral("04:30"));
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 1);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 2"));
    EXPECT_EQ(Shown("trackTotalField"), QStringLiteral("Total track time: 04:26"));
    EXPECT_EQ(state.currentTrack, 2);
}

TEST_F(Poll, AfterNextTheDisplayHoldsUntilTheDriveReportsTheNewTrack) {
    drive->StartPlayingTrack(1);
    PollAfter(10000);
    // The jump does not reach the drive yet: it goes on playing track 1.
    bus.InjectFault(0, 3, kOpSeek10, vdrive::Fault::Status(SS_ERR, 1));
    bus.InjectFault(0, 3, kOpPlayAudio12, vdrive::Fault::Status(SS_ERR, 1));
    dialog->OnNextTrack();
    EXPECT_EQ(dialog->positionSlider->GetPos(), 20000 / 450); // the slider moves at once

    PollAfter(2000);
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:10"));
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 1"));
    EXPECT_EQ(dialog->positionSlider->GetPos(), 20000 / 450);
    EXPECT_FALSE(state.positionSynced);

    drive->StartPlayingTrack(2);
    PollAfter(1000);
    EXPECT_TRUE(state.positionSynced);
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:01"));
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 2"));
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 1);
}

TEST_F(Poll, ADroppedListStopsTheSelectorFollowingUntilTheNextChoice) {
    MoveHead(19900);
    dialog->OnPlay();
    PollAfter(0);
    dialog->trackCombo->showPopup(); // the user drops the list down ...
    dialog->trackCombo->hidePopup(); // ... and closes it without a choice
    EXPECT_FALSE(state.trackListClosed);

    PollAfter(3000); // 20125: track 2
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:01"));
    EXPECT_EQ(dialog->positionSlider->GetPos(), 20125 / 450);
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 0);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 1"));

    ChooseTrackEntry(2);
    EXPECT_TRUE(state.trackListClosed);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 3"));
}

TEST_F(Poll, WhileStoppedTheTrackReadoutCountsFromTheCurrentTrack) {
    ChooseTrackEntry(1);
    MoveHead(21500); // 20 s into track 2, the drive idle
    PlayerOnBus::Poll();
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:20"));
    state.currentTrack = 1;
    dialog->trackCombo->setCurrentIndex(0);
    PlayerOnBus::Poll();
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("04:46"));
}

TEST_F(Poll, TheTogglesSwitchTheReadoutsToRemainingTimeAndBack) {
    QTest::mouseClick(dialog->discTimeModeButton, Qt::LeftButton);
    QTest::mouseClick(dialog->trackTimeModeButton, Qt::LeftButton);
    EXPECT_TRUE(state.discTimeRemaining); // the program's own check change ran no second handler
    EXPECT_TRUE(dialog->discTimeModeButton->isChecked());
    EXPECT_EQ(dialog->discTimeModeButton->text(), QStringLiteral("Remaining"));
    EXPECT_EQ(dialog->discTimeCheck, 1);
    EXPECT_EQ(dialog->trackTimeCheck, 1);

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
        PlayerOnBus::Poll();
        EXPECT_EQ(Shown("discTimeLabel"), QString::fromLatin1(c.disc));
        EXPECT_EQ(Shown("trackTimeLabel"), QString::fromLatin1(c.track));
    }

    QTest::mouseClick(dialog->discTimeModeButton, Qt::LeftButton);
    EXPECT_FALSE(state.discTimeRemaining);
    EXPECT_FALSE(dialog->discTimeModeButton->isChecked());
    EXPECT_EQ(dialog->discTimeModeButton->text(), QStringLiteral("Elapsed"));
    PlayerOnBus::Poll();
    EXPECT_EQ(Shown("discTimeLabel"), QStringLiteral("10:00"));
}

TEST_F(Poll, AThumbDragSeeksAndPlaysPerMoveWhileThePollLeavesTheThumbAlone) {
    dialog->OnPlay();
    bus.ClearLog();
    for (int thumb : {100, 50}) {
        dialog->positionSlider->SetPos(thumb);
        dialog->OnHScroll(kTbThumbTrack);
    }
    EXPECT_EQ(Sent(), (Opcodes{kOpSeek10, kOpPlayAudio12, kOpSeek10, kOpPlayAudio12}));
    EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), 50 * 450);
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_TRUE(state.sliderDragging);

    PollAfter(10000); // the drive is at 23250: slider step 51
    EXPECT_EQ(dialog->positionSlider->GetPos(), 50);
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:43"));

    bus.ClearLog();
    dialog->OnHScroll(kTbThumbPosition); // the thumb is let go: no further seek
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(state.sliderDragging);
    PlayerOnBus::Poll();
    EXPECT_EQ(dialog->positionSlider->GetPos(), 51);
}

TEST_F(Poll, ALeftButtonReleaseOnTheWindowEndsADrag) {
    dialog->OnHScroll(kTbThumbTrack);
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(2, dialog->height() - 2));
    EXPECT_FALSE(state.sliderDragging);
}

TEST_F(Poll, HomeAndEndMoveTheThumbWithoutSeekingWhilePagesSeek) {
    dialog->positionSlider->SetPos(60);
    QTest::keyClick(dialog->positionSlider, Qt::Key_Home);
    EXPECT_EQ(dialog->positionSlider->GetPos(), 0);
    QTest::keyClick(dialog->positionSlider, Qt::Key_End);
    EXPECT_EQ(dialog->positionSlider->GetPos(), 133);
    EXPECT_TRUE(Sent().empty());

    QTest::keyClick(dialog->positionSlider, Qt::Key_PageUp);
    EXPECT_EQ(Sent(), (Opcodes{kOpSeek10, kOpPlayAudio12}));
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 83 * 450);
    EXPECT_EQ(state.currentTrack, 2);
}

TEST_F(Poll, ChoosingATrackPositionsTheDriveAndShowsTheTrack) {
    ChooseTrackEntry(1);
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 20000);
    EXPECT_EQ(PlayLengthOf(LastOf(kOpPlayAudio12)), 0); // not playing: positioned only
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_FALSE(state.positionSynced);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 2"));
    EXPECT_EQ(Shown("trackTotalField"), QStringLiteral("Total track time: 04:26"));
}

class PollOnOddDiscs : public PlayerOnBus {};

TEST_F(PollOnOddDiscs, TheFirstPollNeverCountsAsPlayingEvenFarIntoALongDisc) {
    AddDrive(vdrive::MakeAudioDisc({0}, 400000));
    Start();
    MoveHead(370025); // 25 frames past the value that stands for "no poll yet"
    Poll();
    EXPECT_EQ(state.isPlaying, 0);
    EXPECT_EQ(Shown("discTimeLabel"), QStringLiteral("00:00")); // beyond 360000 shows as 0
}

TEST_F(PollOnOddDiscs, AfterStopOnADiscNumberedFromThreeTheWindowMovesToTrackOne) {
    AddDrive(vdrive::DemoThirdTrackDisc());
    Start();
    dialog->OnPlay();
    ChooseTrackEntry(2);
    dialog->OnStop();
    EXPECT_EQ(state.currentTrack, 1);

    Poll();
    EXPECT_EQ(dialog->trackCombo->currentIndex(), -1)
        << "track 1 has no entry: the selection clears";
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 1"));
    EXPECT_EQ(Shown("artistField"), QStringLiteral("unknown artist"));
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:00")) << "measured from track 1's entry";
    EXPECT_EQ(state.currentTrack, 1);
}

} // namespace
} // namespace player_test
