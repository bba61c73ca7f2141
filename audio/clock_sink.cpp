// The clock-paced sink.
#include "audio/clock_sink.h"

#include "drive/msf.h"

#include <utility>

namespace audio {

namespace {

// Only a reader that hangs makes a pump wait this long for a frame that is due.
constexpr std::chrono::milliseconds kReaderPatience(20000);

} // namespace

ClockSink::ClockSink(PcmFeed& feed, std::function<int64_t()> nowMs)
    : feed_(feed), nowMs_(std::move(nowMs)) {}

void ClockSink::Wake() {
    const std::lock_guard lock(mutex_);
    anchorMs_ = nowMs_();
    anchorFrames_ = heard_.size() / kCdFrameBytes;
}

size_t ClockSink::Pump() {
    const std::lock_guard lock(mutex_);
    const auto due =
        anchorFrames_ + static_cast<size_t>((nowMs_() - anchorMs_) * kFramesPerSecond / 1000);
    const size_t before = heard_.size() / kCdFrameBytes;
    if (due <= before) {
        return 0;
    }
    heard_.resize(due * kCdFrameBytes);
    const size_t taken =
        feed_.Take(std::span<uint8_t>(heard_).subspan(before * kCdFrameBytes), kReaderPatience);
    heard_.resize((before + taken) * kCdFrameBytes);
    return taken;
}

std::vector<uint8_t> ClockSink::Heard() const {
    const std::lock_guard lock(mutex_);
    return heard_;
}

size_t ClockSink::FramesHeard() const {
    const std::lock_guard lock(mutex_);
    return heard_.size() / kCdFrameBytes;
}

} // namespace audio
