// The read speed policy of the digital play.
#include "audio/speed_policy.h"

namespace audio {

std::optional<uint16_t> SpeedPolicy::Due(bool playing) const {
    const uint16_t wanted = Wanted(playing);
    if (refused_ || wanted == sent_) {
        return std::nullopt;
    }
    return wanted;
}

void SpeedPolicy::Sent(uint16_t speed, Outcome outcome) {
    if (outcome == Outcome::Refused) {
        refused_ = true;
        return;
    }
    sent_ = speed;
}

bool SpeedPolicy::BufferLevel(size_t frames, size_t capacity) {
    if (frames * 4 >= capacity * 3) {
        filled_ = true;
    } else if (frames * 4 < capacity && filled_ && step_ + 1 < kSteps.size()) {
        ++step_;
        filled_ = false;
        return true;
    }
    return false;
}

void SpeedPolicy::DiscChanged() {
    step_ = 0;
    filled_ = false;
}

} // namespace audio
