// The digital play layer answers what it takes over as the drive itself would: two drives hold the
// same disc, one reached through the layer (which plays digitally), the other directly; both get
// the same commands, and every answer (status, sense, the bytes of READ SUB-CHANNEL and of REQUEST
// SENSE) must be the same. The test's clock stands still, so the drive's play and the layer's
// (which hears nothing without a sink) stand at the same place; where the layer's play moves, by
// a sink on the same clock, the drive is put where the layer says it is.
#include "audio/clock_sink.h"
#include "audio/play_layer.h"
#include "audio/pump.h"
#include "drive/aspi_request.h"
#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/msf.h"
#include "vdrive/bus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Tracks 1 and 2 of audio, track 3 of data from 6000; the lead-out at 9000. Only the first track
// has a pregap: the layer knows the disc from its table of contents, which names no pregaps.
vdrive::DiscImage MixedDisc() {
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 3000, 6000}, 9000);
    disc.tracks[2].control = kControlData;
    return disc;
}

// Track 2 starts at 3150 after a pregap (INDEX 00) from 3000 that the table of contents does not
// show; the Q sub-channel does, and carries the disc's catalogue number and its ISRCs.
vdrive::DiscImage PregapDisc() {
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 3150}, 9000);
    disc.tracks[1].pregapStart = 3000;
    disc.catalog = "0602517484290";
    disc.isrc = {"GBAYE0601498", "GBAYE0601499"};
    return disc;
}

