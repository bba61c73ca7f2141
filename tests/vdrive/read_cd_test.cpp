// READ CD: the image's audio frames bit for bit, data sectors as a drive gives them, and the sense
// of every read the drive refuses or cannot carry out.
#include "tests/support/pattern_frames.h"
#include "tests/vdrive/bus_fixture.h"

#include "drive/aspi.h"
#include "drive/sub_q_layout.h"
#include "playback/sub_q.h"

#include <algorithm>
#include <memory>

namespace vdrive_test {
namespace {

using namespace vdrive;

constexpr uint8_t kAnyType = 0;
constexpr uint8_t kCdda = 1;
constexpr uint32_t kChunk = 27; // about a third of a second

// The pattern up to `failFrom`, a read error from there on.
class FailingSource final : public AudioSource {
public:
    explicit FailingSource(int32_t failFrom) : failFrom_(failFrom) {}
    bool ReadFrames(int32_t lba, std::span<uint8_t> frames) const override {
        pattern_.ReadFrames(lba, frames);
        return lba + static_cast<int32_t>(frames.size() / kFrameBytes) <= failFrom_;
    }

private:
    PatternSource pattern_;
    int32_t failFrom_;
};

// Audio track 1, then a data track whose pregap starts at 19850 and which starts at 20000.
DiscImage AudioThenData() {
    DiscImage disc = MakeAudioDisc({0, 20000}, 40000);
    disc.tracks[1].control = kControlData;
    disc.tracks[1].pregapStart = 19850;
    return disc;
}

class ReadCd : public VirtualBus {
protected:
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());
};

TEST_F(ReadCd, DeliversTheImagesFramesBitForBitAcrossATrackBoundary) {
    ASSERT_TRUE(drive.StartPlayingTrack(1));
    struct Form {
        uint8_t type;
        int selection;
    };
    for (const Form form :
         {Form{kCdda, 0x10}, Form{kAnyType, 0x10}, Form{kCdda, 0xF8}, Form{kAnyType, 0xF8}}) {
        SCOPED_TRACE(testing::Message()
                     << "type " << int{form.type} << " selection " << form.selection);
        const Sent sent =
            Send(0, 3, ReadCdCdb(form.type, 19990, kChunk, form.selection), kChunk * kFrameBytes);
        ASSERT_EQ(sent.status, SS_COMP);
        EXPECT_EQ(sent.data.size(), kChunk * kFrameBytes);
        EXPECT_EQ(PatternMismatch(sent.data, 19990), "");
    }
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusPlaying) << "reading leaves the play alone";

    // The largest read a drive takes, through the transport as the play layer will send it.
    std::vector<uint8_t> large(kMaxReadCdFrames * kFrameBytes);
    const Bytes cdb = ReadCdCdb(kCdda, 39999 - kMaxReadCdFrames, kMaxReadCdFrames);
    ASSERT_EQ(ExecScsiCommand(0, 3, cdb, large), SS_COMP);
    EXPECT_EQ(PatternMismatch(large, 39999 - kMaxReadCdFrames), "");

    const Sent none = Send(0, 3, ReadCdCdb(kCdda, 100, 0), kFrameBytes);
    EXPECT_EQ(none.status, SS_COMP);
    EXPECT_TRUE(none.data.empty()) << "a length of 0 moves nothing";

    DiscImage silent = TwoTrackDisc();
    silent.audio = nullptr;
    drive.InsertDisc(silent);
    Send(0, 3, TurCdb());
    const Sent quiet = Send(0, 3, ReadCdCdb(kCdda, 19990, kChunk), kChunk * kFrameBytes);
    ASSERT_EQ(quiet.data.size(), kChunk * kFrameBytes);
    EXPECT_TRUE(std::all_of(quiet.data.begin(), quiet.data.end(), [](uint8_t b) { return b == 0; }))
        << "an image without a source is silent";
}

