// What the player reads from the drive's current-position answer, and the texts of the two time
// readouts made from it.
#pragma once

#include "drive/audio_status.h"
#include "drive/msf.h"
#include "player/player_state.h"
#include "player/player_timers.h"

#include <cstdint>
#include <span>
#include <string>

inline constexpr uint32_t kSubChannelAnswerLength = 16;
inline constexpr int32_t kAdvanceAbove = 20; // frames: a move of 21 to 29 between two polls
inline constexpr int32_t kAdvanceBelow = 30; //   (one poll tick of play, 26.25 frames)
inline constexpr int32_t kHighestShownPosition = 360000;

// How the two readouts look: cyan on black in a 24-pixel cell, with a one-pixel sunken edge.
inline constexpr uint32_t kReadoutForeground = 0x00FFFF00; // COLORREF: red 0, green 255, blue 255
inline constexpr uint32_t kReadoutBackground = 0x00000000; // black
inline constexpr int kReadoutFontHeight = 24;

// A drive that plays moves one poll interval's worth of frames between two polls: that move must
// lie inside the window, or a change of the interval would stop play from being seen.
static_assert(kAdvanceAbove * 1000 < kPollIntervalMs * kFramesPerSecond &&
                  kPollIntervalMs * kFramesPerSecond < kAdvanceBelow * 1000,
              "one poll interval of play must move the head by 21 to 29 frames");

// READ SUB-CHANNEL, current position, LBA form.
struct SubChannelPosition {
    uint8_t audioStatus = 0; // byte 1
    int32_t track = 0;       // byte 6: whatever the drive says, 0 to 255
    int32_t position = 0;    // bytes 9-11, the absolute address (byte 8 is not read)
};
SubChannelPosition
DecodeSubChannelPosition(std::span<const uint8_t, kSubChannelAnswerLength> answer);

// The drive plays: it says so, or its position moved by 21 to 29 frames since the last poll
// (never on the first poll, when lastPolledPosition still holds kNoPolledPosition).
bool CountsAsPlaying(uint8_t audioStatus, int32_t position, int32_t lastPolledPosition);

// The position the readouts and the slider use: 0 for one below 0 or above 360000.
int32_t ShownPosition(int32_t position);

// The address a jump plays from: 0 for one below 0 or at 360000 (80 minutes) or beyond.
int32_t PlayableAddress(int32_t address);

// FormatFrames of a difference of two addresses, which may not fit 32 bits: "00:00" then.
std::string FormatFrameSpan(int64_t frames);

// The disc readout: the position, or what remains of the disc after it.
std::string DiscReadout(const PlayerState& state, int32_t position, bool remaining);
// The track readout: the time into `track`, or what remains of it.
std::string TrackReadout(const PlayerState& state, int32_t track, int32_t position, bool remaining);
