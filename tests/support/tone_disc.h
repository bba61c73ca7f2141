// Test helper: a cue sheet of pure tones, a second a track, some flagged for pre-emphasis, and
// what de-emphasis should make of them: the 50/15 us curve, and the level of a tone as heard.
#pragma once

#include "tests/support/image_files.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace tone_disc {

struct ToneTrack {
    double hz;
    bool preEmphasis; // FLAGS PRE
};

// An unflagged 1 kHz track before flagged ones at 1, 5, 10 and 16 kHz, and an unflagged 16 kHz
// track after them. Each tone starts on a peak and lasts whole periods, so that where two tracks
// meet the disc itself makes no step.
inline const std::vector<ToneTrack> kTracks = {{1000, false}, {1000, true},  {5000, true},
                                               {10000, true}, {16000, true}, {16000, false}};
inline constexpr size_t kTrackSamples = 44100; // 75 frames
inline constexpr double kAmplitude = 16000;

// One track's samples, the same on both channels, left then right.
inline std::vector<int16_t> Tone(double hz) {
    std::vector<int16_t> samples;
    for (size_t i = 0; i < kTrackSamples; ++i) {
        const double value = kAmplitude * std::cos(2 * std::numbers::pi * hz * double(i) / 44100);
        samples.insert(samples.end(), 2, static_cast<int16_t>(std::lround(value)));
    }
    return samples;
}

// tones.cue and its files (one WAV file a track) in `folder`; returns the sheet's path.
inline std::string WriteSheet(const ImageFolder& folder) {
    std::string sheet = "TITLE \"Tones\"\n";
    for (size_t i = 0; i < kTracks.size(); ++i) {
        const std::string number = (i < 9 ? "0" : "") + std::to_string(i + 1);
        folder.Wav("t" + number + ".wav", Tone(kTracks[i].hz));
        sheet += "FILE \"t" + number + ".wav\" WAVE\n  TRACK " + number + " AUDIO\n";
        sheet += kTracks[i].preEmphasis ? "    FLAGS PRE\n" : "";
        sheet += "    INDEX 01 00:00:00\n";
    }
    return folder.Write("tones.cue", sheet);
}

// The de-emphasis a tone of `hz` should get, in dB.
inline double CurveDb(double hz) {
    const double w = 2 * std::numbers::pi * hz;
    return 10 * std::log10((1 + std::pow(w * 15e-6, 2)) / (1 + std::pow(w * 50e-6, 2)));
}

// The left sample `index` of 16-bit stereo PCM.
inline int Left(std::span<const uint8_t> pcm, size_t index) {
    return static_cast<int16_t>(pcm[4 * index] | pcm[4 * index + 1] << 8);
}

// The level of the left channel over `count` samples from `from`, in dB against the tone's own.
inline double LevelDb(std::span<const uint8_t> pcm, size_t from, size_t count) {
    double power = 0;
    for (size_t i = from; i < from + count; ++i) {
        power += std::pow(Left(pcm, i), 2);
    }
    return 10 * std::log10(power / double(count) / (kAmplitude * kAmplitude / 2));
}

} // namespace tone_disc
