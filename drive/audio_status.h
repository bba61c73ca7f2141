// The audio status a CD drive reports: byte 1 of READ SUB-CHANNEL's answer, and the ASCQ of
// REQUEST SENSE while no other condition is pending. Drives, the digital play and the player
// read and write it by these names.
#pragma once

#include <cstdint>

inline constexpr uint8_t kAudioStatusPlaying = 0x11; // a play operation in progress
inline constexpr uint8_t kAudioStatusPaused = 0x12;
inline constexpr uint8_t kAudioStatusCompleted = 0x13;      // once, after a play reached its end
inline constexpr uint8_t kAudioStatusStoppedByError = 0x14; // once, after a play ran into a data
                                                            // track or could not go on
inline constexpr uint8_t kAudioStatusNone = 0x15;           // nothing to report
