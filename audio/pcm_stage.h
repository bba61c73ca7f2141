// What the digital play does to the disc's PCM between its buffer and the sink, so that every
// sink (the sound card, the WAV file, a test's clock) gets the same sound: the de-emphasis of the
// tracks mastered with pre-emphasis, which a drive's analog output would remove, and the play's
// volume. Frames that neither touches pass bit for bit.
#pragma once

#include "audio/audio_sink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace audio {

// The 50/15 us de-emphasis shelf, |H(f)| = sqrt(1 + (2 pi f 15us)^2) / sqrt(1 + (2 pi f 50us)^2),
// as one first-order filter at 44.1 kHz: y[n] = 0.459955 x[n] - 0.087823 x[n-1] + 0.627869 y[n-1].
// A bilinear transform of the analog shelf would be off by about 1 dB near 20 kHz; this fit keeps
// 0 dB at DC and stays within 0.087 dB of the curve from 20 Hz to 20 kHz (largest near 13 kHz):
//
//     kHz     1       5       10      16      20
//     curve  -0.370  -4.529  -7.602  -9.043  -9.489 dB
//     filter -0.356  -4.482  -7.663  -9.104  -9.422 dB
//     error  +0.014  +0.047  -0.061  -0.060  +0.067 dB
class DeemphasisFilter {
public:
    double Step(double x) {
        const double y = kB0 * x + kB1 * x1_ + kA1 * y1_;
        x1_ = x;
        y1_ = y;
        return y;
    }
    // Starts as if the sound so far had stood at `x`, which the filter passes unchanged: a track
    // filtered after one that was not (or after a jump) begins where the disc is, without a click.
    void Settle(double x) {
        x1_ = x;
        y1_ = x;
    }

private:
    static constexpr double kB0 = 0.459955;
    static constexpr double kB1 = -0.087823;
    static constexpr double kA1 = 0.627869;
    double x1_ = 0;
    double y1_ = 0;
};

// The volume that a request for `requested` sets: within 0 (silence) and 1 (the disc as it is),
// and `current` for a request that is no number.
double PlayVolume(double requested, double current);

class PcmStage {
public:
    explicit PcmStage(bool deemphasis = true) : deemphasis_(deemphasis) {}

    // The play's volume (PlayVolume). A change is heard ramped over one frame, so that it does
    // not click. Any thread.
    void SetVolume(double volume);
    double Volume() const { return volume_.load(); }

    // The play jumped: what comes next is heard at the volume at once, with nothing to ramp from,
    // and a de-emphasised track starts afresh where it is.
    void Jumped() {
        gain_ = volume_.load();
        filtering_ = false;
    }

    // One CD frame, in place: de-emphasised when `emphasised` (its track was mastered with
    // pre-emphasis) unless de-emphasis is off, then at the volume.
    void Process(std::span<uint8_t> frame, bool emphasised);

private:
    const bool deemphasis_;
    std::array<DeemphasisFilter, kChannels> filters_;
    bool filtering_ = false; // the frame before was de-emphasised
    std::atomic<float> volume_{1.0f};
    float gain_ = 1.0f; // the volume that the last frame ended at
};

} // namespace audio