TEST_F(ReadCd, RefusesWhatItCannotServeWithTheSenseOfADrive) {
    drive.InsertDisc(AudioThenData());
    Send(0, 3, TurCdb()); // the unit attention of the new disc
    struct Row {
        const char* what;
        Bytes cdb;
        Sense sense;
    };
    const Row rows[] = {
        {"a data track as CD-DA", ReadCdCdb(kCdda, 20000, 1), kSenseIllegalModeForTrack},
        {"CD-DA into a data track's pregap", ReadCdCdb(kCdda, 19840, kChunk),
         kSenseIllegalModeForTrack},
        {"an audio track as Mode 1", ReadCdCdb(2, 0, 1), kSenseIllegalModeForTrack},
        {"a data track as Mode 2 form 1", ReadCdCdb(4, 20000, 1), kSenseIllegalModeForTrack},
        {"a reserved sector type", ReadCdCdb(6, 0, 1), kSenseInvalidFieldInCdb},
        {"at the lead-out", ReadCdCdb(kCdda, 40000, 1), kSenseLbaOutOfRange},
        {"across the lead-out", ReadCdCdb(kAnyType, 39990, kChunk), kSenseLbaOutOfRange},
        {"before the first pregap", ReadCdCdb(kCdda, -151, 1), kSenseLbaOutOfRange},
        {"raw sub-channel", ReadCdCdb(kCdda, 0, 1, 0x10, 1), kSenseInvalidFieldInCdb},
        {"R-W sub-channel", ReadCdCdb(kCdda, 0, 1, 0x10, 4), kSenseInvalidFieldInCdb},
        {"C2 error flags", ReadCdCdb(kCdda, 0, 1, 0x12), kSenseInvalidFieldInCdb},
        {"headers without data", ReadCdCdb(kCdda, 0, 1, 0x20), kSenseInvalidFieldInCdb},
        {"part of a data sector", ReadCdCdb(kAnyType, 20000, 1, 0x18), kSenseInvalidFieldInCdb},
        {"more than a drive moves at once", ReadCdCdb(kCdda, 0, kMaxReadCdFrames + 1),
         kSenseInvalidFieldInCdb},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Sent sent = Send(0, 3, row.cdb, kChunk * kFrameBytes);
        EXPECT_EQ(sent.status, SS_ERR);
        EXPECT_EQ(sent.sense(), row.sense);
        EXPECT_TRUE(sent.data.empty());
    }
}

TEST_F(ReadCd, ReadsADataTrackAsAnyTypeAsItsSectors) {
    drive.InsertDisc(AudioThenData());
    Send(0, 3, TurCdb());
    // Two audio frames, then the first two of the data track's pregap.
    const Sent user = Send(0, 3, ReadCdCdb(kAnyType, 19848, 4, 0x10), 4 * kFrameBytes);
    ASSERT_EQ(user.status, SS_COMP);
    ASSERT_EQ(user.data.size(), 2 * kFrameBytes + 2 * 2048) << "user data: 2048 bytes a sector";
    const std::span<const uint8_t> bytes(user.data);
    EXPECT_EQ(PatternMismatch(bytes.first(2 * kFrameBytes), 19848), "");
    EXPECT_TRUE(std::all_of(bytes.begin() + 2 * kFrameBytes, bytes.end(), [](uint8_t b) {
        return b == 0;
    })) << "the image holds no data";

    const Sent whole = Send(0, 3, ReadCdCdb(kAnyType, 19850, 1, 0xF8), kFrameBytes);
    ASSERT_EQ(whole.status, SS_COMP);
    ASSERT_EQ(whole.data.size(), kFrameBytes);
    // Sync, then the header: 19850 + 150 frames is 04:26:50, in BCD, mode 1.
    EXPECT_EQ(Bytes(whole.data.begin(), whole.data.begin() + 16),
              B({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0x26,
                 0x50, 0x01}));
}

