// The window's start-up and closing: the message box without an ASPI layer and the window's
// end, the idle window without drives, the look of the readouts and captions, the cancel path
// and the OK path.
#include "tests/support/player_on_bus.h"

#include <QApplication>
#include <QTimer>

namespace player_test {
namespace {

using WindowStartUp = PlayerOnBus;

TEST_F(WindowStartUp, WithoutAnAspiLayerShowsTheMessageBoxThenTheWindowGoes) {
    OpenWindow();                  // nothing answers to the layer's name
    QApplication::processEvents(); // the queued end of the window

    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, QStringLiteral("Error"));
    EXPECT_EQ(errors[0].second, QStringLiteral("ASPI for Win32 is not initialized!"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(state.pollTimer, 0u);
    EXPECT_EQ(dialog->driveCombo->count(), 0);
}

TEST_F(WindowStartUp, TheMessageEndsARunningModalLoop) {
    CPlayerDlg window(state); // no layer
    window.showError = [this](const QString& caption, const QString& text) {
        errors.emplace_back(caption, text);
    };
    constexpr int kStillOpen = 42;
    QTimer::singleShot(10000, &window, [&window] { window.done(kStillOpen); }); // only if it hangs
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(WindowStartUp, WithNoMatchingDriveTheWindowStaysBlankWithoutTimersAndSendsNothing) {
    bus.AddDrive(0, 1, vdrive::DemoCdTextDisc(),
                 {vdrive::Identity{"OTHERCO ", "CD-ROM XR-1", "1.0"}});
    bus.AddDisk(0, 0);
    Start();

    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(timersStarted);
    EXPECT_EQ(dialog->driveCombo->count(), 0);
    for (const char* field : {"titleField", "artistField", "discTotalField", "trackTotalField",
                              "trackNumberField", "trackTimeLabel", "discTimeLabel"}) {
        EXPECT_TRUE(Shown(field).isEmpty()) << field;
    }

    // Nothing a user can do reaches a drive that was never listed, closing included.
    dialog->OnTimer(kPollTimerId);
    dialog->OnTimer(kDiscTimerId);
    for (QPushButton* button :
         {dialog->playButton, dialog->pauseButton, dialog->stopButton, dialog->backButton,
          dialog->forwardButton, dialog->nextButton, dialog->ejectButton, dialog->previousButton}) {
        button->click();
    }
    dialog->OnHScroll(kTbPageDown);
    dialog->OnDriveSelChange();
    dialog->OnTrackSelChange();
    dialog->reject();
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(WindowStartUp, StylesTheReadoutsAndCaptionsAndAddsTheAboutEntry) {
    AddDrive(ThreeTrackDisc());
    Start();
    for (CTextLabel* readout : {dialog->trackTimeLabel, dialog->discTimeLabel}) {
        EXPECT_EQ(readout->TextColor(), QColor(0, 255, 255));
        EXPECT_EQ(readout->BackBrush().color(), QColor(0, 0, 0));
        EXPECT_EQ(readout->FontDescription().height, -24); // a character height of 24 pixels
        EXPECT_TRUE(readout->HasStaticEdge());
    }
    for (CTextLabel* caption : {dialog->titleCaption, dialog->trackCaption, dialog->artistCaption,
                                dialog->trackPositionCaption, dialog->discPositionCaption}) {
        EXPECT_EQ(caption->FontDescription().weight, 700) << caption->objectName().toStdString();
    }
    EXPECT_TRUE(dialog->actions().contains(dialog->AboutAction()));
    EXPECT_FALSE(dialog->playButton->icon().isNull());

    int aboutShown = 0;
    dialog->aboutBox = [&] { ++aboutShown; };
    for (unsigned command : {0x0010u, 0x001Fu, 0x0020u, 0xF020u}) {
        dialog->OnSysCommand(command, 0);
    }
    EXPECT_EQ(aboutShown, 2); // 0x0010 to 0x001F open it
}

TEST_F(WindowStartUp, ClosingWhilePlayingStopsTheDriveBeforeTheWindowGoes) {
    vdrive::CdromDrive& drive = AddDrive(ThreeTrackDisc());
    Start();
    dialog->OnPlay();
    clock.Advance(5000);
    bus.ClearLog();

    dialog->reject(); // the close box and Escape take this path

    EXPECT_EQ(Sent(), Opcodes{kOpSeek10});
    EXPECT_EQ(AddressOf(bus.Log()[0]), 0);
    EXPECT_NE(drive.AudioStatus(), kAudioStatusPlaying);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(SeekLba(0, 3, 0), -1); // the layer is unloaded
}

TEST_F(WindowStartUp, OkEndsTheWindowWithoutTheClosingSteps) {
    vdrive::CdromDrive& drive = AddDrive(ThreeTrackDisc());
    Start();
    dialog->OnPlay();
    bus.ClearLog();

    dialog->accept();

    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusPlaying);
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace player_test
