// A sink that takes at the pace of a clock it is given (a test's hand-moved clock): from each play
// on, 75 frames a second of that clock since the play woke it, in whole frames, and keeps
// everything it took. Nothing happens on its own: Pump() takes what is due by now, waiting for the
// reader as long as needed, so a test that moves its clock and pumps hears exactly what a drive
// would have played. It is a pump without a thread over a channel that records.
#pragma once

#include "audio/audio_sink.h"
#include "audio/pump.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

class ClockSink final : public AudioSink {
public:
    ClockSink(PcmFeed& feed, std::function<int64_t()> nowMs);
    ~ClockSink() override;
    ClockSink(const ClockSink&) = delete;
    ClockSink& operator=(const ClockSink&) = delete;

    void Wake() override;
    // Takes the frames due by now; returns how many it took.
    size_t Pump();
    // Everything taken so far, and how many frames that is.
    std::vector<uint8_t> Heard() const;
    size_t FramesHeard() const;

private:
    class Recording;
    struct Recorded {
        mutable std::mutex mutex;
        std::vector<uint8_t> frames; // every frame taken, in order
    };

    PcmFeed& feed_;
    const std::shared_ptr<Recorded> heard_;
    audio::Pump pump_;
    const audio::Pump::ChannelId channel_;
};

} // namespace audio
