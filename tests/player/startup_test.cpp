// Start-up and closing as the controller runs them: the message without an ASPI layer, the idle
// player without drives, the first drive's disc with two drives, a change of drive, and what
// closing sends and stops.
#include "tests/support/controller_on_bus.h"

#include "player/trackbar_codes.h"
#include "tests/support/recording_layer.h"

#include <optional>

namespace player_test {
namespace {

using StartUp = ControllerOnBus;

TEST_F(StartUp, WithoutAnAspiLayerShowsTheMessageThenEndsTheWindowWithoutACommand) {
    struct Case {
        const char* name;
        bool layerReportingZero; // else nothing answers to the layer's name at all
    };
    for (const Case& c : {Case{"no layer", false}, Case{"a layer reporting no support", true}}) {
        SCOPED_TRACE(c.name);
        std::optional<RecordingLayer> layer;
        if (c.layerReportingZero) {
            layer.emplace();
            layer->supportInfo = 0;
        }
        StandInWindow failed;
        StandInTimers noTimers;
        PlayerController starting(state, &noTimers, &failed);
        starting.OnInitDialog();

        ASSERT_EQ(failed.errors.size(), 1u);
        EXPECT_EQ(failed.errors[0].first, "Error");
        EXPECT_EQ(failed.errors[0].second, "ASPI for Win32 is not initialized!");
        EXPECT_TRUE(failed.destroyed);
        EXPECT_TRUE(noTimers.started.empty());
        EXPECT_EQ(state.pollTimer, 0u);
        EXPECT_EQ(state.discTimer, 0u);
        EXPECT_TRUE(failed.shown.driveEntries.empty());
        if (layer) {
            EXPECT_TRUE(layer->requests.empty());
        }
    }
}

TEST_F(StartUp, WithNoMatchingDriveTheWindowStaysBlankWithoutTimersAndSendsNothing) {
    bus.AddDrive(0, 1, vdrive::DemoCdTextDisc(),
                 {vdrive::Identity{"OTHERCO ", "CD-ROM XR-1", "1.0"}});
    bus.AddDisk(0, 0);
    Start();

    EXPECT_TRUE(window.errors.empty());
    EXPECT_FALSE(window.destroyed);
    EXPECT_TRUE(timers.started.empty());
    EXPECT_TRUE(Shown().driveEntries.empty());
    // The readouts' "00:00" is never transferred: every field stays blank.
    for (const std::string* text :
         {&Shown().titleText, &Shown().artistText, &Shown().discTotalText, &Shown().trackTotalText,
          &Shown().trackNumberText, &Shown().trackPositionText, &Shown().discPositionText}) {
        EXPECT_TRUE(text->empty()) << *text;
    }

    // Nothing a user can do reaches a drive that was never listed, closing included.
    window.forwardHeld = true;
    window.backHeld = true;
    Poll();
    RefreshTick();
    for (void (PlayerController::*click)() :
         {&PlayerController::OnPlay, &PlayerController::OnPauseResume, &PlayerController::OnStop,
          &PlayerController::OnFastBackward, &PlayerController::OnFastForward,
          &PlayerController::OnNextTrack, &PlayerController::OnEjectLoad,
          &PlayerController::OnPreviousTrack}) {
        (player.*click)();
    }
    player.OnHScroll(kTbPageDown, 10);
    player.OnDriveSelChange(0);
    player.OnTrackSelChange(0);
    player.OnCancel();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(StartUp, WithTwoDrivesListsBothSelectsTheFirstAndShowsItsDisc) {
    AddDrive(vdrive::DemoCdTextDisc(), 0, 3);
    AddDrive(vdrive::DemoMixedDisc(), 1, 2);
    Start();

    ASSERT_EQ(Shown().driveEntries.size(), 2u);
    EXPECT_EQ(Shown().driveEntries[0], "ID:3   VX-6012SA");
    EXPECT_EQ(Shown().driveEntries[1], "ID:2   VX-6012SA");
    EXPECT_EQ(Shown().driveSelection, 0);
    EXPECT_EQ(state.currentDrive, 0);
    EXPECT_EQ(state.hostAdapterCount, 2);
    // Timer 1 polls every 350 ms, timer 2 refreshes the disc every 500 ms.
    EXPECT_EQ(timers.started, (std::vector<std::pair<int, int>>{{1, 350}, {2, 500}}));
    EXPECT_EQ(state.pollTimer, 101u);
    EXPECT_EQ(state.discTimer, 102u);
    EXPECT_EQ(Shown().titleText, "Tides && Tin Roofs");
    EXPECT_EQ(Shown().artistText, "The Marlow Vane Quartet");
    EXPECT_EQ(Shown().trackEntries.size(), 12u);
    EXPECT_EQ(Shown().trackPositionText, "00:00");
    EXPECT_EQ(Shown().discPositionText, "00:00");
}

TEST_F(StartUp, ChoosingAnotherDriveStopsTheOldOneThenReadsTheNew) {
    vdrive::CdromDrive& first = AddDrive(vdrive::DemoCdTextDisc(), 0, 3);
    AddDrive(vdrive::DemoMixedDisc(), 1, 2);
    Start();
    first.StartPlayingTrack(2);

    player.OnDriveSelChange(1);

    ASSERT_GE(bus.Log().size(), 2u);
    EXPECT_EQ(bus.Log()[0].Opcode(), kOpSeek10);
    EXPECT_EQ(bus.Log()[0].target, 3);
    EXPECT_EQ(AddressOf(bus.Log()[0]), 0);
    EXPECT_EQ(bus.Log()[1].Opcode(), kOpReadToc);
    EXPECT_EQ(bus.Log()[1].target, 2);
    EXPECT_NE(first.AudioStatus(), kAudioStatusPlaying);
    EXPECT_EQ(state.currentDrive, 1);
    EXPECT_EQ(Shown().driveSelection, 1);
    EXPECT_EQ(Shown().titleText, "Audio CD");
}

TEST_F(StartUp, ClosingWhilePlayingStopsTheDriveKillsBothTimersAndUnloadsTheLayer) {
    vdrive::CdromDrive& drive = AddDrive(ThreeTrackDisc());
    Start();
    player.OnPlay();
    clock.Advance(5000);
    bus.ClearLog();

    player.OnCancel();

    EXPECT_EQ(Sent(), Opcodes{kOpSeek10});
    EXPECT_EQ(AddressOf(bus.Log()[0]), 0);
    EXPECT_NE(drive.AudioStatus(), kAudioStatusPlaying);
    EXPECT_EQ(timers.killed, (std::vector<uint32_t>{102, 101})); // the disc timer first
    EXPECT_EQ(state.pollTimer, 0u);
    EXPECT_EQ(state.discTimer, 0u);
    EXPECT_EQ(SeekLba(0, 3, 0), -1); // the layer is unloaded
}

} // namespace
} // namespace player_test
