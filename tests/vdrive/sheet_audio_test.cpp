// A cue image's audio as READ CD delivers it through the bus: every kind of file and every way a
// sheet lays them out lands on the right frames bit for bit, with silence where the sheet puts
// it; a file that goes bad afterwards fails the read instead of playing noise; MP3 plays, even
// cut short, without a word from its decoder; a file too short for a frame is refused.
#include "vdrive/cue_sheet.h"

#include "tests/support/image_files.h"
#include "tests/support/pattern_frames.h"
#include "tests/vdrive/bus_fixture.h"

#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace vdrive_test {
namespace {

using namespace vdrive;

constexpr int kCdda = 1;
constexpr int32_t kChunk = 27; // what the play layer reads at a time

// A stretch of the disc that one file holds frame after frame.
struct Stretch {
    int32_t lba;
    int32_t frames;
};

// The test pattern of the stretches' frames; mono: sample s of frame `lba` is
// (lba + 150) * 588 + s, on both channels.
Bytes Frames(const std::vector<Stretch>& stretches, bool mono = false) {
    Bytes bytes;
    for (const Stretch& stretch : stretches) {
        Bytes frames(static_cast<size_t>(stretch.frames) * kFrameBytes);
        PatternSource().ReadFrames(stretch.lba, frames);
        for (size_t at = 0; mono && at < frames.size(); at += 2) {
            const auto sample =
                static_cast<uint16_t>(static_cast<size_t>(stretch.lba + 150) * 588 + at / 4);
            frames[at] = static_cast<uint8_t>(sample);
            frames[at + 1] = static_cast<uint8_t>(sample >> 8);
        }
        bytes.insert(bytes.end(), frames.begin(), frames.end());
    }
    return bytes;
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Writes CD-DA bytes (16-bit little-endian, stereo) as an audio file of `format`, in `channels`
// (mono: the left samples; a float file: each sample / 32768).
void WriteSound(const std::string& path, int format, const Bytes& cdda, int channels = 2) {
    std::vector<int16_t> samples;
    for (size_t at = 0; at + 4 <= cdda.size(); at += 4) {
        for (int c = 0; c < channels; ++c) {
            const size_t byte = at + static_cast<size_t>(c) * 2;
            samples.push_back(static_cast<int16_t>(cdda[byte] | cdda[byte + 1] << 8));
        }
    }
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const auto count = static_cast<sf_count_t>(samples.size()) / channels;
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) { // libsndfile would not scale shorts
        std::vector<float> floats(samples.begin(), samples.end());
        std::transform(floats.begin(), floats.end(), floats.begin(),
                       [](float f) { return f / 32768; });
        EXPECT_EQ(sf_writef_float(file, floats.data(), count), count);
    } else {
        EXPECT_EQ(sf_writef_short(file, samples.data(), count), count);
    }
    sf_close(file);
}

class SheetAudio : public VirtualBus {
protected:
    ImageFolder folder;
    DiscImage disc;

    void Load(const std::string& sheet) {
        std::string error;
        ASSERT_TRUE(LoadCueSheet(folder.Write("disc.cue", sheet), disc, error)) << error;
        bus.AddDrive(0, 3, disc);
    }

