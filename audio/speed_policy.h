// How fast the digital play asks a drive to read (SET CD SPEED). Reading audio, a drive spins at
// its top speed, a roar, although play needs 1x; so while a play runs (or is paused) the drive is
// asked to read at 4x, and one step faster (8x, 16x, then its fastest) each time the buffer runs
// low after it had been full, never slower again while the disc stays in: the speed that kept
// the buffer full is the least this drive needs for this disc. When the play ends (stopped, ended,
// the disc ejected, the program closing) the drive gets its fastest back. A drive that refuses
// the command (05/20/00, 05/24/00, or a pass-through that will not send it) is left alone from
// then on, without a word.
//
// The policy only decides; its owner sends, and tells it how that went.
#pragma once

#include "drive/command_blocks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

class SpeedPolicy {
public:
    // kB/s of "1x" (75 frames of 2352 bytes a second are 176.4), rounded up: a drive that rounds a
    // request down still picks the speed meant.
    static constexpr uint16_t kOneX = 177;
    static constexpr std::array<uint16_t, 4> kSteps = {4 * kOneX, 8 * kOneX, 16 * kOneX,
                                                       kCdSpeedMaximum};

    // The speed to send now, or nothing: the drive reads as it should, or has refused the
    // command. `playing`: a play runs or is paused on the drive.
    std::optional<uint16_t> Due(bool playing) const;
    // What came of sending `speed`: taken, refused for good, or failed otherwise (a disc that
    // went, a unit attention): not sent again until another speed is due.
    enum class Outcome { Taken, Refused, Failed };
    void Sent(uint16_t speed, Outcome outcome);

    // A play (re)started with an empty buffer: it has still to fill before it can run low.
    void BufferEmptied() { filled_ = false; }
    // The buffer holds `frames` of `capacity` while the reader has more to read: below a quarter
    // after it had been three quarters full, the next step is due. True when it went up.
    bool BufferLevel(size_t frames, size_t capacity);
    // Another disc: its play starts at 4x again.
    void DiscChanged();

    uint16_t Wanted(bool playing) const { return playing ? kSteps[step_] : kCdSpeedMaximum; }

private:
    size_t step_ = 0;
    bool filled_ = false;
    uint16_t sent_ = kCdSpeedMaximum; // a drive reads at its fastest until told otherwise
    bool refused_ = false;
};

} // namespace audio
