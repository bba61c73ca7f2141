// What the player's controller needs from the window system, in three small interfaces: the
// window that shows the view (and answers the one question the poll asks of it), the two
// periodic timers, and whoever follows the player from outside (the media bus). The Qt window
// implements the first two; a Win32 dialog procedure implements them with SetTimer, KillTimer,
// BM_GETSTATE, MessageBox and the control messages of each view part.
#pragma once

#include "player/player_view.h"

#include <cstdint>
#include <string>

enum class FastButton { Forward, Backward };

class PlayerWindow {
public:
    // The parts of `view` named in `parts` changed: show them. Called at the moment the player
    // changes the window, so between the same drive commands as ever.
    virtual void ViewChanged(const PlayerView& view, ViewParts parts) = 0;
    // The fast button is held down (BM_GETSTATE has BST_PUSHED).
    virtual bool FastButtonHeld(FastButton button) const = 0;
    // The one message the player shows: a stop icon, an OK button, `caption` and `text`.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
    // Ends the window without the closing steps (after the message of a failed start).
    virtual void DestroyWindow() = 0;

    virtual ~PlayerWindow() = default;
};

// Two periodic timers on the window's thread. Each tick comes back to the controller's
// OnTimer with the id the timer was started with (1 the poll, 2 the disc).
class PlayerTimers {
public:
    // Starts a timer of `intervalMs`; returns what the window system knows it by (Win32's
    // SetTimer(window, id, intervalMs, nullptr) returns id itself), or 0 when none started.
    virtual uint32_t StartTimer(int id, int intervalMs) = 0;
    // Stops a timer StartTimer returned.
    virtual void KillTimer(uint32_t timer) = 0;

    virtual ~PlayerTimers() = default;
};

// Follows the player from outside; nothing it is told asks it to do anything.
class PlayerListener {
public:
    // A handler or a tick the controller ran has returned: the view, the record and the drive's
    // play may have changed. The notification promises no change; listeners compare.
    virtual void Settled() = 0;
    // The controller sent the drive to a new address: a jump (SeekAndPlay) or Stop's seek to 0.
    virtual void Jumped(int32_t address) = 0;

    virtual ~PlayerListener() = default;
};
