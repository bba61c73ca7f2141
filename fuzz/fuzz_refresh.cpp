// Fuzz target: the disc refresh and the position poll of the real player window against a drive
// whose answers to READ TOC, READ CAPACITY, READ SUB-CHANNEL and the rest come from the
// fuzzer's bytes, with the bytes also choosing which tick or user action comes next.
#include "drive/aspi.h"
#include "player/player_dlg.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"
#include "vdrive/hostile_drive.h"

#include <QApplication>

#include <memory>

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "fuzz_refresh";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *application;
}

struct Bytes {
    const uint8_t* at;
    const uint8_t* end;
    uint8_t Next() { return at < end ? *at++ : 0; }
    bool Done() const { return at >= end; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Application();
    Bytes bytes{data, data + size};
    vdrive::ManualClock clock;
    vdrive::Bus bus(clock);
    vdrive::CdromDrive honest(clock, vdrive::DemoCdTextDisc());
    bus.AddDevice(
        0, 3, std::make_unique<vdrive::HostileDrive>(honest, [&bytes] { return bytes.Next(); }));
    bus.Install();

    PlayerState state;
    {
        CPlayerDlg dialog(state);
        dialog.showError = [](const QString&, const QString&) {};
        dialog.OnInitDialog();
        for (int step = 0; step < 64 && !bytes.Done(); ++step) {
            switch (bytes.Next() % 8) {
            case 0:
                dialog.RefreshDisc();
                break;
            case 1:
                dialog.OnPlay();
                break;
            case 2:
                dialog.OnNextTrack();
                break;
            case 3:
                dialog.OnPreviousTrack();
                break;
            case 4:
                dialog.OnHScroll(bytes.Next() % 10);
                break;
            case 5:
                dialog.OnTrackDropDown();
                break;
            default:
                break;
            }
            clock.Advance(kPollIntervalMs);
            dialog.PollPosition();
            if (dialog.trackPositionText.size() != 5 || dialog.discPositionText.size() != 5) {
                __builtin_trap(); // a readout is always "mm:ss"
            }
        }
    }
    UnloadAspi();
    return 0;
}