Bytes Of(std::span<const uint8_t> cdb) {
    return {cdb.begin(), cdb.end()};
}
Bytes Play12(int32_t start, int32_t length) {
    return Of(PlayAudio12Cdb(static_cast<uint32_t>(start), static_cast<uint32_t>(length)));
}
// PLAY AUDIO(10), which the program itself never sends.
Bytes Play10(int32_t start, uint16_t length) {
    Bytes cdb{kOpPlayAudio10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    WriteBe32(cdb, 2, static_cast<uint32_t>(start));
    WriteBe16(cdb, 7, length);
    return cdb;
}
Bytes PlayMsf(int32_t start, int32_t end) {
    return Of(PlayAudioMsfCdb(start, end));
}
Bytes Seek(int32_t address) {
    return Of(SeekCdb(static_cast<uint32_t>(address)));
}
Bytes Pause(bool resume) {
    return Of(PauseResumeCdb(resume));
}
Bytes Position(bool msf, bool subQ, uint8_t allocation) {
    return Of(ReadSubChannelCdb(subQ, msf, kSubChannelCurrentPosition, 0, allocation));
}
Bytes Code(uint8_t format, int track) {
    return Of(ReadSubChannelCdb(1, 0, format, track, kCodeAnswerLength));
}
const Bytes kStop = Of(StopPlayScanCdb());
const Bytes kRequestSense = Of(RequestSenseCdb(kFixedSenseLength));

struct Answer {
    uint8_t status = 0;
    uint8_t targetStatus = 0;
    Bytes sense; // key, ASC, ASCQ of a check condition
    Bytes data;

    friend bool operator==(const Answer&, const Answer&) = default;
};

std::ostream& operator<<(std::ostream& out, const Answer& answer) {
    out << "status " << int{answer.status} << ", sense";
    for (uint8_t byte : answer.sense) {
        out << ' ' << std::hex << int{byte};
    }
    out << ", data";
    for (uint8_t byte : answer.data) {
        out << ' ' << std::hex << int{byte};
    }
    return out << std::dec;
}

// A sound card's stand-in that holds what it is given, as a sound server does: it takes frames
// until it holds kHeld it has not played, plays 75 a second of the test's clock from its start,
// and says how many it has not played. It says it is not yet draining them, so that the layer
// takes its word at each pass rather than moving the position on by the machine's own clock.
class HoldingSink final : public audio::AudioSink {
public:
    static constexpr size_t kHeld = 40; // about half a second

    HoldingSink(audio::PcmFeed& feed, const vdrive::ManualClock& clock)
        : feed_(feed), state_(std::make_shared<State>(clock)),
          pump_(audio::PumpSettings{.ownThread = false,
                                    .nowMs = [&clock] { return clock.NowMs(); },
                                    .mostFramesAtOnce = 0,
                                    .patience = std::chrono::seconds(20),
                                    .beforePass = {}}),
          channel_(pump_.AddChannel(std::make_unique<Device>(state_))) {
        pump_.AddFeed(channel_, feed_);
    }
    ~HoldingSink() override { pump_.RemoveChannel(channel_); }
    HoldingSink(const HoldingSink&) = delete;
    HoldingSink& operator=(const HoldingSink&) = delete;

    void Wake() override { pump_.Wake(channel_); }
    void Pump() { pump_.Pass(); }
    size_t Played() const { return state_->Played(); }
    size_t Held() const { return state_->written - state_->Played(); }

private:
    struct State {
        explicit State(const vdrive::ManualClock& c) : clock(c) {}
        const vdrive::ManualClock& clock;
        int64_t startMs = 0;
        size_t written = 0;
        size_t Played() const {
            return std::min(written, static_cast<size_t>(FramesInMs(clock.NowMs() - startMs)));
        }
    };
    class Device final : public audio::PumpChannel {
    public:
        explicit Device(std::shared_ptr<State> state) : state_(std::move(state)) {}
        void Start() override {
            state_->startMs = state_->clock.NowMs();
            state_->written = 0;
        }
        void Stop() override { state_->written = 0; }
        std::optional<size_t> Room() override { return kHeld - Unheard(); }
        void Write(std::span<const uint8_t> frames) override {
            state_->written += frames.size() / audio::kCdFrameBytes;
        }
        size_t Unheard() override { return state_->written - state_->Played(); }
        bool Draining() override { return false; }
        std::chrono::milliseconds Interval() override { return std::chrono::milliseconds(0); }

    private:
        const std::shared_ptr<State> state_;
    };

    audio::PcmFeed& feed_;
    const std::shared_ptr<State> state_;
    audio::Pump pump_;
    const audio::Pump::ChannelId channel_;
};

class LayerAnswers : public testing::Test {
protected:
    static constexpr int kThroughLayer = 3;
    static constexpr int kDirect = 4;
    static constexpr int kPregapThroughLayer = 6;
    static constexpr int kPregapDirect = 7;

    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    std::unique_ptr<audio::PlayLayer> layer;

    void SetUp() override {
        bus.AddDrive(0, kThroughLayer, MixedDisc());
        bus.AddDrive(0, kDirect, MixedDisc());
        bus.Install();
        layer = audio::PlayLayer::OverInstalled(nullptr); // no sink: nothing is heard
        ASSERT_TRUE(layer);
    }

    Answer Send(int target, const Bytes& cdb, uint32_t length = 24) {
        Bytes data(length, 0xEE); // what the answer leaves alone shows
        SRB_ExecSCSICmd srb;
        EXPECT_TRUE(PrepareRequest(srb, 0, target, cdb, data));
        if (target == kDirect || target == kPregapDirect) {
            bus.SendCommand(&srb);
        } else {
            layer->SendCommand(&srb);
        }
        Answer answer{srb.SRB_Status, srb.SRB_TargStat, {}, data};
        if (srb.SRB_TargStat == STATUS_CHKCOND) {
            answer.sense = {static_cast<uint8_t>(srb.SenseArea[2] & 0x0F), srb.SenseArea[12],
                            srb.SenseArea[13]};
        }
        return answer;
    }
    // Sends to both drives and says where their answers differ.
    void Both(const Bytes& cdb, const char* what) {
        const Answer layered = Send(kThroughLayer, cdb);
        const Answer direct = Send(kDirect, cdb);
        EXPECT_EQ(layered, direct) << what;
    }
};

TEST_F(LayerAnswers, EveryCommandItTakesOverIsAnsweredAsTheDriveAnswersIt) {
    struct Row {
        const char* what;
        std::vector<Bytes> before; // sent to both, answers compared too
    };
    const Row rows[] = {
        {"playing from the first track's pregap", {Play12(-100, 1000)}},
        {"playing into the data track", {Play12(5900, 1000)}},
        {"paused in a track", {Play12(3100, 500), Pause(false)}},
        {"resumed", {Play12(3100, 500), Pause(false), Pause(true)}},
        {"stopped by a seek", {Play12(100, 50), Seek(4321)}},
        {"stopped", {Play12(100, 50), kStop}},
        {"played by MSF", {PlayMsf(3000, 3400)}},
        {"played by PLAY AUDIO(10)", {Play10(200, 75)}},
        {"a play of length 0 leaves the play alone", {Play12(1000, 100), Play12(2000, 0)}},
        {"a play past the lead-out is refused", {Play12(100, 50), Play12(9000, 10), kRequestSense}},
        {"a play in the data track is refused", {Play12(100, 50), Play12(6100, 10), kRequestSense}},
        {"an end before the start is refused", {Play12(100, 50), PlayMsf(500, 400), kRequestSense}},
        {"nothing to pause or resume", {Play12(100, 50), Seek(10), Pause(false), Pause(true)}},
        {"a seek outside the disc is refused", {Play12(100, 50), Seek(9000), kRequestSense}},
    };
    const Bytes probes[] = {Position(false, true, 16), Position(true, true, 16),
                            Position(false, true, 12), Position(true, false, 16),
                            Position(false, true, 1)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        for (const Bytes& cdb : row.before) {
            Both(cdb, "the command itself");
        }
        for (const Bytes& probe : probes) {
            Both(probe, "READ SUB-CHANNEL");
        }
    }
    EXPECT_TRUE(layer->Stats(0, kThroughLayer).digital);
}

// The layer plays through track 2's pregap, reading the Q sub-channel with the audio: at each
// frame it reaches, its position answers (LBA and MSF) are the drive's own at that frame: track 2,
// index 0, the relative address counting down to its start. The catalogue number and the ISRCs
// come from the Q frames that carried them, without asking the drive. A drive that will not
// deliver Q with READ CD plays all the same, answered from the table of contents.
TEST_F(LayerAnswers, ThroughAPregapItAnswersFromTheQSubChannelAsTheDriveItself) {
    constexpr int kWithoutQ = 8;
    bus.AddDrive(0, kPregapThroughLayer, PregapDisc());
    bus.AddDrive(0, kPregapDirect, PregapDisc());
    vdrive::DriveSetup noQ;
    noQ.formattedQ = false;
    bus.AddDrive(0, kWithoutQ, PregapDisc(), noQ);
    std::vector<audio::ClockSink*> sinks;
    layer = audio::PlayLayer::OverInstalled([this, &sinks](audio::PcmFeed& feed) {
        auto sink = std::make_unique<audio::ClockSink>(feed, [this] { return clock.NowMs(); });
        sinks.push_back(sink.get());
        return sink;
    });
    ASSERT_EQ(Send(kPregapThroughLayer, Play12(2970, 300)).status, SS_COMP);
    ASSERT_EQ(Send(kWithoutQ, Play12(2970, 300)).status, SS_COMP);
    int inPregap = 0;
    for (int probe = 0; probe < 65; ++probe) {
        clock.Advance(40); // three frames
        for (audio::ClockSink* sink : sinks) {
            sink->Pump();
        }
        const Answer layered = Send(kPregapThroughLayer, Position(false, true, 16));
        const auto at = static_cast<int32_t>(ReadBe32(layered.data, 8));
        ASSERT_EQ(Send(kPregapDirect, Play12(at, 100)).status, SS_COMP);
        EXPECT_EQ(layered, Send(kPregapDirect, Position(false, true, 16))) << at;
        EXPECT_EQ(Send(kPregapThroughLayer, Position(true, true, 16)),
                  Send(kPregapDirect, Position(true, true, 16)))
            << at;
        if (at >= 3000 && at < 3150) {
            ++inPregap;
            EXPECT_EQ(layered.data[6], 2) << at;
            EXPECT_EQ(layered.data[7], 0) << at;
            EXPECT_EQ(static_cast<int32_t>(ReadBe32(layered.data, 12)), at - 3150) << at;
        }
        const Answer fromToc = Send(kWithoutQ, Position(false, true, 16));
        const auto tocAt = static_cast<int32_t>(ReadBe32(fromToc.data, 8));
        EXPECT_EQ(fromToc.data[6], tocAt < 3150 ? 1 : 2) << "the track as the TOC has it";
        EXPECT_EQ(fromToc.data[7], 1);
    }
    EXPECT_GE(inPregap, 45);
    EXPECT_FALSE(layer->Stats(0, kWithoutQ).subChannel);
    EXPECT_TRUE(layer->Stats(0, kWithoutQ).digital) << "and still plays digitally";

    const size_t asked = bus.CountCommands(kOpReadSubChannel);
    for (const Bytes& cdb :
         {Code(kSubChannelCatalog, 0), Code(kSubChannelIsrc, 1), Code(kSubChannelIsrc, 2)}) {
        const Answer layered = Send(kPregapThroughLayer, cdb);
        EXPECT_EQ(layered, Send(kPregapDirect, cdb));
        EXPECT_EQ(layered.data[8], 0x80) << "valid";
    }
    EXPECT_EQ(bus.CountCommands(kOpReadSubChannel) - asked, 3u)
        << "only the direct drive was asked";
    const Answer isrc = Send(kPregapThroughLayer, Code(kSubChannelIsrc, 2));
    EXPECT_EQ(std::string(isrc.data.begin() + 9, isrc.data.begin() + 21), "GBAYE0601499");
}

// With a sink that holds half a second it has not played, the layer answers for the frame heard,
// not the frame last handed over: its position is where the sink's clock has played to, and the
// Q it answers from (index 0 and the count-down in the pregap, then track 2) is that frame's.
TEST_F(LayerAnswers, ItAnswersForTheFrameHeardNotTheFrameHandedToTheSink) {
    bus.AddDrive(0, kPregapThroughLayer, PregapDisc());
    bus.AddDrive(0, kPregapDirect, PregapDisc());
    HoldingSink* sink = nullptr;
    layer = audio::PlayLayer::OverInstalled([this, &sink](audio::PcmFeed& feed) {
        auto made = std::make_unique<HoldingSink>(feed, clock);
        sink = made.get();
        return made;
    });
    ASSERT_EQ(Send(kPregapThroughLayer, Play12(2970, 300)).status, SS_COMP);
    ASSERT_NE(sink, nullptr);
    int inPregap = 0;
    for (int probe = 0; probe < 70; ++probe) { // into track 2 by 30 frames
        clock.Advance(40);
        sink->Pump();
        ASSERT_EQ(sink->Held(), HoldingSink::kHeld) << "the sink holds what it has not played";
        const Answer layered = Send(kPregapThroughLayer, Position(false, true, 16));
        const auto at = static_cast<int32_t>(ReadBe32(layered.data, 8));
        ASSERT_EQ(at, 2970 + static_cast<int32_t>(sink->Played()));
        ASSERT_EQ(Send(kPregapDirect, Play12(at, 100)).status, SS_COMP);
        EXPECT_EQ(layered, Send(kPregapDirect, Position(false, true, 16))) << at;
        inPregap += at >= 3000 && at < 3150 ? 1 : 0;
    }
    EXPECT_GE(inPregap, 45);
}

TEST_F(LayerAnswers, ADrivePlayingOnItsOwnWhenTheLayerComesPlaysOnThroughIt) {
    constexpr int kForeign = 5;
    constexpr int kDisk = 6;
    vdrive::CdromDrive& foreign = bus.AddDrive(
        0, kForeign, MixedDisc(), vdrive::DriveSetup{{"NORDISK ", "CD-ROM ND-2400S ", "3.01"}});
    bus.AddDisk(0, kDisk);
    ASSERT_TRUE(foreign.StartPlayingTrack(1));
    ASSERT_TRUE(bus.DriveAt(0, kThroughLayer)->StartPlayingTrack(2)); // from 3000
    clock.Advance(1000);                                              // one second on: 3075
    bus.ClearLog();
    layer->Install();
    EXPECT_TRUE(layer->Stats(0, kThroughLayer).digital) << "the layer carries the play on";
    EXPECT_FALSE(layer->Stats(0, kDirect).digital) << "an idle drive is left alone";
    EXPECT_NE(bus.DriveAt(0, kThroughLayer)->AudioStatus(), kAudioStatusPlaying)
        << "the drive's own play stopped: one sound at a time";
    EXPECT_FALSE(layer->Stats(0, kForeign).digital)
        << "a drive the player does not list plays on on its own, out of the window's reach";
    EXPECT_EQ(foreign.AudioStatus(), kAudioStatusPlaying);

    const Answer position = Send(kThroughLayer, Position(false, true, 16));
    ASSERT_EQ(position.status, SS_COMP);
    EXPECT_EQ(position.data[1], kAudioStatusPlaying);
    EXPECT_EQ(position.data[6], 2) << "track";
    EXPECT_EQ(ReadBe32(position.data, 8), 3075u) << "from where the drive had got";

    layer.reset(); // its reader stops: the log holds still
    for (const vdrive::LoggedCommand& command : bus.Log()) {
        EXPECT_FALSE(command.target == kDisk && command.Opcode() != kOpInquiry)
            << "a disk is sent no audio command: " << int{command.Opcode()};
    }
}

} // namespace
