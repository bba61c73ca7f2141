#include "disc/cdtext.h"
#include "tests/disc/cdtext_packs.h"
#include "tests/disc/fake_drive.h"

#include <gtest/gtest.h>

namespace {

class FetchDiscTextFromDrive : public ::testing::Test {
protected:
    FakeDrives drives;
    std::vector<uint8_t> response = std::vector<uint8_t>(kDiscTextBufferLength);
    int32_t length = -5;

    void SetUp() override { ASSERT_TRUE(drives.loaded); }
    bool Fetch() { return FetchDiscText(0, 0, response, length); }

    // The allocation length of each CD-Text read sent, in order.
    std::vector<uint32_t> Allocations() const {
        std::vector<uint32_t> allocations;
        for (const std::vector<uint8_t>& cdb : drives.SentCommands()) {
            EXPECT_EQ(cdb[0], 0x43);
            EXPECT_EQ(cdb[2], 0x05);
            allocations.push_back((uint32_t{cdb[7]} << 8) | cdb[8]);
        }
        return allocations;
    }
};

TEST_F(FetchDiscTextFromDrive, OnePackIsNoCdTextAndTwoPacksAre) {
    drives.discs[0].discText = DiscTextResponse({EncodePacks(0x80, {"Album", "One"})});
    ASSERT_EQ(AnnouncedLength(drives.discs[0].discText), 20);
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(length, 20);

    drives.layer.requests.clear();
    drives.discs[0].discText = DiscTextResponse({EncodePacks(0x80, {"Album", "One", "Two"})});
    ASSERT_EQ(AnnouncedLength(drives.discs[0].discText), 38);
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(length, 38);
    EXPECT_EQ(Allocations(), (std::vector<uint32_t>{4, 40}));
    EXPECT_EQ(ExtractDiscTextItem(0x80, 2, response, length), "Two") << "both packs walked";
}

TEST_F(FetchDiscTextFromDrive, ALengthAboveTenThousandIsCappedAndFiveHundredFiftyFivePacksWalked) {
    // 666 packs: 554 of another type, then a title in pack 554 (the last walked) and a second
    // title that starts there and ends in pack 555.
    std::vector<Packs> groups(554, RawPack(0x8F, 0, ""));
    groups.push_back(RawPack(0x80, 0,
                             std::string("Last\0"
                                         "1234567",
                                         12)));
    groups.push_back(RawPack(0x80, 7, std::string("89\0", 3)));
    groups.resize(666, RawPack(0x8F, 0, ""));
    drives.discs[0].discText = DiscTextResponse(groups);
    drives.discs[0].discText[0] = 12000 >> 8; // the header announces 12000 bytes
    drives.discs[0].discText[1] = 12000 & 0xFF;

    EXPECT_TRUE(Fetch());
    EXPECT_EQ(length, 10000);
    EXPECT_EQ(Allocations(), (std::vector<uint32_t>{4, 10002}));
    EXPECT_EQ(drives.layer.requests[1].srb.SRB_BufLen, 10002u);
    EXPECT_EQ(ExtractDiscTextItem(0x80, 0, response, length), "Last");
    EXPECT_EQ(ExtractDiscTextItem(0x80, 1, response, length), "") << "pack 555 is not walked";
    EXPECT_EQ(ExtractDiscTextItem(0x80, 1, drives.discs[0].discText, 10018), "123456789")
        << "the whole answer has it";
}

TEST_F(FetchDiscTextFromDrive, AFailedReadIsNoCdText) {
    drives.discs[0].discText = DiscTextResponse({EncodePacks(0x80, {"Album", "One", "Two"})});

    drives.discs[0].discTextStatuses = {SS_ERR};
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Allocations(), (std::vector<uint32_t>{4})) << "no second read after a failed first";

    drives.layer.requests.clear();
    drives.discs[0].discTextStatuses = {SS_COMP, SS_ERR};
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(Allocations(), (std::vector<uint32_t>{4, 40}));
}

TEST_F(FetchDiscTextFromDrive, AResponseBufferTooShortIsNoCdTextAndIsNotOverrun) {
    drives.discs[0].discText = DiscTextResponse({EncodePacks(0x80, {"Album", "One", "Two"})});

    std::vector<uint8_t> tiny(3);
    EXPECT_FALSE(FetchDiscText(0, 0, tiny, length));
    EXPECT_TRUE(drives.layer.requests.empty()) << "a short buffer sends nothing";

    std::vector<uint8_t> headerOnly(39); // holds the header, not the 40 bytes of the second read
    EXPECT_FALSE(FetchDiscText(0, 0, headerOnly, length));
    EXPECT_EQ(Allocations(), (std::vector<uint32_t>{4}));

    std::vector<uint8_t> exact(40);
    EXPECT_TRUE(FetchDiscText(0, 0, exact, length));
}

TEST_F(FetchDiscTextFromDrive, AnAnswerWhosePacksAreNotAllCdTextIsNoCdText) {
    std::vector<uint8_t> strayPack =
        DiscTextResponse({EncodePacks(0x80, {"Album", "One", "Two"}), RawPack(0x00, 0, ""),
                          EncodePacks(0x81, {"Band", "Band"})});
    struct Row {
        const char* name;
        std::vector<uint8_t> answer;
        bool hasText;
    };
    const std::vector<Row> rows = {
        {"a table of contents, GOOD status", MakeAudioToc(1, 12), false},
        {"a pack of type 0x00 among CD-Text packs", strayPack, false},
        {"every type from 0x80 to 0x8F",
         DiscTextResponse({EncodePacks(0x80, {"Album", "One"}), RawPack(0x8F, 0, ""),
                           EncodePacks(0x8E, {"", "GBAAA0000001"})}),
         true},
    };
    for (const Row& row : rows) {
        drives.discs[0].discText = row.answer;
        ASSERT_GE(AnnouncedLength(row.answer), 22) << row.name;
        EXPECT_EQ(Fetch(), row.hasText) << row.name;
    }
}

} // namespace
