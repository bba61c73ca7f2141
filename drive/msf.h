// Time on a CD: 75 frames a second, and the M/S/F form in which command blocks and answers carry
// an address or a length. Shared by the player's time units, the Linux SG layer, the virtual drive
// and the digital play: each converts its own fields, these are only the units and the byte layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int32_t kFramesPerSecond = 75;
inline constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;
inline constexpr int32_t kMsfLbaOffset = 150; // LBA 0 is MSF 00:02:00
// Minutes take one byte: 255:59:74 is the last frame an M/S/F field can name.
inline constexpr int32_t kLastMsfFrame = 255 * kFramesPerMinute + 59 * kFramesPerSecond + 74;

// The frames a play at 75 frames a second has played after `ms` milliseconds (0 or more): whole
// frames only, so a frame counts once it has played to its end. The one rule by which a clock
// paces a play: the virtual drive's, and the digital play's outputs and positions.
constexpr int64_t FramesInMs(int64_t ms) {
    return ms * kFramesPerSecond / 1000;
}

// The frame count of minutes, seconds and frames (no offset).
constexpr int32_t MsfToFrames(int32_t minutes, int32_t seconds, int32_t frames) {
    return (minutes * 60 + seconds) * kFramesPerSecond + frames;
}

// The LBA of an absolute M/S/F address.
constexpr int32_t MsfToLba(int32_t minutes, int32_t seconds, int32_t frames) {
    return MsfToFrames(minutes, seconds, frames) - kMsfLbaOffset;
}

// Three bytes M, S, F of a frame count of 0 or more; minutes beyond 255 keep their low byte.
inline void WriteMsf(std::span<uint8_t> bytes, size_t at, int64_t frames) {
    bytes[at] = static_cast<uint8_t>(frames / kFramesPerMinute);
    bytes[at + 1] = static_cast<uint8_t>(frames / kFramesPerSecond % 60);
    bytes[at + 2] = static_cast<uint8_t>(frames % kFramesPerSecond);
}

// Four bytes `00 M S F` of a length of time, as answers carry it (negative lengths count as
// their magnitude: a track-relative time counts down inside a pregap) ...
inline void WriteMsfTime(std::span<uint8_t> bytes, size_t at, int64_t frames) {
    bytes[at] = 0x00; // reserved
    WriteMsf(bytes, at + 1, frames < 0 ? -frames : frames);
}

// ... and of an absolute address: the LBA with the 150-frame offset added (never below 00:00:00).
inline void WriteMsfAddress(std::span<uint8_t> bytes, size_t at, int32_t lba) {
    const int64_t frames = int64_t{lba} + kMsfLbaOffset;
    WriteMsfTime(bytes, at, frames < 0 ? 0 : frames);
}
