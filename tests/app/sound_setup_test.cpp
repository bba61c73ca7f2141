// The player's sound as each command line sets it up: the demo's playing disc handed to the
// digital play layer and heard from then on, --analog leaving the drives to play on their own, and
// de-emphasis as --no-deemphasis leaves it.
#include "app/sound_setup.h"

#include "app/drive_setup.h"
#include "audio/clock_sink.h"
#include "drive/aspi.h"
#include "drive/big_endian.h"
#include "drive/commands.h"
#include "drive/scsi_opcodes.h"
#include "platform/aspi_layer.h"
#include "tests/support/tone_disc.h"
#include "vdrive/demo_discs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

namespace {

class SoundSetup : public testing::Test {
protected:
    vdrive::ManualClock clock;
    CommandLine commandLine;
    PlayerDrives drives;
    PlayerSound sound;
    audio::ClockSink* sink = nullptr;

    void SetUp() override {
        commandLine.drives = CommandLine::Drives::Demo;
        DriveSetupOptions options;
        options.clock = &clock;
        std::string error;
        ASSERT_TRUE(SetUpDrives(commandLine, drives, error, options)) << error;
    }
    void TearDown() override {
        sound = PlayerSound{}; // the layer goes before the bus
        drives = PlayerDrives{};
        InstallAspiLayer(nullptr);
    }
    SoundSetupOptions ClockSinks() {
        SoundSetupOptions options;
        options.sinks = [this](audio::PcmFeed& feed) {
            auto made = std::make_unique<audio::ClockSink>(feed, [this] { return clock.NowMs(); });
            sink = made.get();
            return made;
        };
        return options;
    }
    const vdrive::CdromDrive& PlayingDrive() const { return *drives.bus->DriveAt(0, 3); }
};

TEST_F(SoundSetup, TheDemoDiscAlreadyPlayingIsHeardThroughTheLayerFromItsSecondTrack) {
    SetUpSound(commandLine, nullptr, sound, ClockSinks());
    ASSERT_TRUE(sound.layer);
    EXPECT_EQ(sink, nullptr) << "nothing is heard before the window shows";
    EXPECT_EQ(PlayingDrive().AudioStatus(), kAudioStatusPlaying);
    StartSound(sound);
    EXPECT_EQ(sound.notice, "");
    ASSERT_NE(sink, nullptr) << "the hand-over plays digitally at once";
    clock.Advance(1000);
    EXPECT_EQ(sink->Pump(), 75u);
    EXPECT_TRUE(sound.layer->Stats(0, 3).digital);
    sound.layer.reset(); // its reader stops: the log holds still

    const int32_t trackTwo = vdrive::DemoCdTextDisc().tracks[1].start;
    uint32_t firstRead = 0;
    for (const vdrive::LoggedCommand& command : drives.bus->Log()) {
        if (command.Opcode() == kOpReadCd && command.target == 3) {
            firstRead = ReadBe32(command.cdb, 2);
            break;
        }
    }
    EXPECT_EQ(firstRead, static_cast<uint32_t>(trackTwo));
    EXPECT_NE(PlayingDrive().AudioStatus(), kAudioStatusPlaying)
        << "the drive's own play ended: one sound at a time";
}

// A disc's tracks flagged for pre-emphasis are de-emphasised for whatever hears the play: the
// sinks made for it (the sound card's, here the test's clock) and the --audio-file alike;
// --no-deemphasis plays them as they are.
TEST(SoundSetupDeemphasis, TheCommandLineDecidesAndEverySinkHearsTheSame) {
    ImageFolder folder;
    const std::string sheet = tone_disc::WriteSheet(folder);
    const std::string wav = folder.Path("heard.wav");
    constexpr size_t kTrack = 3; // 10 kHz, flagged
    const double curveDb = tone_disc::CurveDb(tone_disc::kTracks[kTrack].hz);
    struct Row {
        std::vector<std::string> arguments;
        std::optional<double> levelDb; // none: bit for bit
    };
    const Row rows[] = {
        {{"--image", sheet}, curveDb},
        {{"--image", sheet, "--no-deemphasis"}, std::nullopt},
        {{"--image", sheet, "--audio-file", wav}, curveDb},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.back());
        CommandLine commandLine;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(row.arguments, commandLine, error)) << error;
        vdrive::ManualClock clock;
        DriveSetupOptions driveOptions;
        driveOptions.clock = &clock;
        PlayerDrives drives;
        ASSERT_TRUE(SetUpDrives(commandLine, drives, error, driveOptions)) << error;
        std::unique_ptr<audio::WavFileOutput> file;
        ASSERT_TRUE(OpenSoundFile(commandLine, file, error)) << error;
        audio::ClockSink* sink = nullptr;
        SoundSetupOptions soundOptions;
        if (!file) {
            soundOptions.sinks = [&](audio::PcmFeed& feed) {
                auto made =
                    std::make_unique<audio::ClockSink>(feed, [&clock] { return clock.NowMs(); });
                sink = made.get();
                return made;
            };
        }
        PlayerSound sound;
        SetUpSound(commandLine, file.get(), sound, soundOptions);
        ASSERT_TRUE(sound.layer);
        ASSERT_NE(LoadAspi(), 0u);
        const auto start = static_cast<int32_t>(kTrack * tone_disc::kTrackSamples / 588);
        ASSERT_EQ(PlayAudioLba(0, 0, start, 75), SS_COMP);
        std::vector<uint8_t> heard;
        if (sink) {
            clock.Advance(1000);
            sink->Pump();
            heard = sink->Heard();
        } else {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(700)); // the file takes in real time
            sound = PlayerSound{};
            file.reset();
            std::ifstream in(wav, std::ios::binary);
            heard.assign(std::istreambuf_iterator<char>(in), {});
            heard.erase(heard.begin(),
                        heard.begin() + std::min<std::ptrdiff_t>(44, std::ssize(heard)));
        }
        sound = PlayerSound{};
        UnloadAspi();
        InstallAspiLayer(nullptr);
        const size_t samples = heard.size() / 4;
        ASSERT_GT(samples, 4 * tone_disc::kTrackSamples / 10) << "under 0.4 s heard";
        if (row.levelDb) {
            EXPECT_NEAR(tone_disc::LevelDb(heard, 441, samples - 441), *row.levelDb, 0.3);
        } else {
            const std::vector<int16_t> tone = tone_disc::Tone(tone_disc::kTracks[kTrack].hz);
            for (size_t i = 0; i < samples; ++i) {
                ASSERT_EQ(tone_disc::Left(heard, i), tone[2 * i]) << "sample " << i;
            }
        }
    }
}

TEST_F(SoundSetup, AnalogLeavesTheDrivesToPlayOnTheirOwn) {
    commandLine.analog = true;
    SetUpSound(commandLine, nullptr, sound, ClockSinks());
    StartSound(sound);
    EXPECT_FALSE(sound.layer);
    EXPECT_EQ(PlayingDrive().AudioStatus(), kAudioStatusPlaying);
}

} // namespace
