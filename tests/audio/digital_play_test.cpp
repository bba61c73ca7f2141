// The digital play layer end to end: the player window's own handlers send their command blocks
// through the layer to a virtual drive whose disc holds the test pattern; a sink paced by the
// test's clock takes the sound. What the sink took must be exactly the disc's frames for what was
// played, and the window must show what was heard.
#include "audio/clock_sink.h"
#include "audio/play_layer.h"
#include "tests/support/pattern_frames.h"
#include "tests/support/player_on_bus.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace player_test;

// Three tracks at 0, 2000 and 4000; the lead-out at 6000.
vdrive::DiscImage SmallDisc() {
    return vdrive::MakeAudioDisc({0, 2000, 4000}, 6000);
}

class DigitalPlay : public PlayerOnBus {
protected:
    std::unique_ptr<audio::PlayLayer> layer;
    audio::ClockSink* sink = nullptr;
    vdrive::CdromDrive* drive = nullptr;

    void SetUp() override {
        drive = &AddDrive(SmallDisc());
        beforeWindow = [this] {
            layer = audio::PlayLayer::OverInstalled([this](audio::PcmFeed& feed) {
                auto made =
                    std::make_unique<audio::ClockSink>(feed, [this] { return clock.NowMs(); });
                sink = made.get();
                return made;
            });
            ASSERT_TRUE(layer);
            layer->Install();
        };
        Start();
    }
    void TearDown() override {
        PlayerOnBus::TearDown();
        layer.reset(); // its reader stops before the bus goes
    }

    // Time passes: the sink hears what is due, then the window polls.
    void Listen(int64_t ms) {
        clock.Advance(ms);
        if (sink) {
            sink->Pump();
        }
    }
    void Tick(int64_t ms) {
        Listen(ms);
        Poll();
    }
    std::string Heard() const { return sink ? PatternRuns(sink->Heard()) : ""; }
    size_t FramesHeard() const { return sink ? sink->FramesHeard() : 0; }
    audio::DrivePlayStats Stats() const { return layer->Stats(0, 3); }
    // A fresh window, layer and drive on the same bus, for the next row of a table.
    void Restart() {
        TearDown();
        sink = nullptr;
        state = PlayerState{};
        bus.ClearFaults();
        drive = &AddDrive(SmallDisc());
        Start();
    }

    // The audio status the layer reports now (used up, as the poll would).
    uint8_t AudioStatus() {
        std::array<uint8_t, 16> answer{};
        EXPECT_EQ(ReadSubChannel(0, 3, 1, 0, 1, 0, 16, answer), SS_COMP);
        return answer[1];
    }
    // The read speeds SET CD SPEED asked for, in order; the log is read once the layer is gone.
    std::vector<uint16_t> SpeedsAsked() const {
        std::vector<uint16_t> speeds;
        for (const vdrive::LoggedCommand& command : bus.Log()) {
            if (command.Opcode() == kOpSetCdSpeed) {
                speeds.push_back(static_cast<uint16_t>(ReadBe16(command.cdb, 2)));
            }
        }
        return speeds;
    }
    // The reader works on its own thread: waits (bounded) for what it is to have done.
    bool Eventually(const std::function<bool()>& done) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
};

TEST_F(DigitalPlay, TheHandlersPlayExactlyTheDiscsFramesAndTheWindowShowsWhatWasHeard) {
    dialog->OnPlay();
    Tick(2000);
    EXPECT_EQ(Heard(), "0+150");
    EXPECT_EQ(dialog->discPositionText, "00:02");
    EXPECT_EQ(state.isPlaying, 1);

    dialog->OnPauseResume(); // pause
    Tick(1000);
    EXPECT_EQ(Heard(), "0+150") << "nothing is heard while paused";
    EXPECT_EQ(state.isPlaying, 0);
    dialog->OnPauseResume(); // resume
    Tick(1000);
    EXPECT_EQ(Heard(), "0+225") << "pause and resume lose and repeat nothing";

    dialog->OnNextTrack();
    Tick(1000);
    dialog->OnFastForward(); // 6 s on from 2075
    Tick(1000);
    dialog->OnPreviousTrack(); // more than 3 s into track 2: it starts again
    Tick(1000);
    EXPECT_EQ(Heard(), "0+225 2000+75 2525+75 2000+75");
    EXPECT_EQ(dialog->trackNumberText, "Track 2");
    EXPECT_EQ(dialog->trackPositionText, "00:01");
    EXPECT_EQ(dialog->discPositionText, "00:27");

    dialog->OnEjectLoad();
    Tick(1000);
    EXPECT_EQ(Heard(), "0+225 2000+75 2525+75 2000+75") << "the eject ends the play";
    EXPECT_TRUE(drive->TrayOpen());
    EXPECT_EQ(Stats().failedChunks, 0u);
}

