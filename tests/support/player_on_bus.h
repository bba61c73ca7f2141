// A player window on a virtual bus whose clock moves only when a test says. Start-up, ticks and
// clicks run the real handlers, through the window to its controller; the bus's log shows every
// command they sent.
#pragma once

#include "app/text_label.h"
#include "drive/aspi.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/position_slider.h"
#include "tests/support/bus_bench.h"

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

class PlayerOnBus : public BusBench {
protected:
    std::unique_ptr<CPlayerDlg> dialog;
    std::vector<std::pair<QString, QString>> errors; // caption and text of each message shown
    bool timersStarted = false;
    // Runs after the bus is installed and before the window opens: a layer over the bus goes here.
    std::function<void()> beforeWindow;

    void TearDown() override {
        dialog.reset();
        UnloadAspi();
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
