// De-emphasis end to end: a cue sheet of tones, some flagged for pre-emphasis, played through the
// digital play layer into a sink on the test's clock. Each flagged track is heard at the level the
// 50/15 us curve gives its tone (within 0.3 dB), every other track bit for bit, and where two
// tracks meet the sound steps no more than the tones themselves do. A track flagged only in its Q
// sub-channel is de-emphasised too; with de-emphasis off every track is the disc's own.
#include "audio/clock_sink.h"
#include "audio/play_layer.h"
#include "drive/aspi_request.h"
#include "drive/command_blocks.h"
#include "tests/support/tone_disc.h"
#include "vdrive/bus.h"
#include "vdrive/cue_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace tone_disc;

constexpr size_t kEdge = 441; // 10 ms at either end of a track, where its neighbour may reach

// The whole disc as a sink hears it, played through a layer with `settings`.
std::vector<uint8_t> PlayThrough(const vdrive::DiscImage& disc,
                                 const audio::PlaySettings& settings) {
    vdrive::ManualClock clock;
    vdrive::Bus bus(clock);
    bus.AddDrive(0, 3, disc);
    bus.Install();
    audio::ClockSink* sink = nullptr;
    auto layer = audio::PlayLayer::OverInstalled(
        [&](audio::PcmFeed& feed) {
            auto made =
                std::make_unique<audio::ClockSink>(feed, [&clock] { return clock.NowMs(); });
            sink = made.get();
            return made;
        },
        settings);
    SRB_ExecSCSICmd srb;
    const auto frames = static_cast<uint32_t>(kTracks.size() * kTrackSamples / 588);
    EXPECT_TRUE(PrepareRequest(srb, 0, 3, PlayAudio12Cdb(0, frames), {}));
    EXPECT_EQ(layer->SendCommand(&srb), SS_COMP);
    clock.Advance(int64_t(kTracks.size()) * 1000 + 500);
    if (sink == nullptr) {
        ADD_FAILURE() << "nothing played";
        return {};
    }
    sink->Pump();
    return sink->Heard();
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (const int16_t sample : samples) {
        bytes.push_back(static_cast<uint8_t>(sample));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
    }
    return bytes;
}

// The largest step between two left samples from `from` to `to`.
int LargestStep(std::span<const uint8_t> pcm, size_t from, size_t to) {
    int largest = 0;
    for (size_t i = from + 1; i < to; ++i) {
        largest = std::max(largest, std::abs(Left(pcm, i) - Left(pcm, i - 1)));
    }
    return largest;
}

TEST(Deemphasis, FlaggedTracksFollowTheCurveTheOthersStayBitForBitWithoutAClick) {
    ImageFolder folder;
    vdrive::DiscImage disc;
    std::string error;
    ASSERT_TRUE(vdrive::LoadCueSheet(WriteSheet(folder), disc, error)) << error;
    vdrive::DiscImage onlyInQ = disc; // the 10 kHz track: its Q says so, its TOC entry does not
    onlyInQ.tracks[3].control &= static_cast<uint8_t>(~kControlPreEmphasis);
    onlyInQ.tracks[3].qOnlyControl = kControlPreEmphasis;
    audio::PlaySettings off;
    off.deemphasis = false;
    struct Row {
        const char* what;
        const vdrive::DiscImage& disc;
        audio::PlaySettings settings;
        bool deemphasised;
    };
    const Row rows[] = {
        {"as the sheet flags them", disc, {}, true},
        {"one flagged only in its Q sub-channel", onlyInQ, {}, true},
        {"de-emphasis off", disc, off, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<uint8_t> heard = PlayThrough(row.disc, row.settings);
        ASSERT_EQ(heard.size(), kTracks.size() * kTrackSamples * 4);
        const std::span<const uint8_t> pcm(heard);
        for (size_t t = 0; t < kTracks.size(); ++t) {
            SCOPED_TRACE(testing::Message() << "track " << t + 1 << ", " << kTracks[t].hz << " Hz");
            const size_t from = t * kTrackSamples;
            if (row.deemphasised && kTracks[t].preEmphasis) {
                EXPECT_NEAR(LevelDb(pcm, from + kEdge, kTrackSamples - 2 * kEdge),
                            CurveDb(kTracks[t].hz), 0.3);
            } else {
                EXPECT_TRUE(std::ranges::equal(pcm.subspan(from * 4, kTrackSamples * 4),
                                               Bytes(Tone(kTracks[t].hz))))
                    << "not bit for bit";
            }
            if (t > 0) {
                EXPECT_LE(std::abs(Left(pcm, from) - Left(pcm, from - 1)),
                          std::max(LargestStep(pcm, from - kEdge, from),
                                   LargestStep(pcm, from, from + kEdge)))
                    << "a click where the tracks meet";
            }
        }
    }
}

} // namespace
