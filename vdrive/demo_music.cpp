// The demo tunes. A track's tune is a phrase of six notes on a pentatonic scale (a long first
// note, five short ones, a rest), repeated in a cycle of four with the phrase moved up and down
// the scale. Each track plays in its own key, so neighbouring tracks open on different pitches.
#include "vdrive/demo_music.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vdrive {
namespace {

constexpr double kSampleRate = 44100.0;
constexpr double kPeak = 0.2 * 32767.0; // of the fundamental: gentle, with room for overtones
constexpr double kLowestTonic = 220.0;  // A3; keys go up from here

// The phrase, in frames (1/75 s): 1.2 s, five notes of 0.4 s, a rest of 0.4 s.
constexpr int32_t kLongNoteFrames = 90;
constexpr int32_t kShortNoteFrames = 30;
constexpr int32_t kShortNotes = 5;
constexpr int32_t kPhraseFrames = kLongNoteFrames + (kShortNotes + 1) * kShortNoteFrames;
constexpr std::array<int, 4> kPhraseShift = {0, 2, -1, 0}; // scale steps, per phrase of a cycle

// Envelope: a quick rise, a bell-like decay, a short fade that ends each note at zero.
constexpr double kAttackSamples = 0.01 * kSampleRate;
constexpr double kReleaseSamples = 0.05 * kSampleRate;
constexpr double kDecaySeconds = 0.7;

constexpr std::array<int, 5> kPentatonic = {0, 2, 4, 7, 9}; // semitones above the tonic

double Pitch(int key, int degree) {
    const int octave = degree >= 0 ? degree / 5 : -((4 - degree) / 5);
    const int step = degree - 5 * octave;
    const int semitones = key + 12 * octave + kPentatonic[static_cast<size_t>(step)];
    return kLowestTonic * std::exp2(semitones / 12.0);
}

// The six notes of a track's phrase in scale steps from its tonic: the tonic, then a walk of
// steps of one or two, drawn from a small generator seeded by the track and the disc.
std::array<int, kShortNotes + 1> Motif(int seed) {
    std::array<int, kShortNotes + 1> degrees{};
    uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
    for (size_t i = 1; i < degrees.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        static constexpr std::array<int, 4> kSteps = {-2, -1, 1, 2};
        degrees[i] = std::clamp(degrees[i - 1] + kSteps[state >> 30], -2, 7);
    }
    return degrees;
}

// Rounds half away from zero as std::lround does, without its call (the demo's music is
// worked out while it plays: the call was a third of its cost). A sample is small enough that
// adding a half is exact but for values within a rounding step of a half.
int16_t RoundedSample(double value) {
    return static_cast<int16_t>(value < 0.0 ? value - 0.5 : value + 0.5);
}

void WriteSample(std::span<uint8_t> frame, size_t sample, int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    for (size_t channel = 0; channel < 2; ++channel) {
        frame[sample * 4 + channel * 2] = static_cast<uint8_t>(bits);
        frame[sample * 4 + channel * 2 + 1] = static_cast<uint8_t>(bits >> 8);
    }
}

} // namespace

DemoMusicSource::DemoMusicSource(playback::DiscLayout layout, int variant)
    : layout_(std::move(layout)), variant_(variant) {}

DemoMusicSource::Note DemoMusicSource::NoteAt(int32_t lba) const {
    const auto& tracks = layout_.tracks;
    if (tracks.empty()) {
        return {};
    }
    const size_t index = playback::TrackIndexAt(tracks, lba);
    const playback::DiscTrack& track = tracks[index];
    const int32_t end =
        index + 1 < tracks.size() ? playback::PregapStart(tracks[index + 1]) : layout_.leadOut;
    if ((track.control & kControlData) != 0 || lba < track.start || lba >= end) {
        return {};
    }
    const int32_t into = lba - track.start;
    const int32_t phrase = into / kPhraseFrames;
    const int32_t inPhrase = into % kPhraseFrames;
    size_t note = 0;
    Note result{0, phrase * kPhraseFrames, kLongNoteFrames};
    if (inPhrase >= kLongNoteFrames) {
        note = static_cast<size_t>(1 + (inPhrase - kLongNoteFrames) / kShortNoteFrames);
        result.first += kLongNoteFrames + static_cast<int32_t>(note - 1) * kShortNoteFrames;
        result.frames = kShortNoteFrames;
    }
    // The rest at the end of a phrase, and a note the track ends in the middle of, are silence.
    if (note > kShortNotes || track.start + result.first + result.frames > end) {
        return {};
    }
    const int seed = variant_ * 100 + track.number;
    const int key = (static_cast<int>(index) * 7 + variant_ * 5) % 12;
    int degree =
        Motif(seed)[note] + kPhraseShift[static_cast<size_t>(phrase) % kPhraseShift.size()];
    if (phrase % 4 == 3 && note == kShortNotes) {
        degree = 0; // each cycle comes home to the tonic
    }
    result.frequency = Pitch(key, degree);
    return result;
}

double DemoMusicSource::NoteFrequency(int32_t lba) const {
    return NoteAt(lba).frequency;
}

bool DemoMusicSource::ReadFrames(int32_t lba, std::span<uint8_t> frames) const {
    std::fill(frames.begin(), frames.end(), uint8_t{0});
    const size_t count = frames.size() / kFrameBytes;
    for (size_t i = 0; i < count; ++i) {
        const int32_t at = lba + static_cast<int32_t>(i);
        const Note note = NoteAt(at);
        if (note.frequency == 0) {
            continue;
        }
        const std::span<uint8_t> frame = frames.subspan(i * kFrameBytes, kFrameBytes);
        const playback::DiscTrack& track =
            layout_.tracks[playback::TrackIndexAt(layout_.tracks, at)];
        // Each frame is worked out from its place in the note alone, so a frame reads the same
        // whatever chunk it is read in. Sine and decay advance by rotation and by a factor.
        const double first = double(at - track.start - note.first) * double(kSamplesPerFrame);
        const double length = double(note.frames) * double(kSamplesPerFrame);
        const double step = 2.0 * std::numbers::pi * note.frequency / kSampleRate;
        double sine = std::sin(step * first);
        double cosine = std::cos(step * first);
        const double turnSine = std::sin(step);
        const double turnCosine = std::cos(step);
        const double fade = std::exp(-1.0 / (kDecaySeconds * kSampleRate));
        double decay = std::exp(-first / (kDecaySeconds * kSampleRate));
        for (size_t s = 0; s < kSamplesPerFrame; ++s) {
            const double k = first + double(s);
            const double envelope =
                decay * std::min({1.0, k / kAttackSamples, (length - k) / kReleaseSamples});
            // The fundamental with a little of the second and third harmonics: a soft bell.
            const double tone =
                sine + 0.25 * (2.0 * sine * cosine) + 0.08 * sine * (3.0 - 4.0 * sine * sine);
            WriteSample(frame, s, RoundedSample(kPeak * envelope * tone));
            const double nextSine = sine * turnCosine + cosine * turnSine;
            cosine = cosine * turnCosine - sine * turnSine;
            sine = nextSine;
            decay *= fade;
        }
    }
    return true;
}

} // namespace vdrive
