// The clock-paced sink: a pump without a thread, whose one channel keeps what it is given.
#include "audio/clock_sink.h"

#include <utility>

namespace audio {

namespace {

// Only a reader that hangs makes a pump wait this long for a frame that is due.
constexpr std::chrono::milliseconds kReaderPatience(20000);

} // namespace

class ClockSink::Recording final : public PumpChannel {
public:
    explicit Recording(std::shared_ptr<ClockSink::Recorded> heard) : heard_(std::move(heard)) {}
    void Start() override {}
    void Stop() override {}
    std::optional<size_t> Room() override { return std::nullopt; } // the clock says
    void Write(std::span<const uint8_t> frames) override {
        const std::lock_guard lock(heard_->mutex);
        heard_->frames.insert(heard_->frames.end(), frames.begin(), frames.end());
    }
    size_t Unheard() override { return 0; }
    bool Draining() override { return true; }
    std::chrono::milliseconds Interval() override { return std::chrono::milliseconds(0); }

private:
    const std::shared_ptr<ClockSink::Recorded> heard_;
};

ClockSink::ClockSink(PcmFeed& feed, std::function<int64_t()> nowMs)
    : feed_(feed), heard_(std::make_shared<Recorded>()),
      pump_(PumpSettings{.ownThread = false,
                         .nowMs = std::move(nowMs),
                         .mostFramesAtOnce = 0,
                         .patience = kReaderPatience,
                         .beforePass = {}}),
      channel_(pump_.AddChannel(std::make_unique<Recording>(heard_))) {
    pump_.AddFeed(channel_, feed_);
}

ClockSink::~ClockSink() {
    pump_.RemoveChannel(channel_);
}

void ClockSink::Wake() {
    pump_.Wake(channel_);
}

size_t ClockSink::Pump() {
    return pump_.Pass();
}

std::vector<uint8_t> ClockSink::Heard() const {
    const std::lock_guard lock(heard_->mutex);
    return heard_->frames;
}

size_t ClockSink::FramesHeard() const {
    const std::lock_guard lock(heard_->mutex);
    return heard_->frames.size() / kCdFrameBytes;
}

} // namespace audio
