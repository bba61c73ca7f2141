// The player's sound as each command line sets it up: the demo's playing disc handed to the
// digital play layer and heard from then on, and --analog leaving the drives to play on their
// own.
#include "app/sound_setup.h"

#include "app/drive_setup.h"
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

TEST_F(SoundSetup, AnalogLeavesTheDrivesToPlayOnTheirOwn) {
    commandLine.analog = true;
    SetUpSound(commandLine, nullptr, sound, ClockSinks());
    StartSound(sound);
    EXPECT_FALSE(sound.layer);
    EXPECT_EQ(PlayingDrive().AudioStatus(), kAudioStatusPlaying);
}

} // namespace
