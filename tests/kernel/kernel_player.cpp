// The player window on the guest kernel's drives: the window's own start-up and handlers run, as
// a click or a timer tick would run them, against the virtual drive behind the kernel, through
// the SG layer and the kernel's sg or sr driver; first with the drive playing on its own, then
// with the digital play layer reading the audio into a WAV file (its SET CD SPEED and READ CD
// go through the kernel too). Prints "@@ CHECK name: ok|FAIL ..." lines.
//
//   kernel_player [--as UID:GID[:GROUPS]] --sheet CUE --scenario NAME
//
// Qt's offscreen platform draws the window; the timers are left to the program, which sends
// their ticks itself (it never runs the event loop, so they never fire on their own).
#include "audio/play_layer.h"
#include "audio/wav_file_sink.h"
#include "drive/aspi.h"
#include "platform/sg_layer.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/player_state.h"
#include "player/player_timers.h"
#include "tests/kernel/guest_tools.h"
#include "vdrive/cue_sheet.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <grp.h>
#include <unistd.h>

namespace {

using guest::DropTo;

int failedChecks = 0;
std::string scenario;

void Check(const std::string& name, bool ok, const QString& detail = {}) {
    std::printf("@@ CHECK %s player: %s: %s%s%s\n", scenario.c_str(), name.c_str(),
                ok ? "ok" : "FAIL", detail.isEmpty() ? "" : " ", detail.toUtf8().constData());
    failedChecks += ok ? 0 : 1;
}

void Wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

QString Shown(const CPlayerDlg& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(no %1)").arg(QString::fromLatin1(name));
}

// Picks the virtual drive in the drive selector, as a user would; false when it is not listed.
bool SelectTheVirtualDrive(CPlayerDlg& dialog) {
    const int drive = dialog.driveCombo->findText(QStringLiteral("ID:4   VX-7010SA"));
    if (drive < 0) {
        return false;
    }
    dialog.driveCombo->setCurrentIndex(drive);
    dialog.OnDriveSelChange();
    return true;
}

// The window as a user drives it: pick the virtual drive, play, next track, pause, resume,
// stop, eject and load; after each, the ticks the window's timers would send.
void DriveTheWindow(CPlayerDlg& dialog, const vdrive::DiscImage& disc) {
    const bool selected = SelectTheVirtualDrive(dialog);
    Check("the drive selector lists the virtual drive", selected,
          QString::number(dialog.driveCombo->count()) + " entries");
    if (!selected) {
        return;
    }
    dialog.OnTimer(kDiscTimerId);
    Check("the album title comes from the disc's CD-Text",
          dialog.titleText == QStringLiteral("Ring Buffer && Friends"), dialog.titleText);
    QStringList entries;
    for (int i = 0; i < dialog.trackCombo->count(); ++i) {
        entries << dialog.trackCombo->itemText(i);
    }
    Check("the track selector carries the track titles",
          entries == QStringList{QStringLiteral("[01]  Mailbox Overture"),
                                 QStringLiteral("[02]  Tail & Head"),
                                 QStringLiteral("[03]  Command Entry")},
          entries.join(QStringLiteral(", ")));

    dialog.OnPlay();
    Wait(1300);
    dialog.OnTimer(kPollTimerId);
    Check("Play: the track position runs", Shown(dialog, "trackTimeLabel") == "00:01",
          Shown(dialog, "trackTimeLabel"));

    dialog.OnNextTrack();
    Wait(1300);
    dialog.OnTimer(kPollTimerId);
    dialog.OnTimer(kPollTimerId);
    Check("Next: track 2 plays, with its performer",
          Shown(dialog, "trackNumberField") == "Track 2" &&
              dialog.artistText == QStringLiteral("Uio Ensemble") &&
              dialog.trackCombo->currentIndex() == 1,
          Shown(dialog, "trackNumberField") + " / " + dialog.artistText);

    dialog.OnPauseResume();
    dialog.OnTimer(kPollTimerId);
    const QString paused = Shown(dialog, "discTimeLabel");
    Wait(1200);
    dialog.OnTimer(kPollTimerId);
    Check("Pause: the position stands", Shown(dialog, "discTimeLabel") == paused, paused);
    dialog.OnPauseResume();
    Wait(1200);
    dialog.OnTimer(kPollTimerId);
    Check("Resume: the position runs on", Shown(dialog, "discTimeLabel") != paused,
          paused + " -> " + Shown(dialog, "discTimeLabel"));

    dialog.OnStop();
    dialog.OnTimer(kPollTimerId);
    Check("Stop: back at the first track", dialog.trackCombo->currentIndex() == 0,
          QString::number(dialog.trackCombo->currentIndex()));

    dialog.OnEjectLoad();
    Wait(300);
    dialog.OnTimer(kDiscTimerId);
    Check("Eject: the window says there is no disc",
          dialog.titleText == QStringLiteral("No Audio CD inserted"), dialog.titleText);
    dialog.OnEjectLoad();
    Wait(300);
    for (int tick = 0; tick < 3; ++tick) { // the new disc's unit attention may take a tick
        dialog.OnTimer(kDiscTimerId);
    }
    Check("Load: the disc is back",
          dialog.titleText == QStringLiteral("Ring Buffer && Friends") &&
              dialog.trackCombo->count() == static_cast<int>(disc.tracks.size()),
          dialog.titleText);
}

// The window again, over the digital play layer: Play is heard (the file grows) and the
// position runs by what was heard; Stop ends it.
void PlayDigitally(const std::string& wavPath) {
    std::string error;
    std::unique_ptr<audio::WavFileOutput> file = audio::WavFileOutput::Open(wavPath, error);
    Check("digital play: the WAV file opens", file != nullptr, QString::fromStdString(error));
    if (!file) {
        return;
    }
    std::unique_ptr<audio::PlayLayer> layer = audio::PlayLayer::OverInstalled(file->Factory());
    Check("digital play: the layer goes over the SG layer", layer != nullptr);
    if (!layer) {
        return;
    }
    layer->Install();
    PlayerState state;
    {
        CPlayerDlg dialog(state);
        dialog.show();
        Check("digital play: the drive selector lists the virtual drive",
              SelectTheVirtualDrive(dialog));
        dialog.OnPlay();
        Wait(1500);
        dialog.OnTimer(kPollTimerId);
        Check("digital play: the track position runs", Shown(dialog, "trackTimeLabel") == "00:01",
              Shown(dialog, "trackTimeLabel"));
        dialog.OnStop();
        Wait(300);
        dialog.OnCancel();
    }
    const uint64_t heard = file->FramesWritten();
    layer.reset(); // the drive has its fastest back at the latest now
    Check("digital play: READ CD through the kernel was heard", heard >= 75,
          QString::number(heard) + " frames");
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string sheet;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--as" && !DropTo(argv[++i])) {
            std::perror("drop privileges");
            return 2;
        } else if (argument == "--sheet") {
            sheet = argv[++i];
        } else if (argument == "--scenario") {
            scenario = argv[++i];
        }
    }
    vdrive::DiscImage disc;
    std::string error;
    if (!vdrive::LoadCueSheet(sheet, disc, error)) {
        std::printf("== cannot load %s: %s\n", sheet.c_str(), error.c_str());
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    InstallSgLayer(); // what `discolo` does for the drives of this computer
    PlayerState state;
    {
        CPlayerDlg dialog(state);
        dialog.show(); // the first showing runs OnInitDialog: discovery and the first refresh
        Check("start-up found drives and started both timers",
              state.driveCount >= 1 && state.pollTimer != 0 && state.discTimer != 0,
              QString::number(state.driveCount) + " drives");
        DriveTheWindow(dialog, disc);
        dialog.OnCancel();
    }
    PlayDigitally("/tmp/kernel-play-" + scenario + ".wav");
    std::printf("== player end: %d failed check(s)\n", failedChecks);
    return failedChecks == 0 ? 0 : 1;
}
