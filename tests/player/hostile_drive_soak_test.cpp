// The player window against drives that cannot be trusted: answers with any status, noise in
// every answer, track numbers from 0 to 255, lengths that lie, trays that open and devices that
// vanish and come back, with random user actions between the timer ticks. Nothing may crash,
// every index must stay in its table (the test build checks them) and every time readout must
// stay five characters. DISCOLO_SOAK_SEED replays a run; DISCOLO_SOAK_TICKS sets its length.
#include "app/text_label.h"
#include "drive/aspi.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/position_slider.h"
#include "tests/support/readout_format.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"
#include "vdrive/hostile_drive.h"

#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

namespace {

uint64_t EnvironmentNumber(const char* name, uint64_t otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : otherwise;
}

class HostileSoak {
public:
    explicit HostileSoak(uint64_t seed) : random(seed) {
        auto source = [this] { return static_cast<uint8_t>(random()); };
        bus.AddDevice(0, 3, std::make_unique<vdrive::HostileDrive>(first, source));
        bus.AddDevice(1, 2, std::make_unique<vdrive::HostileDrive>(second, source));
        bus.Install();
        dialog.showError = [](const QString&, const QString&) {};
    }
    ~HostileSoak() { UnloadAspi(); }

    // One user action, or one thing happening to a drive, or nothing.
    void Disturb() {
        const uint32_t what = Below(40);
        switch (what) {
        case 0:
            dialog.OnPlay();
            break;
        case 1:
            dialog.OnStop();
            break;
        case 2:
            dialog.OnPauseResume();
            break;
        case 3:
            dialog.OnEjectLoad();
            break;
        case 4:
            dialog.OnPreviousTrack();
            break;
        case 5:
            dialog.OnNextTrack();
            break;
        case 6:
            dialog.OnFastForward();
            break;
        case 7:
            dialog.OnFastBackward();
            break;
        case 8:
            dialog.forwardButton->setDown(!dialog.forwardButton->isDown());
            break;
        case 9:
            dialog.backButton->setDown(!dialog.backButton->isDown());
            break;
        case 10:
            if (dialog.trackCombo->count() > 0) {
                dialog.trackCombo->setCurrentIndex(
                    static_cast<int>(Below(static_cast<uint32_t>(dialog.trackCombo->count()))));
                dialog.OnTrackSelChange();
            }
            break;
        case 11:
            dialog.OnTrackDropDown();
            break;
        case 12:
            dialog.OnTrackTimeMode();
            break;
        case 13:
            dialog.OnDiscTimeMode();
            break;
        case 14:
            dialog.positionSlider->setValue(static_cast<int>(Below(1000)));
            dialog.OnHScroll(static_cast<int>(Below(10)));
            break;
        case 15:
            dialog.OnLButtonUp();
            break;
        case 16:
            if (dialog.driveCombo->count() > 0) {
                dialog.driveCombo->setCurrentIndex(
                    static_cast<int>(Below(static_cast<uint32_t>(dialog.driveCombo->count()))));
                dialog.OnDriveSelChange();
            }
            break;
        case 17:
            Drive().OpenTray();
            break;
        case 18:
            Drive().CloseTray();
            break;
        case 19:
            Drive().RemoveDisc();
            break;
        case 20:
            Drive().InsertDisc(Below(2) ? vdrive::DemoCdTextDisc() : vdrive::DemoMixedDisc());
            break;
        case 21: // the device vanishes for a while and comes back
            bus.InjectFault(Below(2) ? 0 : 1, Below(2) ? 3 : 2,
                            vdrive::Fault::Status(SS_NO_DEVICE, static_cast<int>(1 + Below(20))));
            break;
        case 22: // any status the layer may give, for the next few commands
            bus.InjectFault(0, 3,
                            vdrive::Fault::Status(static_cast<uint8_t>(random()),
                                                  static_cast<int>(1 + Below(4))));
            break;
        default:
            break;
        }
    }

    // One poll tick, and a disc tick every other one, as the two timers would run them.
    void Tick(uint64_t tick) {
        clock.Advance(kPollIntervalMs);
        if (tick % 2 == 1) {
            dialog.OnTimer(kDiscTimerId);
        }
        dialog.OnTimer(kPollTimerId);
    }

    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    vdrive::CdromDrive first{clock, vdrive::DemoCdTextDisc()};
    vdrive::CdromDrive second{clock, vdrive::DemoMixedDisc()};
    PlayerState state;
    CPlayerDlg dialog{state};

private:
    uint32_t Below(uint32_t limit) { return static_cast<uint32_t>(random() % limit); }
    vdrive::CdromDrive& Drive() { return Below(2) ? first : second; }

    std::mt19937_64 random;
};

TEST(HostileDriveSoak, PlayerSurvivesAHostileDriveAndKeepsEveryReadoutFiveCharacters) {
    const uint64_t seed = EnvironmentNumber(
        "DISCOLO_SOAK_SEED",
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    const uint64_t ticks = EnvironmentNumber("DISCOLO_SOAK_TICKS", 100000);
    std::printf("hostile-drive soak: seed %llu, %llu ticks (replay with DISCOLO_SOAK_SEED=%llu)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(ticks),
                static_cast<unsigned long long>(seed));
    RecordProperty("seed", std::to_string(seed));

    HostileSoak soak(seed);
    soak.dialog.OnInitDialog();
    ASSERT_EQ(soak.state.driveCount, 2) << "INQUIRY stays honest, so both drives are listed";

    for (uint64_t tick = 0; tick < ticks; ++tick) {
        soak.Disturb();
        soak.Tick(tick);
        // The readouts are written by every rebuild and every successful poll.
        const std::string track = soak.dialog.trackTimeLabel->text().toStdString();
        const std::string disc = soak.dialog.discTimeLabel->text().toStdString();
        ASSERT_TRUE(IsReadout(track))
            << "track readout '" << track << "' at tick " << tick << ", seed " << seed;
        ASSERT_TRUE(IsReadout(disc))
            << "disc readout '" << disc << "' at tick " << tick << ", seed " << seed;
        ASSERT_GE(soak.state.currentDrive, 0);
        ASSERT_LT(soak.state.currentDrive, soak.state.driveCount);
    }
    soak.dialog.OnCancel();
}

} // namespace
