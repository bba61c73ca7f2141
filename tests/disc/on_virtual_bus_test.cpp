// The disc layer against drives that behave like real ones: the virtual bus with its CD-ROM
// drives, their discs and CD-Text as a disc writer encodes it.
#include "cdtext/cdtext_encoder.h"
#include "disc/cdtext.h"
#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/commands.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class DiscOnVirtualBus : public ::testing::Test {
protected:
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    PlayerState state;
    std::array<uint8_t, 804> buffer{};

    void Load() {
        bus.Install();
        ASSERT_NE(LoadAspi(), 0u);
    }
    void TearDown() override { UnloadAspi(); }
    bool Check(int target) { return CheckTocChange(state, 0, target, buffer); }
};

TEST_F(DiscOnVirtualBus, TheChangeCheckFollowsDiscsInAndOutOfTheDrive) {
    vdrive::CdromDrive& drive = bus.AddDrive(0, 1, vdrive::DemoCdTextDisc());
    Load();
    EXPECT_TRUE(Check(1)) << "the first check after start";
    EXPECT_FALSE(Check(1));

    drive.OpenTray();
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_TRUE(Check(1)) << "an open tray fails the read on every tick";
        EXPECT_TRUE(std::all_of(state.tocImage.begin(), state.tocImage.end(),
                                [](uint8_t b) { return b == 99; }));
    }
    drive.InsertDisc(vdrive::DemoMixedDisc());
    drive.CloseTray();
    EXPECT_TRUE(Check(1)) << "the unit attention after the new disc fails this read";
    EXPECT_TRUE(Check(1)) << "the new disc";
    EXPECT_FALSE(Check(1));
}

TEST_F(DiscOnVirtualBus, ASecondDriveWithTheSameDiscIsNotAChange) {
    bus.AddDrive(0, 1, vdrive::DemoMixedDisc());
    bus.AddDrive(0, 2, vdrive::DemoMixedDisc());
    bus.AddDrive(0, 3, vdrive::DemoCdTextDisc());
    Load();
    EXPECT_TRUE(Check(1));
    EXPECT_FALSE(Check(2)) << "one cache for all drives";
    EXPECT_TRUE(Check(3));
}

TEST_F(DiscOnVirtualBus, DecodesTheMixedDiscAndTheDiscNumberedFromThree) {
    bus.AddDrive(0, 1, vdrive::DemoMixedDisc());
    bus.AddDrive(0, 2, vdrive::DemoThirdTrackDisc());
    Load();
    for (int target : {1, 2}) {
        SCOPED_TRACE(target);
        const vdrive::DiscImage& disc = *bus.DriveAt(0, target)->Disc();
        ASSERT_EQ(ReadToc(0, target, 0, 804, buffer), 1);
        const std::optional<TrackTable> table = DecodeTrackTable(buffer);
        ASSERT_TRUE(table.has_value());
        EXPECT_EQ(table->firstTrack, disc.tracks.front().number);
        EXPECT_EQ(table->lastTrack, disc.tracks.back().number);
        ASSERT_EQ(table->tracks.size(), disc.tracks.size());
        for (size_t i = 0; i < disc.tracks.size(); ++i) {
            EXPECT_EQ(table->tracks[i].start, disc.tracks[i].start);
            EXPECT_EQ(table->tracks[i].isAudio, (disc.tracks[i].control & kControlData) == 0);
        }
        EXPECT_TRUE(table->hasAudio);
        EXPECT_EQ(table->leadOutStart, disc.leadOut);

        ASSERT_EQ(ReadCapacity(0, target, buffer), 1);
        EXPECT_EQ(DiscEndFromCapacity(buffer), disc.leadOut - 1)
            << "the last block, not the lead-out";
    }
}

TEST_F(DiscOnVirtualBus, ReadsTheTextsADiscWriterEncoded) {
    cdtext::CdTextAlbum album;
    album.title = "Rock & Roll";
    album.performer = "The Band";
    album.tracks = {{"One", "Me & You", ""}, {"Two & Three", "", ""}, {"Four", "Solo", ""}};
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 15000, 30000}, 45000);
    cdtext::CdTextProblem problem;
    ASSERT_TRUE(cdtext::EncodeCdText(album, disc.cdText, problem)) << problem.message;
    bus.AddDrive(0, 1, disc);
    Load();

    std::vector<uint8_t> response(kDiscTextBufferLength);
    int32_t length = 0;
    ASSERT_TRUE(FetchDiscText(0, 1, response, length));
    EXPECT_EQ(length, static_cast<int32_t>(2 + disc.cdText.size()));
    EXPECT_EQ(ExtractDiscTextItem(0x80, 0, response, length), "Rock && Roll");
    EXPECT_EQ(ExtractDiscTextItem(0x80, 2, response, length), "Two & Three")
        << "track titles keep one '&'";
    EXPECT_EQ(ExtractDiscTextItem(0x81, 0, response, length), "The Band");
    EXPECT_EQ(ExtractDiscTextItem(0x81, 1, response, length), "Me && You");
}

TEST_F(DiscOnVirtualBus, ADiscWithoutTextIsNoCdTextWhicheverWayTheDriveSaysSo) {
    vdrive::DriveSetup headerOnly;
    headerOnly.cdTextHeaderWithoutText = true;
    bus.AddDrive(0, 1, vdrive::DemoMixedDisc());             // CHECK CONDITION 05/24/00
    bus.AddDrive(0, 2, vdrive::DemoMixedDisc(), headerOnly); // GOOD with a bare header
    Load();
    for (int target : {1, 2}) {
        std::vector<uint8_t> response(kDiscTextBufferLength);
        int32_t length = -1;
        EXPECT_FALSE(FetchDiscText(0, target, response, length)) << target;
    }
}

} // namespace