// With the formatted Q asked for, each frame (audio or data, whole or its user data alone) is
// followed by the 16 bytes of its Q: its position, or the disc's catalogue number or the track's
// ISRC once a second. A drive that does not deliver Q refuses the selection.
TEST_F(ReadCd, FollowsEachFrameWithItsQWhenAskedAndADriveWithoutRefuses) {
    DiscImage disc = AudioThenData();
    disc.catalog = "0602517484290";
    disc.isrc = {"GBAYE0601498"};
    drive.InsertDisc(disc);
    Send(0, 3, TurCdb());
    constexpr size_t kWithQ = kFrameBytes + kFormattedQLength;
    // Audio 19775-19849, then the data track's pregap; 19775 + 150 is the 25th of a hundred.
    const Sent audio = Send(0, 3, ReadCdCdb(kAnyType, 19775, 85, 0x10, 2), 85 * kWithQ);
    ASSERT_EQ(audio.status, SS_COMP);
    ASSERT_EQ(audio.data.size(), 75 * kWithQ + 10 * (2048 + kFormattedQLength));
    const std::span<const uint8_t> bytes(audio.data);
    std::string codes;
    for (int32_t i = 0; i < 85; ++i) {
        const int32_t lba = 19775 + i;
        const size_t at = i < 75 ? size_t(i) * kWithQ : 75 * kWithQ + size_t(i - 75) * 2064;
        const size_t main = i < 75 ? kFrameBytes : 2048;
        if (i < 75) {
            ASSERT_EQ(PatternMismatch(bytes.subspan(at, kFrameBytes), lba), "") << lba;
        }
        const playback::QFrame q =
            playback::DecodeQ(bytes.subspan(at + main, kFormattedQLength), lba, disc.Layout());
        if (q.mode == playback::QFrame::Mode::Position) {
            EXPECT_EQ(q.position, playback::QPositionAt(disc.tracks, lba)) << lba;
        } else {
            ASSERT_NE(q.mode, playback::QFrame::Mode::Unusable) << lba;
            codes += std::to_string(lba) + ":" + q.code + " ";
        }
    }
    EXPECT_EQ(codes, "19775:GBAYE0601498 19800:0602517484290 ");

    const Sent everything = Send(0, 3, ReadCdCdb(kAnyType, 19850, 1, 0xF8, 2), kWithQ);
    ASSERT_EQ(everything.data.size(), kWithQ);
    const playback::QFrame code =
        playback::DecodeQ(std::span(everything.data).subspan(kFrameBytes), 19850, disc.Layout());
    EXPECT_EQ(code.mode, playback::QFrame::Mode::Position)
        << "not the catalogue: the track changes";
    EXPECT_EQ(code.position.track, 2);
    EXPECT_EQ(code.position.index, 0);

    drive.Setup().formattedQ = false;
    const Sent refused = Send(0, 3, ReadCdCdb(kCdda, 0, 1, 0x10, 2), kWithQ);
    EXPECT_EQ(refused.sense(), kSenseInvalidFieldInCdb);
}

TEST_F(ReadCd, AFailingSourceAnswersUnrecoveredReadErrorAndLeavesNothingBehind) {
    DiscImage disc = TwoTrackDisc();
    disc.audio = std::make_shared<FailingSource>(20000);
    drive.InsertDisc(disc);
    Send(0, 3, TurCdb());
    const Bytes toc = Send(0, 3, ReadTocCdb(0, 0, 0, 804), 804).data;

    // The source writes ten good frames before it fails.
    const Sent failed = Send(0, 3, ReadCdCdb(kCdda, 19990, kChunk), kChunk * kFrameBytes);
    EXPECT_EQ(failed.status, SS_ERR);
    EXPECT_EQ(failed.sense(), kSenseUnrecoveredReadError);
    EXPECT_TRUE(failed.data.empty());
    EXPECT_EQ(RequestedSense(0, 3), kSenseUnrecoveredReadError);

    EXPECT_EQ(Send(0, 3, ReadTocCdb(0, 0, 0, 804), 804).data, toc)
        << "no byte of the failed read shows in a later answer";
    std::array<uint8_t, 16> cdb{};
    const Bytes read = ReadCdCdb(kCdda, 19990, kChunk);
    std::copy(read.begin(), read.end(), cdb.begin());
    std::vector<uint8_t> area(kMaxAnswerLength);
    EXPECT_TRUE(drive.Execute(cdb, area).failed());
    EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](uint8_t b) { return b == 0; }))
        << "the drive itself leaves a failed answer as it found it";
    const Sent good = Send(0, 3, ReadCdCdb(kCdda, 19973, kChunk), kChunk * kFrameBytes);
    EXPECT_EQ(good.status, SS_COMP);
    EXPECT_EQ(PatternMismatch(good.data, 19973), "");
}

} // namespace
} // namespace vdrive_test
