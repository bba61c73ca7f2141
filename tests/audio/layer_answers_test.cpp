// The digital play layer answers what it takes over as the drive itself would: two drives hold the
// same disc, one reached through the layer (which plays digitally), the other directly; both get
// the same commands, and every answer (status, sense, the bytes of READ SUB-CHANNEL and of REQUEST
// SENSE) must be the same. The test's clock stands still, so the drive's play and the layer's
// (which hears nothing without a sink) stand at the same place.
#include "audio/play_layer.h"
#include "drive/big_endian.h"
#include "drive/msf.h"
#include "drive/scsi_opcodes.h"
#include "playback/toc_decode.h"
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

Bytes Play12(int32_t start, int32_t length) {
    Bytes cdb(12, 0);
    cdb[0] = kOpPlayAudio12;
    WriteBe32(cdb, 2, static_cast<uint32_t>(start));
    WriteBe32(cdb, 6, static_cast<uint32_t>(length));
    return cdb;
}
Bytes Play10(int32_t start, uint16_t length) {
    Bytes cdb{kOpPlayAudio10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    WriteBe32(cdb, 2, static_cast<uint32_t>(start));
    WriteBe16(cdb, 7, length);
    return cdb;
}
Bytes PlayMsf(int32_t start, int32_t end) {
    Bytes cdb{kOpPlayAudioMsf, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    WriteMsf(cdb, 3, start + kMsfLbaOffset);
    WriteMsf(cdb, 6, end + kMsfLbaOffset);
    return cdb;
}
Bytes Seek(int32_t address) {
    Bytes cdb{kOpSeek10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    WriteBe32(cdb, 2, static_cast<uint32_t>(address));
    return cdb;
}
Bytes Pause(bool resume) {
    return {kOpPauseResume, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(resume ? 1 : 0), 0};
}
Bytes Position(bool msf, bool subQ, uint8_t allocation) {
    return {kOpReadSubChannel,
            static_cast<uint8_t>(msf ? 0x02 : 0),
            static_cast<uint8_t>(subQ ? 0x40 : 0),
            0x01,
            0,
            0,
            0,
            0,
            allocation,
            0};
}
const Bytes kStop{kOpStopPlayScan, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kRequestSense{kOpRequestSense, 0, 0, 0, 18, 0};

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
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Target = static_cast<uint8_t>(target);
        srb.SRB_Flags = SRB_DIR_IN;
        srb.SRB_BufLen = length;
        srb.SRB_BufPointer = length ? data.data() : nullptr;
        srb.SRB_SenseLen = SENSE_LEN;
        srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
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

TEST(TocDecoding, OnlyAWholeConsistentTableIsADisc) {
    // Two audio tracks and a data track at 0, 20000, 30000; the lead-out at 40000.
    Bytes good{0x00, 0x22, 0x01, 0x03};
    for (const auto& [number, control, start] :
         {std::tuple{1, 0x10, 0}, {2, 0x10, 20000}, {3, 0x14, 30000}, {0xAA, 0x14, 40000}}) {
        Bytes descriptor(8, 0);
        descriptor[1] = static_cast<uint8_t>(control);
        descriptor[2] = static_cast<uint8_t>(number);
        WriteBe32(descriptor, 4, static_cast<uint32_t>(start));
        good.insert(good.end(), descriptor.begin(), descriptor.end());
    }
    const std::optional<playback::DiscLayout> layout = playback::DecodeToc(good);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->leadOut, 40000);
    ASSERT_EQ(layout->tracks.size(), 3u);
    EXPECT_EQ(layout->tracks[2].control, kControlData);
    EXPECT_EQ(layout->tracks[1].pregapStart, 20000) << "no pregap is made up";

    auto with = [&good](size_t at, uint8_t value) {
        Bytes bad = good;
        bad[at] = value;
        return bad;
    };
    const std::pair<const char*, Bytes> bad[] = {
        {"cut short", Bytes(good.begin(), good.end() - 8)},
        {"a length that leaves out the lead-out", with(1, 0x1A)},
        {"no first track", with(2, 0)},
        {"a last track before the first", with(3, 0)},
        {"a track missing", with(3, 4)},
        {"a track out of order", with(4 + 8 + 2, 3)},
        {"starts that go back", with(4 + 16 + 6, 0)},
        {"a lead-out before the last start", with(4 + 24 + 6, 0)},
        {"nothing at all", Bytes{}},
    };
    for (const auto& [what, answer] : bad) {
        EXPECT_FALSE(playback::DecodeToc(answer)) << what;
    }
}

} // namespace
