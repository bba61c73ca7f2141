// PlayerController: what the player does, without a window toolkit. Start-up and closing, the
// disc refresh, the transport, the two timers, the slider and the selectors work on the player
// state record and a plain view model, and send their commands to the selected drive; a window
// forwards its messages here and shows the view parts the controller names as it changes them.
// Without a listed drive nothing is sent at all.
//
//     PlayerController controller(ThePlayerState(), &timers, &window);
//     controller.OnInitDialog();            // WM_INITDIALOG
//     controller.OnTimer(1);                // WM_TIMER
//     controller.OnTrackSelChange(index);   // CBN_SELCHANGE of the track selector
//     controller.OnHScroll(code, position); // WM_HSCROLL from the slider
#pragma once

#include "player/player_state.h"
#include "player/player_view.h"
#include "player/player_window.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct SubChannelPosition;
struct DiscAnswers;
struct DiscPicture;

class PlayerController {
public:
    // Neither the timers nor the window are required: without timers none runs, without a
    // window nothing is shown, no fast button is held and no message appears.
    explicit PlayerController(PlayerState& state, PlayerTimers* timers = nullptr,
                              PlayerWindow* window = nullptr);
    PlayerController(const PlayerController&) = delete;
    PlayerController& operator=(const PlayerController&) = delete;

    // Start-up from the readouts' "00:00" on: the ASPI layer, the drives, the first disc, the
    // timers. Always true, as a dialog's initialisation returns.
    bool OnInitDialog();
    // The user chose entry `index` of the drive selector.
    void OnDriveSelChange(int index);
    // Closing: OnStop, then CloseDown. The window ends itself afterwards.
    void OnCancel();
    // What closing does after the stop: both timers killed, the ASPI layer unloaded.
    void CloseDown();

    // The transport buttons.
    void OnPlay();
    void OnStop();
    void OnPauseResume();
    void OnEjectLoad();
    void OnPreviousTrack();
    void OnNextTrack();
    void OnFastForward();
    void OnFastBackward();
    // The one way the play position moves: a seek, then a play to the disc end while playing
    // (of length 0, which only positions, otherwise), and the slider to the address.
    void SeekAndPlay(int32_t address);

    // Timer 1 polls the position, timer 2 refreshes the disc; any other id does nothing.
    void OnTimer(int id);
    void PollPosition();
    // Rebuilds the disc display when the selected drive's table of contents changed (or cannot
    // be read); otherwise reads that table and nothing else. Cheap to call from outside.
    void RefreshDisc();

    // The slider reports a trackbar code; `position` is where the user left it.
    void OnHScroll(int code, int position);
    void OnLButtonUp();
    // The user chose entry `index` of the track selector.
    void OnTrackSelChange(int index);
    void OnTrackDropDown();
    void OnTrackTimeMode();
    void OnDiscTimeMode();

    const PlayerView& View() const { return view_; }
    const PlayerState& State() const { return state_; }

    // A track's name as the selector lists it: its CD-Text title, or "Track 07" on a disc
    // without CD-Text; empty for a track without an entry.
    const std::string& TrackTitle(int32_t track) const;
    // The drive's audio status as the player last learnt it (a position read, or its own
    // pause, resume, play or seek going through); nullopt before anything was learnt.
    std::optional<uint8_t> KnownAudioStatus() const { return audioStatus_; }

    // Listeners are told after each handler and tick; a listener removes itself before it goes.
    void AddListener(PlayerListener& listener);
    void RemoveListener(PlayerListener& listener);

private:
    // One handler or tick: when the outermost one returns, the listeners are told.
    class Handling {
    public:
        explicit Handling(PlayerController& controller) : controller_(controller) {
            ++controller_.handling_;
        }
        ~Handling() {
            if (--controller_.handling_ == 0) {
                controller_.Settle();
            }
        }
        Handling(const Handling&) = delete;
        Handling& operator=(const Handling&) = delete;

    private:
        PlayerController& controller_;
    };

    struct DriveAddress {
        int adapter = 0;
        int target = 0;
    };
    std::optional<DriveAddress> SelectedDrive() const;
    std::optional<SubChannelPosition> ReadPosition(const DriveAddress& drive);

    // The disc refresh: reads, decodes and applies, in the order of the drive commands.
    void ResetDiscDisplay();
    std::optional<int32_t> ReadDiscEnd(const DriveAddress& drive,
                                       std::span<uint8_t, kTocImageSize> buffer);
    void ApplyDiscEnd(std::optional<int32_t> capacityDiscEnd);
    void ReadDiscContents(const DriveAddress& drive, std::span<uint8_t, kTocImageSize> toc,
                          DiscAnswers& answers);
    void ApplyTrackTable(const DiscPicture& picture);
    void ApplyDiscTitle(const DiscPicture& picture);

    void SetTrackFields(int32_t track);
    void SetSliderPosition(int32_t position);
    void SetTimeMode(bool remaining, int& check, std::string& caption);
    void Show(ViewParts parts);
    void Settle();
    void TellJumped(int32_t address);

    PlayerState& state_;
    PlayerTimers* timers_;
    PlayerWindow* window_;
    PlayerView view_;
    std::vector<std::string> trackTitles_; // one per track entry
    std::vector<uint8_t> discText_;        // the refresh's CD-Text answer buffer
    std::optional<uint8_t> audioStatus_;
    std::vector<PlayerListener*> listeners_;
    int handling_ = 0; // handlers running, nested ones included
};