TEST_F(DigitalPlay, TheEndOfTheDiscIsHeardToItsLastFrameAndReportedOnce) {
    dialog->OnPlay();
    Tick(100);
    dialog->OnNextTrack();
    Tick(100);
    dialog->OnNextTrack();
    // The window plays to the frame before the last that READ CAPACITY names: 4000 to 5997.
    Listen(30000);
    EXPECT_EQ(Heard(), "0+7 2000+7 4000+1998");
    EXPECT_EQ(AudioStatus(), kAudioStatusCompleted);
    EXPECT_EQ(AudioStatus(), kAudioStatusNone);
    Poll();
    EXPECT_EQ(state.isPlaying, 0);
    EXPECT_EQ(dialog->discPositionText, "01:19"); // the last frame played
}

// A drive that cannot read its own audio plays on its own path, and the window works as ever.
TEST_F(DigitalPlay, ADriveThatCannotReadItsAudioPlaysTheDiscItself) {
    const Sense faults[] = {kSenseInvalidOperationCode, kSenseUnrecoveredReadError};
    for (const Sense& fault : faults) {
        SCOPED_TRACE(testing::Message() << "READ CD fails with " << int{fault.asc});
        Restart();
        bus.InjectFault(0, 3, kOpReadCd, vdrive::Fault::CheckCondition(fault));
        dialog->OnPlay();
        ASSERT_TRUE(Eventually([this] { return Stats().analog; }));
        Tick(2000);
        EXPECT_EQ(FramesHeard(), 0u);
        EXPECT_EQ(drive->AudioStatus(), kAudioStatusPlaying);
        EXPECT_EQ(dialog->discPositionText, "00:02");
        dialog->OnPauseResume();
        EXPECT_EQ(drive->AudioStatus(), kAudioStatusPaused) << "the drive's own pause";
        dialog->OnNextTrack(); // positions the drive only: the window counts as paused
        Poll();
        dialog->OnPlay();
        Tick(1000);
        EXPECT_EQ(dialog->trackNumberText, "Track 2");
        EXPECT_EQ(dialog->trackPositionText, "00:01");
        EXPECT_EQ(FramesHeard(), 0u);
    }
}

TEST_F(DigitalPlay, BadChunksAreHeardAsSilenceAndTenInARowStopThePlay) {
    dialog->OnPlay();
    Tick(500);
    // Two chunks fail all four tries, wherever the reader has got to.
    bus.InjectFault(0, 3, kOpReadCd, vdrive::Fault::CheckCondition(kSenseUnrecoveredReadError, 8));
    Tick(6000);
    EXPECT_EQ(FramesHeard(), 487u) << "silence takes time like music";
    const std::string heard = Heard();
    const size_t silence = heard.find(" silence+54 ");
    ASSERT_NE(silence, std::string::npos) << heard;
    const int64_t before = std::stoll(heard.substr(heard.find('+') + 1, silence));
    EXPECT_EQ(heard.substr(silence), " silence+54 " + std::to_string(before + 54) + "+" +
                                         std::to_string(487 - before - 54))
        << "the play goes on where the bad patch ends";
    EXPECT_EQ(Stats().failedChunks, 2u);
    EXPECT_EQ(dialog->discPositionText, "00:06");

    bus.InjectFault(0, 3, kOpReadCd, vdrive::Fault::CheckCondition(kSenseUnrecoveredReadError));
    Listen(20000);
    EXPECT_EQ(Stats().failedChunks, 12u);
    EXPECT_NE(Heard().find("silence+270"), std::string::npos) << Heard();
    EXPECT_EQ(AudioStatus(), kAudioStatusStoppedByError);
    EXPECT_EQ(AudioStatus(), kAudioStatusNone);
    const size_t reads = bus.CountCommands(kOpReadCd);
    Tick(2000);
    EXPECT_EQ(state.isPlaying, 0);
    EXPECT_EQ(bus.CountCommands(kOpReadCd), reads) << "a stopped play reads no more";
}

