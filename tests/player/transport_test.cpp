// The transport buttons: the commands each one sends from each state, and the jumps they make.
#include "tests/support/controller_on_bus.h"

#include <functional>

namespace player_test {
namespace {

class Transport : public ControllerOnBus {
protected:
    vdrive::CdromDrive* drive = nullptr;

    void SetUp() override {
        drive = &AddDrive(ThreeTrackDisc());
        Start();
    }
    // Plays from the current position, as a click on Play does, and forgets what it sent.
    void Play() {
        player.OnPlay();
        bus.ClearLog();
    }
};

struct TransportRow {
    const char* from;
    std::function<void()> setUp;
    const char* event;
    std::function<void(PlayerController&)> click;
    int32_t isPlayingAfter;
    Opcodes sent;
};

TEST_F(Transport, EachButtonSendsWhatItsStateCallsFor) {
    auto stopped = [] {};
    auto neverPlayedButPlaying = [this] { state.isPlaying = 1; };
    auto playing = [this] { Play(); };
    auto paused = [this] {
        Play();
        player.OnPauseResume();
    };
    const TransportRow rows[] = {
        {"never played", stopped, "Pause/Resume", &PlayerController::OnPauseResume, 0, {}},
        {"never played, drive playing",
         neverPlayedButPlaying,
         "Pause/Resume",
         &PlayerController::OnPauseResume,
         1,
         {}},
        {"stopped",
         stopped,
         "Play",
         &PlayerController::OnPlay,
         1,
         {kOpReadSubChannel, kOpSeek10, kOpPlayAudio12}},
        {"paused",
         paused,
         "Play",
         &PlayerController::OnPlay,
         1,
         {kOpReadSubChannel, kOpSeek10, kOpPlayAudio12}},
        {"playing", playing, "Play", &PlayerController::OnPlay, 1, {kOpReadSubChannel}},
        {"playing", playing, "Pause/Resume", &PlayerController::OnPauseResume, 0, {kOpPauseResume}},
        {"paused", paused, "Pause/Resume", &PlayerController::OnPauseResume, 1, {kOpPauseResume}},
        {"playing", playing, "Stop", &PlayerController::OnStop, 0, {kOpSeek10}},
        {"stopped", stopped, "Stop", &PlayerController::OnStop, 0, {kOpSeek10}},
        {"playing",
         playing,
         "Next",
         &PlayerController::OnNextTrack,
         1,
         {kOpSeek10, kOpPlayAudio12}},
        {"stopped",
         stopped,
         "Next",
         &PlayerController::OnNextTrack,
         0,
         {kOpSeek10, kOpPlayAudio12}},
        {"playing",
         playing,
         "Fast forward",
         &PlayerController::OnFastForward,
         1,
         {kOpReadSubChannel, kOpSeek10, kOpPlayAudio12}},
        {"paused",
         paused,
         "Fast forward",
         &PlayerController::OnFastForward,
         0,
         {kOpReadSubChannel, kOpSeek10, kOpPlayAudio12}},
        {"playing (last: the tray stays open)",
         playing,
         "Eject/Load",
         &PlayerController::OnEjectLoad,
         0,
         {kOpSeek10, kOpStartStopUnit, kOpTestUnitReady, kOpStartStopUnit}},
    };
    for (const TransportRow& row : rows) {
        SCOPED_TRACE(std::string(row.from) + ", " + row.event);
        state.isPlaying = 0;
        state.playStarted = 0;
        MoveHead(1000);
        row.setUp();
        bus.ClearLog();

        row.click(player);

        EXPECT_EQ(state.isPlaying, row.isPlayingAfter);
        EXPECT_EQ(Sent(), row.sent);
    }
}

TEST_F(Transport, PlayPlaysFromTheDrivesPositionToTheDiscEnd) {
    ChooseTrackEntry(1);
    MoveHead(1234);
    player.OnPlay();
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 1234);
    EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), 1234);
    EXPECT_EQ(PlayLengthOf(LastOf(kOpPlayAudio12)), kThreeTrackDiscEnd - 1234 - 1);
    EXPECT_EQ(state.currentTrack, 2); // the track the selector shows
    EXPECT_EQ(state.playStarted, 1);
    EXPECT_EQ(drive->AudioStatus(), kAudioStatusPlaying);
}

TEST_F(Transport, PlayWithoutAPositionStartsTheSelectedTrack) {
    ChooseTrackEntry(2);
    bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR, 1));
    player.OnPlay();
    EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), 40000);
    EXPECT_EQ(state.currentTrack, 3);
}

TEST_F(Transport, PlayWithAnEmptySelectorKeepsTheCurrentTrackAndStartsAtZeroWithoutAPosition) {
    // The table of contents can no longer be read: the rebuild empties the selector.
    bus.InjectFault(0, 3, kOpReadToc, vdrive::Fault::Status(SS_ERR, 2));
    RefreshTick();
    ASSERT_TRUE(Shown().trackEntries.empty());
    state.currentTrack = 2;
    bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR, 1));
    player.OnPlay();
    EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), 0);
    EXPECT_EQ(state.currentTrack, 2);
}

TEST_F(Transport, AFailedPauseStillFlipsThePlayFlag) {
    Play();
    bus.InjectFault(0, 3, kOpPauseResume, vdrive::Fault::Status(SS_ERR, 1));
    player.OnPauseResume();
    EXPECT_EQ(state.isPlaying, 0);
}

