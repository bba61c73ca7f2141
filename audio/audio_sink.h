// Where the digital play's sound goes. A drive that plays digitally is a PcmFeed: the PCM it has
// read ahead, whole CD frames of 44.1 kHz 16-bit stereo, little-endian, left then right. A sink
// takes from the feed at the pace of its output (a sound card, a file in real time, a test's
// clock) and says how much of what it took its output has not played yet; what has been played
// counts as heard, and that moves the drive's play position. audio/pump.h paces every sink.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace audio {

inline constexpr size_t kCdFrameBytes = 2352; // 588 stereo samples of 16 bits: 1/75 s
inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;

class PcmFeed {
public:
    virtual ~PcmFeed() = default;
    // The play the feed makes now: a number that changes with every start, resume and jump (and
    // stays while the end of a play is still being heard); 0 while nothing plays.
    virtual uint64_t Play() const = 0;
    // Copies up to frames.size() / kCdFrameBytes whole frames of play `play`, those to be heard
    // next, into `frames` and returns how many. 0 when nothing is ready (the reader is behind) or
    // `play` is no longer the play. With a `wait`, waits up to that long for the reader while fewer
    // frames than asked are ready (only a test's sink waits; a sound card never).
    virtual size_t Take(uint64_t play, std::span<uint8_t> frames,
                        std::chrono::milliseconds wait = std::chrono::milliseconds(0)) = 0;
    // Of what play `play` has given so far, `unheard` frames have not been played yet (a sound
    // server's queue); `draining`: they are being played now, 75 frames a second. The rest is
    // heard: that is the play's position.
    virtual void Heard(uint64_t play, size_t unheard, bool draining) = 0;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // A play started, resumed, jumped or ended: look at the feed now. Called from any thread;
    // never blocks for long.
    virtual void Wake() = 0;
};

// Makes the sink of one drive's feed, the first time that drive plays digitally. The feed
// outlives its sink.
using SinkFactory = std::function<std::unique_ptr<AudioSink>(PcmFeed& feed)>;

} // namespace audio