// SET CD SPEED: 4x before the first read of a play, the drive's fastest again once the play has
// ended, however it ends; on an eject, before the tray moves.
TEST_F(DigitalPlay, TheDriveReadsAt4xWhilePlayingAndAtItsFastestAfterEveryEnd) {
    constexpr uint16_t k4x = 4 * 177;
    struct Row {
        const char* what;
        std::function<void()> end;
    };
    const Row rows[] = {
        {"Stop", [this] { dialog->OnStop(); }},
        {"Eject", [this] { dialog->OnEjectLoad(); }},
        {"the end of the disc",
         [this] {
             dialog->OnNextTrack();
             Tick(200); // the poll shows track 2, so that Next goes on to 3
             dialog->OnNextTrack();
             Listen(30000);
         }},
        {"closing the window", [this] { dialog->OnCancel(); }},
        {"the program ending mid-play", [this] { layer.reset(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Restart();
        EXPECT_EQ(drive->ReadSpeed(), kCdSpeedMaximum);
        dialog->OnPlay();
        Tick(200);
        EXPECT_EQ(drive->ReadSpeed(), k4x) << "asked before the first read";
        row.end();
        EXPECT_TRUE(Eventually([this] { return drive->ReadSpeed() == kCdSpeedMaximum; }));
        layer.reset(); // the log holds still
        const std::vector<uint16_t> speeds = SpeedsAsked();
        ASSERT_FALSE(speeds.empty());
        EXPECT_EQ(speeds.front(), k4x);
        EXPECT_EQ(speeds.back(), kCdSpeedMaximum);
        const auto& log = bus.Log();
        const auto lastSpeed = std::find_if(log.rbegin(), log.rend(), [](const auto& command) {
            return command.Opcode() == kOpSetCdSpeed;
        });
        const auto firstTray = std::find_if(log.begin(), log.end(), [](const auto& command) {
            return command.Opcode() == kOpStartStopUnit;
        });
        EXPECT_TRUE(firstTray == log.end() || lastSpeed.base() <= firstTray)
            << "the speed comes back before the tray moves";
    }
}

TEST_F(DigitalPlay, ABufferThatRunsLowAsksTheDriveForMoreSpeed) {
    dialog->OnPlay();
    ASSERT_TRUE(Eventually([this] { return Stats().chunksRead >= 4; })) << "a full buffer";
    Listen(3000); // the sink takes more at once than the buffer holds
    EXPECT_TRUE(Eventually([this] { return drive->ReadSpeed() > 4 * 177; }));
    EXPECT_EQ(Heard(), "0+225");
    dialog->OnStop();
    EXPECT_TRUE(Eventually([this] { return drive->ReadSpeed() == kCdSpeedMaximum; }));
    layer.reset();
    const std::vector<uint16_t> speeds = SpeedsAsked();
    ASSERT_GE(speeds.size(), 3u);
    EXPECT_EQ(speeds[0], 4 * 177);
    EXPECT_EQ(speeds[1], 8 * 177) << "one step at a time";
}

// A drive that refuses SET CD SPEED is asked once, says nothing about it, and plays all the same.
TEST_F(DigitalPlay, ADriveThatRefusesSetCdSpeedIsAskedOnceAndPlaysAnyway) {
    for (const Sense& refusal : {kSenseInvalidOperationCode, kSenseInvalidFieldInCdb}) {
        SCOPED_TRACE(testing::Message() << "refused with ASC " << int{refusal.asc});
        Restart();
        bus.InjectFault(0, 3, kOpSetCdSpeed, vdrive::Fault::CheckCondition(refusal));
        dialog->OnPlay();
        Tick(1000);
        dialog->OnStop();
        Tick(100);
        dialog->OnPlay();
        Tick(1000);
        EXPECT_EQ(Heard(), "0+75 0+75");
        layer.reset();
        EXPECT_EQ(bus.CountCommands(kOpSetCdSpeed), 1u);
        EXPECT_TRUE(errors.empty());
    }
}

TEST_F(DigitalPlay, ADriveThatVanishesOrOpensItsTrayMidPlayStopsThePlay) {
    struct Row {
        const char* what;
        std::function<void()> happen;
    };
    const Row rows[] = {
        {"vanishes", [this] { bus.Vanish(0, 3); }},
        {"opens its tray", [this] { drive->OpenTray(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Restart();
        dialog->OnPlay();
        Tick(500);
        row.happen();
        Tick(3000);
        const size_t heard = FramesHeard();
        const size_t reads = bus.CountCommands(kOpReadCd);
        EXPECT_LT(heard, 262u) << "the play stopped when the drive did";
        EXPECT_EQ(Heard(), "0+" + std::to_string(heard));
        RefreshTick();
        Tick(2000);
        EXPECT_EQ(FramesHeard(), heard);
        EXPECT_EQ(bus.CountCommands(kOpReadCd), reads) << "nothing is read any more";
        EXPECT_EQ(dialog->titleText, "No Audio CD inserted");
    }
}

} // namespace