    // READ CD of frames [first, end) in chunks, as one stream; empty when a chunk fails.
    Bytes ReadDisc(int32_t first, int32_t end, Sense* failure = nullptr) {
        Bytes all;
        for (int32_t lba = first; lba < end; lba += kChunk) {
            const auto count = static_cast<uint32_t>(std::min<int32_t>(kChunk, end - lba));
            const Sent sent = Send(0, 3, ReadCdCdb(kCdda, lba, count), count * kFrameBytes);
            if (sent.status != SS_COMP) {
                if (failure != nullptr) {
                    *failure = sent.sense();
                }
                return {};
            }
            all.insert(all.end(), sent.data.begin(), sent.data.end());
        }
        return all;
    }
};

// A data track and an audio track of different sector sizes in one file, big-endian samples,
// CD+G sectors, INDEX 00 in a file of its own track and at the end of the previous file, PREGAP
// and POSTGAP silence, a mono floating-point file, a FLAC file the sheet calls WAVE whose last
// frame is cut short.
const std::string kEveryLayout = R"(FILE "mixed.bin" BINARY
  TRACK 01 MODE1/2048
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:00:40
    INDEX 01 00:01:00
    POSTGAP 00:00:05
FILE "motorola.bin" MOTOROLA
  TRACK 03 AUDIO
    INDEX 01 00:00:00
  TRACK 04 AUDIO
    PREGAP 00:00:10
    INDEX 01 00:01:00
FILE "karaoke.bin" BINARY
  TRACK 05 CDG
    INDEX 01 00:00:00
FILE "wave.wav" WAVE
  TRACK 06 AUDIO
    INDEX 00 00:00:00
    INDEX 01 00:00:30
  TRACK 07 AUDIO
    INDEX 00 00:01:00
FILE "mono.wav" WAVE
    INDEX 01 00:00:00
FILE "cut.flac" WAVE
  TRACK 08 AUDIO
    INDEX 01 00:00:00
    POSTGAP 00:00:03
)";

// Where each file's frames belong on the disc: silence at 150-154 (POSTGAP), 230-239 (PREGAP)
// and 485-487 (POSTGAP); the data track at 0-39.
const std::vector<Stretch> kMixedAudio = {{40, 110}};
const std::vector<Stretch> kMotorola = {{155, 75}, {240, 25}};
const std::vector<Stretch> kKaraoke = {{265, 20}};
const std::vector<Stretch> kWave = {{285, 90}};
const std::vector<Stretch> kMono = {{375, 60}};
const std::vector<Stretch> kCut = {{435, 50}};
constexpr size_t kCutSamples = 100; // missing from the end of cut.flac
constexpr int32_t kLeadOut = 488;

