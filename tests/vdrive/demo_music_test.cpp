// The demo discs' music as a listener (and a recording of it) meets it: audible, gentle, no click
// where tracks meet, the same whatever chunks it is read in, and each track opening on a clear
// pitch: the one the source says it plays.
#include "vdrive/demo_discs.h"
#include "vdrive/demo_music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

using vdrive::DiscImage;
using vdrive::kFrameBytes;
using vdrive::kSamplesPerFrame;

// The left channel of frames [first, first + count).
std::vector<int> LeftSamples(const DiscImage& disc, int32_t first, int32_t count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kFrameBytes);
    EXPECT_TRUE(disc.audio->ReadFrames(first, bytes));
    std::vector<int> samples;
    for (size_t at = 0; at < bytes.size(); at += 4) {
        samples.push_back(static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8));
    }
    return samples;
}

int LargestStep(const std::vector<int>& samples) {
    int largest = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    }
    return largest;
}

// The strongest frequency in the first 2^15 samples (0.74 s), by FFT, refined between bins.
double DominantFrequency(const std::vector<int>& samples) {
    constexpr size_t kSize = size_t{1} << 15;
    std::vector<std::complex<double>> x(kSize);
    for (size_t i = 0; i < kSize && i < samples.size(); ++i) {
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / kSize);
        x[i] = window * samples[i];
    }
    for (size_t i = 1, j = 0; i < kSize; ++i) { // bit-reversed order
        size_t bit = kSize >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(x[i], x[j]);
        }
    }
    for (size_t length = 2; length <= kSize; length <<= 1) {
        const std::complex<double> turn = std::polar(1.0, -2 * std::numbers::pi / double(length));
        for (size_t at = 0; at < kSize; at += length) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < length / 2; ++k, w *= turn) {
                const std::complex<double> odd = w * x[at + k + length / 2];
                x[at + k + length / 2] = x[at + k] - odd;
                x[at + k] += odd;
            }
        }
    }
    size_t peak = 1;
    for (size_t bin = 1; bin < kSize / 2; ++bin) {
        peak = std::abs(x[bin]) > std::abs(x[peak]) ? bin : peak;
    }
    const double before = std::abs(x[peak - 1]);
    const double at = std::abs(x[peak]);
    const double after = std::abs(x[peak + 1]);
    const double shift = 0.5 * (before - after) / (before - 2 * at + after);
    return (double(peak) + shift) * 44100.0 / kSize;
}

struct DemoDisc {
    std::string name;
    std::function<DiscImage()> make;
};

TEST(DemoMusic, EveryAudioTrackOpensAudiblyOnThePitchItsSourceNamesAndNeverClicks) {
    const std::vector<DemoDisc> discs = {{"CD-Text album", vdrive::DemoCdTextDisc},
                                         {"mixed mode", vdrive::DemoMixedDisc},
                                         {"third track first", vdrive::DemoThirdTrackDisc}};
    for (const DemoDisc& demo : discs) {
        const DiscImage disc = demo.make();
        const auto* music = dynamic_cast<const vdrive::DemoMusicSource*>(disc.audio.get());
        ASSERT_NE(music, nullptr) << demo.name;
        double previousPitch = 0;
        for (size_t i = 0; i < disc.tracks.size(); ++i) {
            const playback::DiscTrack& track = disc.tracks[i];
            SCOPED_TRACE(demo.name + " track " + std::to_string(track.number));
            if ((track.control & kControlData) != 0) {
                EXPECT_EQ(music->NoteFrequency(track.start), 0) << "no music on data";
                continue;
            }
            // The first phrase: its loudest sample and largest step are the music's own. Read
            // in one go, it is what the play layer's chunks of 27 frames read.
            const std::vector<int> opening = LeftSamples(disc, track.start, 4 * 75);
            std::vector<int> chunked;
            for (int32_t at = track.start; at < track.start + 4 * 75; at += 27) {
                const std::vector<int> chunk =
                    LeftSamples(disc, at, std::min(27, track.start + 4 * 75 - at));
                chunked.insert(chunked.end(), chunk.begin(), chunk.end());
            }
            EXPECT_EQ(chunked, opening) << "a frame reads the same in any chunk";
            int peak = 0;
            for (const int sample : opening) {
                peak = std::max(peak, std::abs(sample));
            }
            EXPECT_GT(peak, 3000) << "audible";
            EXPECT_LT(peak, 16384) << "gentle: below half of full scale";
            const int musicStep = LargestStep(opening);

            const std::vector<int> firstSecond(opening.begin() + 4410, opening.end());
            const double pitch = music->NoteFrequency(track.start + 40);
            ASSERT_GT(pitch, 0);
            EXPECT_NEAR(DominantFrequency(firstSecond), pitch, pitch * 0.01);
            EXPECT_EQ(music->NoteFrequency(track.start + 70), pitch) << "held for over a second";
            EXPECT_NE(pitch, previousPitch) << "neighbouring tracks open on different pitches";
            previousPitch = pitch;

            // Where the track's pregap begins, where it starts, and where it ends.
            const int32_t end =
                i + 1 < disc.tracks.size() ? disc.tracks[i + 1].pregapStart : disc.leadOut;
            for (const int32_t boundary : {track.pregapStart, track.start, end}) {
                const int32_t first = std::max(boundary - 3, playback::kFirstPregapLba);
                const int32_t last = std::min(boundary + 3, disc.leadOut);
                EXPECT_LE(LargestStep(LeftSamples(disc, first, last - first)), musicStep)
                    << "at frame " << boundary;
            }
        }
    }
}

} // namespace
