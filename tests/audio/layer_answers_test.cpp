// The digital play layer answers what it takes over as the drive itself would: two drives hold the
// same disc, one reached through the layer (which plays digitally), the other directly; both get
// the same commands, and every answer (status, sense, the bytes of READ SUB-CHANNEL and of REQUEST
// SENSE) must be the same. The test's clock stands still, so the drive's play and the layer's
// (which hears nothing without a sink) stand at the same place.
#include "audio/play_layer.h"
#include "drive/aspi_request.h"
#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "vdrive/bus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Tracks 1 and 2 of audio, track 3 of data from 6000; the lead-out at 9000. Only the first track
// has a pregap: the layer knows the disc from its table of contents, which names no pregaps, so
// inside a later track's pregap it reports the track before (a drive reads the pregap's own
// sub-channel).
vdrive::DiscImage MixedDisc() {
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 3000, 6000}, 9000);
    disc.tracks[2].control = kControlData;
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

class LayerAnswers : public testing::Test {
protected:
    static constexpr int kThroughLayer = 3;
    static constexpr int kDirect = 4;

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
        if (target == kThroughLayer) {
            layer->SendCommand(&srb);
        } else {
            bus.SendCommand(&srb);
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
