// Where the digital play's sound goes. A drive that plays digitally is a PcmFeed: the PCM it has
// read ahead, whole CD frames of 44.1 kHz 16-bit stereo, little-endian, left then right. A sink
// takes from the feed at the pace of its output (a sound card, a file in real time, a test's
// clock); what it has taken counts as heard, and that moves the drive's play position.
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
    // Copies up to frames.size() / kCdFrameBytes whole frames of what is to be heard next into
    // `frames` and returns how many; they count as heard. 0 when nothing is ready (the reader is
    // behind, or nothing plays). With a `wait`, waits up to that long for the reader while a play
    // runs and fewer frames than asked are ready (only a test's sink waits; a sound card never).
    virtual size_t Take(std::span<uint8_t> frames,
                        std::chrono::milliseconds wait = std::chrono::milliseconds(0)) = 0;
    // Whether a play runs (also while nothing is ready yet): a sink keeps taking while it does.
    virtual bool Playing() const = 0;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // A play started, resumed or jumped: take from the feed until it no longer plays. Called from
    // any thread; never blocks for long.
    virtual void Wake() = 0;
};

// Makes the sink of one drive's feed, the first time that drive plays digitally. The feed
// outlives its sink.
using SinkFactory = std::function<std::unique_ptr<AudioSink>(PcmFeed& feed)>;

} // namespace audio
