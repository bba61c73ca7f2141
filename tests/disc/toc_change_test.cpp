#include "disc/toc.h"
#include "tests/disc/fake_drive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

class TocChange : public ::testing::Test {
protected:
    FakeDrives drives;
    PlayerState state;
    std::array<uint8_t, 804> buffer{};

    void SetUp() override {
        ASSERT_TRUE(drives.loaded);
        drives.discs[0].toc = MakeAudioToc(1, 12);
    }
    bool Check(int target = 0) { return CheckTocChange(state, 0, target, buffer); }
};

TEST_F(TocChange, SendsOneReadTocOfFormatZeroForEightHundredFourBytes) {
    Check();
    ASSERT_EQ(drives.layer.requests.size(), 1u);
    const std::vector<uint8_t> expected = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0x00};
    EXPECT_EQ(drives.layer.requests[0].cdb, expected);
    EXPECT_EQ(drives.layer.requests[0].srb.SRB_BufLen, 804u);
}

TEST_F(TocChange, FirstCheckAfterStartChangesAndTheSecondOnTheSameDiscDoesNot) {
    EXPECT_TRUE(Check());
    EXPECT_FALSE(Check());
    EXPECT_FALSE(Check());

    const std::vector<uint8_t>& toc = drives.discs[0].toc;
    EXPECT_TRUE(std::equal(toc.begin(), toc.end(), state.tocImage.begin()));
    EXPECT_TRUE(std::all_of(state.tocImage.begin() + static_cast<long>(toc.size()),
                            state.tocImage.end(), [](uint8_t b) { return b == 1; }))
        << "the rest of the image is the fill the drive did not overwrite";
}

TEST_F(TocChange, AnotherDiscCountsAsChanged) {
    Check();
    drives.discs[0].toc = MakeAudioToc(1, 11);
    EXPECT_TRUE(Check());
    drives.discs[0].toc[12 + 7] ^= 1; // one start address differs in its last bit
    EXPECT_TRUE(Check());
}

TEST_F(TocChange, AFailedReadChangesEveryTimeAndLeavesTheNinetyNinePattern) {
    Check();
    drives.discs[0].tocStatus = SS_ERR;
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(Check()) << "check " << i;
        EXPECT_TRUE(std::all_of(state.tocImage.begin(), state.tocImage.end(),
                                [](uint8_t b) { return b == 99; }));
    }
    drives.discs[0].tocStatus = SS_COMP;
    EXPECT_TRUE(Check()) << "the first good read after a failure differs from the pattern";
    EXPECT_FALSE(Check());
}

TEST_F(TocChange, ASecondDriveWithTheSameTocCountsAsUnchanged) {
    drives.discs[4].toc = drives.discs[0].toc;
    EXPECT_TRUE(Check(0));
    EXPECT_FALSE(Check(4)) << "one cache for all drives";
    drives.discs[5].toc = MakeAudioToc(1, 3);
    EXPECT_TRUE(Check(5));
    EXPECT_TRUE(Check(0));
}

TEST_F(TocChange, ANinetyNineTrackTocFillsTheImageExactly) {
    drives.discs[0].toc = MakeAudioToc(1, 99);
    ASSERT_EQ(drives.discs[0].toc.size(), 804u);
    EXPECT_EQ(drives.discs[0].toc[0] * 256 + drives.discs[0].toc[1], 802);
    EXPECT_TRUE(Check());
    EXPECT_TRUE(
        std::equal(state.tocImage.begin(), state.tocImage.end(), drives.discs[0].toc.begin()));
    EXPECT_FALSE(Check());
    drives.discs[0].toc[803] ^= 1; // the lead-out's last address byte is the image's last byte
    EXPECT_TRUE(Check());
}

TEST_F(TocChange, OnlyTheLengthFieldAndTheBytesItAnnouncesAreCompared) {
    // A drive that leaves stray bytes after its answer: they differ from read to read.
    std::vector<uint8_t> toc = MakeAudioToc(1, 2);
    toc.push_back(0x11);
    drives.discs[0].toc = toc;
    Check();
    drives.discs[0].toc.back() = 0x22;
    EXPECT_FALSE(Check());
    EXPECT_EQ(state.tocImage[toc.size() - 1], 0x22) << "all 804 bytes are still copied";
}

TEST_F(TocChange, ALengthBeyondTheImageIsComparedOnlyUpToItsEnd) {
    std::vector<uint8_t> toc = MakeAudioToc(1, 99);
    toc[0] = 0xFF;
    toc[1] = 0xFF;
    drives.discs[0].toc = toc;
    EXPECT_TRUE(Check());
    EXPECT_FALSE(Check());
}

} // namespace
