// Discs arriving and leaving: unit attention once after a disc arrives, the tray, and the
// player's one-button eject/load sequence.
#include "tests/vdrive/bus_fixture.h"

#include "drive/commands.h"

namespace vdrive_test {
namespace {

using namespace vdrive;

class Tray : public VirtualBus {
protected:
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());

    // The player's Eject/Load button: load, and eject again when the drive is then ready.
    void EjectLoadButton() {
        LoadMedium(0, 3);
        if (TestUnitReady(0, 3) == 1) {
            EjectMedium(0, 3);
        }
    }
};

TEST_F(Tray, ADiscInTheDriveFromTheStartRaisesNoUnitAttention) {
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP);
}

TEST_F(Tray, TheFirstCommandAfterADiscArrivesAnswersUnitAttentionOnce) {
    const Bytes firstCommands[] = {
        TurCdb(),         ReadTocCdb(0, 0, 0, 804), SubChannelCdb(0, 1, 1),
        Play10Cdb(0, 75), StartStopCdb(0x01),       B({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0})};
    for (const Bytes& cdb : firstCommands) {
        SCOPED_TRACE(testing::PrintToString(cdb));
        drive.InsertDisc(TwoTrackDisc());
        EXPECT_EQ(Send(0, 3, InquiryCdb(), 56).status, SS_COMP) << "INQUIRY is exempt";
        EXPECT_EQ(RequestedSense(0, 3), (Sense{kSenseKeyNoSense, 0, kAudioStatusNone}))
            << "so is REQUEST SENSE";
        const Sent first = Send(0, 3, cdb, 804);
        EXPECT_EQ(first.status, SS_ERR);
        EXPECT_EQ(first.sense(), kSenseMediumMayHaveChanged);
        EXPECT_EQ(RequestedSense(0, 3), kSenseMediumMayHaveChanged);
        EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP) << "only once";
    }
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusNone)
        << "the PLAY that met the unit attention did not run";
}

TEST_F(Tray, EjectStopsPlayAndOpensTheTrayAndLoadBringsTheDiscBack) {
    ASSERT_EQ(PlayAudioLba(0, 3, 0, 30000), 1);
    clock.Advance(1000);
    ASSERT_EQ(EjectMedium(0, 3), 1);
    EXPECT_TRUE(drive.TrayOpen());
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseNoMediumTrayOpen);
    EXPECT_EQ(EjectMedium(0, 3), 1) << "ejecting an open tray is no error";

    ASSERT_EQ(LoadMedium(0, 3), 1);
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseMediumMayHaveChanged);
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP);
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusNone);
    EXPECT_EQ(LoadMedium(0, 3), 1);
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP) << "loading a closed drive changes nothing";
}

TEST_F(Tray, ThePlayersEjectLoadButtonTogglesTheTray) {
    EjectLoadButton();
    EXPECT_TRUE(drive.TrayOpen()) << "a ready disc: the tray opens";
    EjectLoadButton();
    EXPECT_FALSE(drive.TrayOpen()) << "an open tray closes, and the unit attention keeps it closed";

    drive.RemoveDisc();
    EjectLoadButton();
    EXPECT_FALSE(drive.TrayOpen()) << "an empty drive is never ready";
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseNoMedium);
}

TEST_F(Tray, ADiscPutOnAnOpenTrayArrivesWhenTheTrayCloses) {
    drive.OpenTray();
    drive.RemoveDisc();
    drive.InsertDisc(TwoTrackDisc());
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseNoMediumTrayOpen);
    drive.CloseTray();
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseMediumMayHaveChanged);

    drive.InsertDisc(TwoTrackDisc());
    drive.RemoveDisc();
    EXPECT_EQ(Send(0, 3, TurCdb()).sense(), kSenseNoMedium)
        << "a disc gone again leaves no attention";
}

} // namespace
} // namespace vdrive_test
