// The player's controller on a virtual bus, with no toolkit: a stand-in window shows the view
// parts the controller names, as a real window would (so a change the controller does not name
// never shows), holds the fast buttons down when a test says, and notes the message and the end
// of the window; stand-in timers never fire, so only the test's ticks move anything.
#pragma once

#include "drive/aspi.h"
#include "player/player_controller.h"
#include "player/player_timers.h"
#include "tests/support/bus_bench.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace player_test {

class StandInWindow : public PlayerWindow {
public:
    PlayerView shown;                                        // what the window shows
    std::vector<ViewParts> changes;                          // every notification, in order
    std::vector<std::pair<std::string, std::string>> errors; // caption and text of each message
    bool destroyed = false;
    bool forwardHeld = false;
    bool backHeld = false;

    void ViewChanged(const PlayerView& view, ViewParts parts) override {
        changes.push_back(parts);
        if ((parts & kViewTexts) != 0) {
            for (auto text :
                 {&PlayerView::artistText, &PlayerView::titleText, &PlayerView::trackTotalText,
                  &PlayerView::discTotalText, &PlayerView::trackPositionText,
                  &PlayerView::discPositionText, &PlayerView::trackNumberText}) {
                shown.*text = view.*text;
            }
            shown.trackTimeCheck = view.trackTimeCheck;
            shown.discTimeCheck = view.discTimeCheck;
        }
        if ((parts & kViewToggles) != 0) {
            shown.trackTimeCheck = view.trackTimeCheck;
            shown.discTimeCheck = view.discTimeCheck;
            shown.trackTimeCaption = view.trackTimeCaption;
            shown.discTimeCaption = view.discTimeCaption;
        }
        if ((parts & kViewDriveEntries) != 0) {
            shown.driveEntries = view.driveEntries;
            shown.driveSelection = view.driveSelection;
        }
        if ((parts & kViewDriveSelection) != 0) {
            shown.driveSelection = view.driveSelection;
        }
        if ((parts & kViewTrackEntries) != 0) {
            shown.trackEntries = view.trackEntries;
            shown.trackSelection = view.trackSelection;
        }
        if ((parts & kViewTrackSelection) != 0) {
            shown.trackSelection = view.trackSelection;
        }
        if ((parts & kViewTrackEnabled) != 0) {
            shown.trackSelectorEnabled = view.trackSelectorEnabled;
        }
        if ((parts & kViewSliderScale) != 0) {
            // A new range moves the thumb inside it, as a trackbar does; nothing else does.
            const int32_t position = shown.slider.position;
            shown.slider = view.slider;
            shown.slider.position = std::clamp(position, view.slider.minimum,
                                               std::max(view.slider.minimum, view.slider.maximum));
        }
        if ((parts & kViewSliderPosition) != 0) {
            shown.slider.position = view.slider.position;
        }
    }
    bool FastButtonHeld(FastButton button) const override {
        return button == FastButton::Forward ? forwardHeld : backHeld;
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        errors.emplace_back(caption, text);
    }
    void DestroyWindow() override { destroyed = true; }
};

class StandInTimers : public PlayerTimers {
public:
    std::vector<std::pair<int, int>> started; // id and interval of each timer started
    std::vector<uint32_t> killed;

    uint32_t StartTimer(int id, int intervalMs) override {
        started.emplace_back(id, intervalMs);
        return static_cast<uint32_t>(100 + id);
    }
    void KillTimer(uint32_t timer) override { killed.push_back(timer); }
};

class ControllerOnBus : public BusBench {
protected:
    StandInWindow window;
    StandInTimers timers;
    PlayerController player{state, &timers, &window};

    void TearDown() override { UnloadAspi(); }

    // Installs the bus and runs start-up; the log then starts empty.
    void Start() {
        bus.Install();
        player.OnInitDialog();
        bus.ClearLog();
    }

    void Poll() { player.OnTimer(kPollTimerId); }
    void RefreshTick() { player.OnTimer(kDiscTimerId); }
    // A poll after `ms` of play.
    void PollAfter(int64_t ms) {
        clock.Advance(ms);
        Poll();
    }
    // The user picks a selector entry.
    void ChooseTrackEntry(int index) { player.OnTrackSelChange(index); }

    const PlayerView& Shown() const { return window.shown; }
};

} // namespace player_test
