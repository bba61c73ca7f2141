// The digital play's PCM stage.
#include "audio/pcm_stage.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

constexpr size_t kSampleBytes = 2;

int16_t ReadSample(const uint8_t* at) {
    return static_cast<int16_t>(at[0] | at[1] << 8); // little-endian
}

void WriteSample(uint8_t* at, double value) {
    const auto sample = static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
    const auto bits = static_cast<uint16_t>(sample);
    at[0] = static_cast<uint8_t>(bits);
    at[1] = static_cast<uint8_t>(bits >> 8);
}

} // namespace

double PlayVolume(double requested, double current) {
    return std::isnan(requested) ? current : std::clamp(requested, 0.0, 1.0);
}

void PcmStage::SetVolume(double volume) {
    volume_.store(static_cast<float>(PlayVolume(volume, volume_.load())));
}

void PcmStage::Process(std::span<uint8_t> frame, bool emphasised) {
    const float target = volume_.load();
    const bool ramp = target != gain_;
    const bool filtered = deemphasis_ && emphasised;
    const size_t samples = frame.size() / (kSampleBytes * kChannels);
    if (filtered && !filtering_ && samples > 0) {
        for (size_t channel = 0; channel < kChannels; ++channel) {
            filters_[channel].Settle(ReadSample(frame.data() + channel * kSampleBytes));
        }
    }
    filtering_ = filtered;
    if (!filtered && !ramp && gain_ == 1.0f) {
        return; // the disc as it is
    }
    for (size_t i = 0; i < samples; ++i) {
        const double gain =
            ramp ? gain_ + (target - gain_) * double(i + 1) / double(samples) : double(gain_);
        for (size_t channel = 0; channel < kChannels; ++channel) {
            uint8_t* at = frame.data() + (i * kChannels + channel) * kSampleBytes;
            const double x = ReadSample(at);
            WriteSample(at, (filtered ? filters_[channel].Step(x) : x) * gain);
        }
    }
    gain_ = target;
}

} // namespace audio