TEST_F(Transport, StopSeeksToZeroAndMakesTrackOneCurrent) {
    Play();
    ChooseTrackEntry(2);
    player.OnStop();
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 0);
    EXPECT_EQ(state.currentTrack, 1);
    EXPECT_EQ(Shown().slider.position, 0);
    EXPECT_EQ(Shown().trackSelection, 2); // the selector is left to the next poll
}

TEST_F(Transport, PreviousGoesBackWithinThreeSecondsAndRestartsAfter) {
    struct Case {
        int32_t into; // frames into track 2
        bool positionRead;
        int32_t currentAfter;
        int32_t soughtTo;
    };
    for (const Case& c :
         {Case{225, true, 1, 0}, Case{226, true, 2, 20000}, Case{0, false, 2, 20000}}) {
        SCOPED_TRACE(c.into);
        ChooseTrackEntry(1);
        MoveHead(20000 + c.into);
        if (!c.positionRead) {
            bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR, 1));
        }
        state.positionSynced = true;
        player.OnPreviousTrack();
        EXPECT_EQ(state.currentTrack, c.currentAfter);
        EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), c.soughtTo);
        EXPECT_FALSE(state.positionSynced);
        bus.ClearLog();
    }
}

TEST_F(Transport, PreviousOnTheFirstEntryAndNextOnTheLastDoNothing) {
    ChooseTrackEntry(0);
    bus.ClearLog();
    player.OnPreviousTrack();
    ChooseTrackEntry(2);
    bus.ClearLog();
    player.OnNextTrack();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.currentTrack, 3);
}

TEST_F(Transport, NextJumpsToTheFollowingTrackStart) {
    Play();
    player.OnNextTrack();
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_FALSE(state.positionSynced);
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 20000);
    EXPECT_EQ(PlayLengthOf(LastOf(kOpPlayAudio12)), kThreeTrackDiscEnd - 20000 - 1);
    EXPECT_EQ(Shown().slider.position, 20000 / 450);
}

TEST_F(Transport, FastStepsMoveSixSecondsButNeverBelowZero) {
    struct Case {
        const char* button;
        void (PlayerController::*step)();
        int32_t from;
        std::optional<int32_t> soughtTo;
    };
    const Case cases[] = {
        {"forward", &PlayerController::OnFastForward, 1000, 1450},
        {"forward past the end", &PlayerController::OnFastForward, 59990, 60440},
        {"backward", &PlayerController::OnFastBackward, 1000, 550},
        {"backward at 450", &PlayerController::OnFastBackward, 450, 0},
        {"backward at 449", &PlayerController::OnFastBackward, 449, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        MoveHead(c.from);
        const int32_t current = state.currentTrack;
        (player.*c.step)();
        if (c.soughtTo) {
            EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), *c.soughtTo);
        } else {
            EXPECT_EQ(Sent(), Opcodes{kOpReadSubChannel});
        }
        EXPECT_EQ(state.currentTrack, current);
        bus.ClearLog();
    }
}

TEST_F(Transport, AFastStepDoesNothingWithoutAPosition) {
    bus.InjectFault(0, 3, kOpReadSubChannel, vdrive::Fault::Status(SS_ERR));
    player.OnFastForward();
    player.OnFastBackward();
    EXPECT_EQ(Sent(), (Opcodes{kOpReadSubChannel, kOpReadSubChannel}));
}

TEST_F(Transport, HoldingAFastButtonStepsOncePerTick) {
    Play();
    window.forwardHeld = true;
    Poll();
    Poll();
    window.forwardHeld = false;
    Poll();
    EXPECT_EQ(bus.CountCommands(kOpSeek10), 2u);
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 900);

    bus.ClearLog();
    window.backHeld = true;
    Poll();
    window.backHeld = false;
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 450);
}

TEST_F(Transport, AJumpToEightyMinutesOrMorePlaysFromZero) {
    Play();
    struct Case {
        int32_t to;
        int32_t playsFrom;
    };
    for (const Case& c : {Case{359999, 359999}, Case{360000, 0}, Case{500000, 0}, Case{-5, 0}}) {
        SCOPED_TRACE(c.to);
        state.isPlaying = 1;
        player.SeekAndPlay(c.to);
        EXPECT_EQ(AddressOf(LastOf(kOpSeek10)) & 0xFFFFFF, c.to & 0xFFFFFF); // sought as asked
        EXPECT_EQ(AddressOf(LastOf(kOpPlayAudio12)), c.playsFrom);
        EXPECT_EQ(Shown().slider.position, std::min(c.playsFrom / 450, Shown().slider.maximum));
        bus.ClearLog();
    }
}

TEST_F(Transport, AJumpWhileStoppedOnlyPositions) {
    player.SeekAndPlay(30000);
    EXPECT_EQ(PlayLengthOf(LastOf(kOpPlayAudio12)), 0);
    EXPECT_EQ(drive->Position(), 30000);
    EXPECT_NE(drive->AudioStatus(), kAudioStatusPlaying);
}

TEST_F(Transport, EjectLoadOpensTheTrayOfAReadyDriveAndOnlyStopsAnEmptyOne) {
    player.OnEjectLoad();
    EXPECT_TRUE(drive->TrayOpen());

    vdrive::CdromDrive& empty = AddDrive(std::nullopt, 0, 4);
    state.driveAdapter[1] = 0;
    state.driveTarget[1] = 4;
    state.driveCount = 2;
    state.currentDrive = 1;
    bus.ClearLog();
    player.OnEjectLoad();
    EXPECT_EQ(Sent(), (Opcodes{kOpSeek10, kOpStartStopUnit, kOpTestUnitReady}));
    EXPECT_FALSE(empty.TrayOpen());
}

} // namespace
} // namespace player_test
