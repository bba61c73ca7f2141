// A sink that takes at the pace of a clock it is given (a test's hand-moved clock): from each Wake
// on, 75 frames a second of that clock, in whole frames, and keeps everything it took. Nothing
// happens on its own: Pump() takes what is due by now, waiting for the reader as long as needed,
// so a test that moves its clock and pumps hears exactly what a drive would have played.
#pragma once

#include "audio/audio_sink.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace audio {

class ClockSink final : public AudioSink {
public:
    ClockSink(PcmFeed& feed, std::function<int64_t()> nowMs);

    void Wake() override;
    // Takes the frames due by now; returns how many it took.
    size_t Pump();
    // Everything taken so far, and how many frames that is.
    std::vector<uint8_t> Heard() const;
    size_t FramesHeard() const;

private:
    PcmFeed& feed_;
    const std::function<int64_t()> nowMs_;
    mutable std::mutex mutex_;
    int64_t anchorMs_ = 0;       // clock time of the last Wake
    size_t anchorFrames_ = 0;    // frames heard at that time
    std::vector<uint8_t> heard_; // every frame taken, in order
};

} // namespace audio
