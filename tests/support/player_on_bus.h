// A player window on a virtual bus whose clock moves only when a test says. Start-up, ticks and
// clicks run the real handlers; the bus's log shows every command they sent.
#pragma once

#include "app/text_label.h"
#include "drive/aspi.h"
#include "drive/big_endian.h"
#include "drive/commands.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/position_slider.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace player_test {

using Opcodes = std::vector<uint8_t>;

// Three audio tracks at 0, 20000 and 40000, the lead-out at 60000: READ CAPACITY then reports
// 59999 as the disc end.
inline vdrive::DiscImage ThreeTrackDisc() {
    return vdrive::MakeAudioDisc({0, 20000, 40000}, 60000);
}
inline constexpr int32_t kThreeTrackDiscEnd = 59999;

// The address a logged SEEK(10) or PLAY AUDIO(12) carries in bytes 2-5, and a play's length.
inline int32_t AddressOf(const vdrive::LoggedCommand& command) {
    return static_cast<int32_t>(ReadBe32(command.cdb, 2));
}
inline int32_t PlayLengthOf(const vdrive::LoggedCommand& command) {
    return static_cast<int32_t>(ReadBe32(command.cdb, 6));
}

class PlayerOnBus : public testing::Test {
protected:
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    PlayerState state;
    std::unique_ptr<CPlayerDlg> dialog;
    std::vector<std::pair<QString, QString>> errors; // caption and text of each message shown
    bool timersStarted = false;
    // Runs after the bus is installed and before the window opens: a layer over the bus goes here.
    std::function<void()> beforeWindow;

    void TearDown() override {
        dialog.reset();
        UnloadAspi();
    }

    vdrive::CdromDrive& AddDrive(std::optional<vdrive::DiscImage> disc, int adapter = 0,
                                 int target = 3) {
        return bus.AddDrive(adapter, target, std::move(disc));
    }

    // Opens the window on the bus, which runs start-up. The window's own timers are stopped
    // again, so that only the test's ticks move anything.
    void Start() {
        bus.Install();
        if (beforeWindow) {
            beforeWindow();
        }
        OpenWindow();
        timersStarted = state.pollTimer != 0 && state.discTimer != 0;
        for (uint32_t* timer : {&state.pollTimer, &state.discTimer}) {
            if (*timer != 0) {
                dialog->killTimer(static_cast<int>(*timer));
                *timer = 0;
            }
        }
        bus.ClearLog();
    }

    void OpenWindow() {
        dialog = std::make_unique<CPlayerDlg>(state);
        dialog->showError = [this](const QString& caption, const QString& text) {
            errors.emplace_back(caption, text);
        };
        dialog->show(); // the first showing runs OnInitDialog
    }

    void Poll() { dialog->OnTimer(kPollTimerId); }
    void RefreshTick() { dialog->OnTimer(kDiscTimerId); }
    // A poll after `ms` of play.
    void PollAfter(int64_t ms) {
        clock.Advance(ms);
        Poll();
    }

    // The drive's head moves there, as if another program had sought (the window sends nothing).
    void MoveHead(int32_t address, int adapter = 0, int target = 3) {
        SeekLba(adapter, target, address);
        bus.ClearLog();
    }

    Opcodes Sent() const { return bus.LoggedOpcodes(); }
    const vdrive::LoggedCommand& LastOf(uint8_t opcode) const {
        for (auto it = bus.Log().rbegin(); it != bus.Log().rend(); ++it) {
            if (it->Opcode() == opcode) {
                return *it;
            }
        }
        static const vdrive::LoggedCommand kNone;
        ADD_FAILURE() << "no command " << int{opcode} << " was sent";
        return kNone;
    }

    // The user picks a selector entry.
    void ChooseTrackEntry(int index) {
        dialog->trackCombo->setCurrentIndex(index);
        dialog->OnTrackSelChange();
    }

    QString Shown(const char* objectName) const {
        return dialog->findChild<QLabel*>(QString::fromLatin1(objectName))->text();
    }
    std::vector<QString> TrackEntries() const {
        std::vector<QString> entries;
        for (int i = 0; i < dialog->trackCombo->count(); ++i) {
            entries.push_back(dialog->trackCombo->itemText(i));
        }
        return entries;
    }
};

} // namespace player_test