TEST_F(SheetAudio, EveryFileKindAndLayoutReadsBackBitForBitAndABadFileFailsItsFramesOnly) {
    folder.Write("mixed.bin", std::string(40 * 2048, '\xDA') + Text(Frames(kMixedAudio)));
    Bytes motorola = Frames(kMotorola);
    for (size_t at = 0; at < motorola.size(); at += 2) {
        std::swap(motorola[at], motorola[at + 1]);
    }
    folder.Write("motorola.bin", Text(motorola));
    std::string karaoke;
    for (int32_t lba = kKaraoke[0].lba; lba < kKaraoke[0].lba + kKaraoke[0].frames; ++lba) {
        karaoke += Text(Frames({{lba, 1}})) + std::string(96, '\xC6'); // the sub-channel
    }
    folder.Write("karaoke.bin", karaoke);
    WriteSound(folder.Path("wave.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Frames(kWave));
    WriteSound(folder.Path("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, Frames(kMono, true), 1);
    Bytes cut = Frames(kCut);
    cut.resize(cut.size() - kCutSamples * 4);
    WriteSound(folder.Path("cut.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, cut);
    Load(kEveryLayout);
    ASSERT_EQ(disc.leadOut, kLeadOut);

    // Everything from the end of the data track to the lead-out, in chunks that cross files,
    // tracks and gaps.
    constexpr int32_t kFirst = 40;
    const auto at = [](int32_t lba) {
        return static_cast<std::ptrdiff_t>(static_cast<size_t>(lba - kFirst) * kFrameBytes);
    };
    Bytes expected(static_cast<size_t>(at(kLeadOut)), 0);
    for (const auto& [stretches, mono] :
         {std::pair{kMixedAudio, false}, std::pair{kMotorola, false}, std::pair{kKaraoke, false},
          std::pair{kWave, false}, std::pair{kMono, true}, std::pair{kCut, false}}) {
        const Bytes frames = Frames(stretches, mono);
        auto from = frames.begin();
        for (const Stretch& stretch : stretches) {
            const std::ptrdiff_t length = at(stretch.lba + stretch.frames) - at(stretch.lba);
            std::copy(from, from + length, expected.begin() + at(stretch.lba));
            from += length;
        }
    }
    const auto cutEnd = expected.begin() + at(kCut[0].lba + kCut[0].frames);
    std::fill(cutEnd - kCutSamples * 4, cutEnd, uint8_t{0}); // the last frame filled up
    const Bytes read = ReadDisc(kFirst, kLeadOut);
    ASSERT_EQ(read.size(), expected.size());
    for (int32_t lba = kFirst; lba < kLeadOut; ++lba) {
        ASSERT_TRUE(std::equal(read.begin() + at(lba), read.begin() + at(lba + 1),
                               expected.begin() + at(lba)))
            << "frame " << lba;
    }
    EXPECT_EQ(PatternMismatch(ReadDisc(250, 260), 250), "") << "a jump back into a file";

    // wave.wav cut short and mono.wav's header torn off: their frames fail as a scratch would,
    // the rest reads.
    std::filesystem::resize_file(folder.Path("wave.wav"), 44 + 30 * kFrameBytes);
    std::filesystem::resize_file(folder.Path("mono.wav"), 10);
    for (const auto& [first, end] : {std::pair{360, 370}, std::pair{375, 380}}) {
        Sense failure;
        EXPECT_TRUE(ReadDisc(first, end, &failure).empty()) << first;
        EXPECT_EQ(failure, kSenseUnrecoveredReadError) << first;
    }
    EXPECT_EQ(PatternMismatch(ReadDisc(285, 310), 285), "") << "what wave.wav still holds";
    EXPECT_EQ(PatternMismatch(ReadDisc(435, 460), 435), "") << "the other files";
}

TEST_F(SheetAudio, AnMp3FilePlaysForItsLength) {
    WriteSound(folder.Path("a.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, Frames({{0, 75}}));
    Load("FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_NEAR(disc.leadOut, 75, 1);
    const Bytes read = ReadDisc(0, 60);
    ASSERT_EQ(read.size(), 60 * kFrameBytes);
    EXPECT_TRUE(std::any_of(read.begin(), read.end(), [](uint8_t b) { return b != 0; }));
}

// Half an MP3 file: its header still tells the whole's length, and its decoder warns about that.
// The disc is as long as the audio that is there, all of it plays, and the decoder says nothing.
TEST_F(SheetAudio, AnMp3FileCutInHalfPlaysWhatItHoldsWithoutAWord) {
    const std::string mp3 = folder.Path("a.mp3");
    WriteSound(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, Frames({{0, 300}}));
    std::filesystem::resize_file(mp3, std::filesystem::file_size(mp3) / 2);
    testing::internal::CaptureStderr();
    Load("FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const Bytes read = ReadDisc(0, disc.leadOut);
    ReadDisc(disc.leadOut / 2, disc.leadOut); // a jump back into the file
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NEAR(disc.leadOut, 150, 3);
    EXPECT_EQ(read.size(), static_cast<size_t>(disc.leadOut) * kFrameBytes) << "every frame reads";
}

// A file too short for one whole frame is refused as an empty one is, whatever its kind.
TEST(SheetAudioTooShort, AFileWithoutOneWholeFrameIsRefusedAsEmpty) {
    ImageFolder folder;
    WriteSound(folder.Path("short.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Bytes(14 * 4, 1));
    folder.Write("short.bin", "x");
    WriteSound(folder.Path("whole.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
               Frames({{0, 75}}));
    std::ifstream whole(folder.Path("whole.mp3"), std::ios::binary);
    std::string head(100, '\0');
    whole.read(head.data(), static_cast<std::streamsize>(head.size()));
    folder.Write("short.mp3", head);
    for (const auto& [name, type] :
         {std::pair{"short.wav", "WAVE"}, std::pair{"short.bin", "BINARY"},
          std::pair{"short.mp3", "MP3"}}) {
        const std::string sheet =
            folder.Write("disc.cue", "FILE \"" + std::string(name) + "\" " + type +
                                         "\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        DiscImage disc;
        std::string error;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadCueSheet(sheet, disc, error)) << name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_EQ(error, sheet + ":3: INDEX 01 of track 1 at 00:00:00 lies past the end of \"" +
                             name + "\"");
    }
}

} // namespace
} // namespace vdrive_test
