// The player's sound as each command line sets it up: the demo's playing disc handed to the
// digital play layer and heard from then on, --analog leaving the drives to play on their own,
// and an --audio-file that cannot be written refused in one line.
#include "app/sound_setup.h"

#include "audio/clock_sink.h"
#include "drive/big_endian.h"
#include "drive/scsi_opcodes.h"
#include "platform/aspi_layer.h"
#include "vdrive/demo_discs.h"

#include <gtest/gtest.h>

namespace {

class SoundSetup : public testing::Test {
protected:
    vdrive::ManualClock clock;
    CommandLine commandLine;
    PlayerDrives drives;
    PlayerSound sound;
    std::string error;
    audio::ClockSink* sink = nullptr;

    void SetUp() override {
        commandLine.drives = CommandLine::Drives::Demo;
        DriveSetupOptions options;
        options.clock = &clock;
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
    ASSERT_TRUE(SetUpSound(commandLine, drives, sound, error, ClockSinks())) << error;
    ASSERT_TRUE(sound.layer);
    EXPECT_EQ(sound.notice, "");
    ASSERT_NE(sink, nullptr) << "the hand-over plays digitally at once";
    clock.Advance(1000);
    EXPECT_EQ(sink->Pump(), 75u);
    EXPECT_TRUE(sound.layer->Stats(0, 3).digital);

    const int32_t trackTwo = vdrive::DemoCdTextDisc().tracks[1].start;
    uint32_t firstRead = 0;
    for (const vdrive::LoggedCommand& command : drives.bus->Log()) {
        if (command.Opcode() == kOpReadCd && command.target == 3) {
            firstRead = ReadBe32(command.cdb, 2);
            break;
        }
    }
    EXPECT_EQ(firstRead, static_cast<uint32_t>(trackTwo));
    EXPECT_NE(PlayingDrive().AudioStatus(), vdrive::kAudioPlaying)
        << "the drive's own play ended: one sound at a time";
}

TEST_F(SoundSetup, AnalogLeavesTheDrivesAloneAndABadSoundFileIsRefused) {
    commandLine.analog = true;
    ASSERT_TRUE(SetUpSound(commandLine, drives, sound, error));
    EXPECT_FALSE(sound.layer);
    EXPECT_EQ(PlayingDrive().AudioStatus(), vdrive::kAudioPlaying);

    commandLine.analog = false;
    commandLine.audioFile = "/nonexistent-folder/out.wav";
    EXPECT_FALSE(SetUpSound(commandLine, drives, sound, error));
    EXPECT_EQ(error, "discolo: cannot write the sound to /nonexistent-folder/out.wav: No such "
                     "file or directory");
    EXPECT_FALSE(sound.layer);
}

} // namespace
