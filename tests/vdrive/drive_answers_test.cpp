// Byte-exact answers of the CD-ROM drive, and the sense of every refusal.
#include "tests/vdrive/bus_fixture.h"

#include "drive/commands.h"

#include <functional>
#include <string>

namespace vdrive_test {
namespace {

using namespace vdrive;

class DriveAnswers : public VirtualBus {
protected:
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());

    Bytes Answer(const Bytes& cdb, uint32_t length = 804) {
        const Sent sent = Send(0, 3, cdb, length);
        EXPECT_EQ(sent.status, SS_COMP) << "sense " << testing::PrintToString(sent.sense());
        return sent.data;
    }
};

TEST_F(DriveAnswers, InquiryNamesARemovableCdRomDriveOfTheVendor) {
    Bytes expected = B({0x05, 0x80, 0x02, 0x02, 0x1F, 0, 0, 0});
    for (char c : std::string("VORTANE CD-ROM VX-6012SA1.12")) {
        expected.push_back(static_cast<uint8_t>(c));
    }
    EXPECT_EQ(Answer(InquiryCdb(56), 56), expected);

    drive.OpenTray();
    EXPECT_EQ(Answer(InquiryCdb(56), 56), expected) << "with the tray open too";
    EXPECT_EQ(Answer(B({0x12, 0x01, 0x00, 0, 56, 0}), 56), B({0x05, 0x00, 0x00, 0x01, 0x00}))
        << "the supported-pages page";
}

TEST_F(DriveAnswers, ReadCapacityGivesTheLastBlockBeforeTheLeadOut) {
    EXPECT_EQ(Answer(CapacityCdb(), 8), B({0x00, 0x00, 0x9C, 0x3F, 0x00, 0x00, 0x08, 0x00}));
}

TEST_F(DriveAnswers, ReadTocFormat0ListsTracksAndTheLeadOutInLbaAndMsf) {
    EXPECT_EQ(
        Answer(ReadTocCdb(0, 0, 0, 804)),
        B({0x00, 0x1A, 0x01, 0x02, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
           0x02, 0x00, 0x00, 0x00, 0x4E, 0x20, 0x00, 0x10, 0xAA, 0x00, 0x00, 0x00, 0x9C, 0x40}));
    EXPECT_EQ(
        Answer(ReadTocCdb(1, 0, 0, 804)),
        B({0x00, 0x1A, 0x01, 0x02, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x10,
           0x02, 0x00, 0x00, 0x04, 0x1C, 0x32, 0x00, 0x10, 0xAA, 0x00, 0x00, 0x08, 0x37, 0x19}));

    std::array<uint8_t, 804> toc{};
    EXPECT_EQ(ReadToc(0, 3, 0, 804, toc), 1) << "as the player asks for it";
    EXPECT_EQ(toc[0x1A + 1], 0x40);
}

TEST_F(DriveAnswers, ReadTocTakesTheFormatFromByte2ElseFromTheControlByte) {
    const Bytes session =
        B({0x00, 0x0A, 0x01, 0x01, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(Answer(ReadTocCdb(0, 1, 0, 804)), session);
    EXPECT_EQ(Answer(ReadTocCdb(0, 0, 0, 804, 0x40)), session);
    EXPECT_EQ(Answer(ReadTocCdb(0, 1, 0, 804, 0x00)), session);
    EXPECT_EQ(Answer(ReadTocCdb(0, 0, 0, 804, 0x3F)).size(), 28u)
        << "the low control bits are no format";
    EXPECT_EQ(Send(0, 3, ReadTocCdb(0, 0, 0, 804, 0x80), 804).sense(), kSenseInvalidFieldInCdb);
    EXPECT_EQ(Send(0, 3, ReadTocCdb(0, 3, 0, 804), 804).sense(), kSenseInvalidFieldInCdb);
}

TEST_F(DriveAnswers, ReadTocStartsAtTheRequestedTrack) {
    drive.InsertDisc(MakeAudioDisc({0, 20000, 30000}, 40000, 3)); // tracks 3, 4, 5
    Send(0, 3, TurCdb());
    struct Row {
        int start;
        std::optional<Bytes> header;
    };
    for (const Row& row : {Row{0, B({0x00, 0x22, 3, 5})}, Row{1, B({0x00, 0x22, 3, 5})},
                           Row{4, B({0x00, 0x1A, 3, 5})}, Row{5, B({0x00, 0x12, 3, 5})},
                           Row{0xAA, B({0x00, 0x0A, 3, 5})}, Row{6, std::nullopt}}) {
        SCOPED_TRACE(row.start);
        const Sent sent = Send(0, 3, ReadTocCdb(0, 0, row.start, 804), 804);
        if (!row.header) {
            EXPECT_EQ(sent.sense(), kSenseInvalidFieldInCdb);
            continue;
        }
        ASSERT_EQ(sent.status, SS_COMP);
        EXPECT_EQ(Bytes(sent.data.begin(), sent.data.begin() + 4), *row.header);
        EXPECT_EQ(sent.data[sent.data.size() - 6], 0xAA) << "the lead-out comes last";
    }
}

TEST_F(DriveAnswers, ReadTocShowsDataTracksAndRepeatsTheLastControlForTheLeadOut) {
    DiscImage mixed = MakeAudioDisc({0, 12000}, 30000);
    mixed.tracks[0].control = kControlData | kControlCopyAllowed;
    mixed.tracks[1].control = kControlPreEmphasis;
    drive.InsertDisc(mixed);
    Send(0, 3, TurCdb());
    const Bytes toc = Answer(ReadTocCdb(0, 0, 0, 804));
    EXPECT_EQ(toc[5], 0x16);
    EXPECT_EQ(toc[13], 0x11);
    EXPECT_EQ(toc[21], 0x11);
}

TEST_F(DriveAnswers, ReadTocFormat5GivesTheRawPacksOrTheDrivesAnswerForNone) {
    EXPECT_EQ(Send(0, 3, ReadTocCdb(0, 5, 0, 4), 4).sense(), kSenseInvalidFieldInCdb);
    drive.Setup().cdTextHeaderWithoutText = true;
    EXPECT_EQ(Answer(ReadTocCdb(0, 5, 0, 804)), B({0x00, 0x02, 0x00, 0x00}));

    DiscImage disc = TwoTrackDisc();
    for (int i = 0; i < 2 * 18 + 5; ++i) {
        disc.cdText.push_back(static_cast<uint8_t>(0x80 + i)); // two packs and a stray tail
    }
    drive.InsertDisc(disc);
    Send(0, 3, TurCdb());
    const Bytes text = Answer(ReadTocCdb(1, 5, 0, 1000), 1000);
    ASSERT_EQ(text.size(), 4u + 36u);
    EXPECT_EQ(Bytes(text.begin(), text.begin() + 4), B({0x00, 0x26, 0x00, 0x00}));
    EXPECT_EQ(Bytes(text.begin() + 4, text.end()),
              Bytes(disc.cdText.begin(), disc.cdText.begin() + 36));

    std::array<uint8_t, 4> header{};
    EXPECT_EQ(ReadDiscText(0, 3, 4, header), 1);
    EXPECT_EQ(header[1], 0x26);
}

TEST_F(DriveAnswers, ReadSubChannelReportsThePositionInLbaAndMsf) {
    ASSERT_EQ(SeekLba(0, 3, 20230), 1);
    EXPECT_EQ(Answer(SubChannelCdb(0, 1, 1)), B({0x00, 0x15, 0x00, 0x0C, 0x01, 0x10, 0x02, 0x01,
                                                 0x00, 0x00, 0x4F, 0x06, 0x00, 0x00, 0x00, 0xE6}));
    EXPECT_EQ(Answer(SubChannelCdb(1, 1, 1)), B({0x00, 0x15, 0x00, 0x0C, 0x01, 0x10, 0x02, 0x01,
                                                 0x00, 0x04, 0x1F, 0x37, 0x00, 0x00, 0x03, 0x05}));
    EXPECT_EQ(Answer(SubChannelCdb(0, 0, 1)), B({0x00, 0x15, 0x00, 0x00}))
        << "SubQ 0: the header only";
    EXPECT_EQ(Answer(SubChannelCdb(0, 1, 2, 24)),
              B({0, 0x15, 0, 0x14, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Answer(SubChannelCdb(0, 1, 3, 24, 2))[6], 2);
    EXPECT_EQ(Send(0, 3, SubChannelCdb(0, 1, 3, 24, 7), 24).sense(), kSenseInvalidFieldInCdb);
    EXPECT_EQ(Send(0, 3, SubChannelCdb(0, 1, 4), 24).sense(), kSenseInvalidFieldInCdb);
}

TEST_F(DriveAnswers, ReadSubChannelCountsIndex0AndDownwardTimeInsidePregaps) {
    DiscImage disc = TwoTrackDisc();
    disc.tracks[1].pregapStart = 19850;
    drive.InsertDisc(disc);
    Send(0, 3, TurCdb());
    struct Row {
        int32_t lba;
        Bytes lba16;
        Bytes msf16;
    };
    const Row rows[] = {
        {19900, B({0, 0x15, 0, 0x0C, 1, 0x10, 2, 0, 0, 0, 0x4D, 0xBC, 0xFF, 0xFF, 0xFF, 0x9C}),
         B({0, 0x15, 0, 0x0C, 1, 0x10, 2, 0, 0, 4, 0x1B, 0x19, 0, 0, 1, 0x19})},
        {19849, B({0, 0x15, 0, 0x0C, 1, 0x10, 1, 1, 0, 0, 0x4D, 0x89, 0, 0, 0x4D, 0x89}),
         B({0, 0x15, 0, 0x0C, 1, 0x10, 1, 1, 0, 4, 0x1A, 0x31, 0, 4, 0x18, 0x31})},
        {-150, B({0, 0x15, 0, 0x0C, 1, 0x10, 1, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0xFF, 0xFF, 0xFF, 0x6A}),
         B({0, 0x15, 0, 0x0C, 1, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lba);
        ASSERT_EQ(Send(0, 3, SeekCdb(row.lba)).status, SS_COMP);
        EXPECT_EQ(Answer(SubChannelCdb(0, 1, 1)), row.lba16);
        EXPECT_EQ(Answer(SubChannelCdb(1, 1, 1)), row.msf16);
    }
}

TEST_F(DriveAnswers, RequestSenseReportsTheLastFailureOnceThenTheAudioStatus) {
    EXPECT_EQ(Answer(SenseCdb(), 18),
              B({0x70, 0, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x15, 0, 0, 0, 0}));
    Send(0, 3, PauseCdb());
    Send(0, 3, InquiryCdb(), 56);
    EXPECT_EQ(RequestedSense(0, 3), kSenseCommandSequenceError) << "INQUIRY keeps the sense";
    EXPECT_EQ(RequestedSense(0, 3), (Sense{kSenseKeyNoSense, 0x00, kAudioStatusNone}))
        << "then it is gone";
    Send(0, 3, PauseCdb());
    Send(0, 3, TurCdb());
    EXPECT_EQ(RequestedSense(0, 3), (Sense{kSenseKeyNoSense, 0x00, kAudioStatusNone}))
        << "a later command clears it";
    Send(0, 3, Play10Cdb(0, 750));
    EXPECT_EQ(RequestedSense(0, 3), (Sense{kSenseKeyNoSense, 0x00, kAudioStatusPlaying}));
}

// Each refusal, with the sense it gives in SenseArea and then through REQUEST SENSE.
TEST_F(DriveAnswers, EveryRefusalCarriesItsSense) {
    DiscImage mixed = MakeAudioDisc({0, 12000}, 30000);
    mixed.tracks[0].control = kControlData;
    struct Row {
        const char* name;
        std::function<void()> prepare;
        Bytes cdb;
        Sense sense;
    };
    const Row rows[] = {
        {"unknown operation code", [] {}, B({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}),
         kSenseInvalidOperationCode},
        {"mode sense", [] {}, B({0x5A, 0, 0x0E, 0, 0, 0, 0, 0, 0xFF, 0}),
         kSenseInvalidOperationCode},
        {"no medium", [&] { drive.RemoveDisc(); }, TurCdb(), kSenseNoMedium},
        {"no medium, play", [&] { drive.RemoveDisc(); }, Play10Cdb(0, 10), kSenseNoMedium},
        {"tray open", [&] { drive.OpenTray(); }, TurCdb(), kSenseNoMediumTrayOpen},
        {"tray open, sub-channel", [&] { drive.OpenTray(); }, SubChannelCdb(0, 1, 1),
         kSenseNoMediumTrayOpen},
        {"disc without tracks",
         [&] {
             drive.InsertDisc({});
             Send(0, 3, TurCdb());
         },
         TurCdb(), kSenseIncompatibleMedium},
        {"play in a data track",
         [&] {
             drive.InsertDisc(mixed);
             Send(0, 3, TurCdb());
         },
         Play10Cdb(100, 10), kSenseIllegalModeForTrack},
        {"play past the lead-out", [] {}, Play12Cdb(39000, 1001), kSenseLbaOutOfRange},
        {"play from the lead-out", [] {}, Play10Cdb(40000, 1), kSenseLbaOutOfRange},
        {"play a 24-bit negative length", [] {}, Play12Cdb(100, 0xFFFFFF), kSenseLbaOutOfRange},
        {"play msf backwards", [] {}, PlayMsfCdb(0, 4, 0, 0, 3, 0), kSenseInvalidFieldInCdb},
        {"seek past the lead-out", [] {}, SeekCdb(40000), kSenseLbaOutOfRange},
        {"seek to a 24-bit negative", [] {}, SeekCdb(0xFFFFFB), kSenseLbaOutOfRange},
        {"pause with nothing playing", [] {}, PauseCdb(), kSenseCommandSequenceError},
        {"resume with nothing paused", [] {}, ResumeCdb(), kSenseCommandSequenceError},
        {"resume while stopped after a play",
         [&] {
             Send(0, 3, Play10Cdb(0, 75));
             Send(0, 3, StopCdb());
         },
         ResumeCdb(), kSenseCommandSequenceError},
        {"inquiry page without evpd", [] {}, B({0x12, 0, 0x80, 0, 56, 0}), kSenseInvalidFieldInCdb},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        drive.InsertDisc(TwoTrackDisc());
        drive.CloseTray();
        Send(0, 3, TurCdb());
        row.prepare();
        const Sent sent = Send(0, 3, row.cdb, 256);
        EXPECT_EQ(sent.status, SS_ERR);
        EXPECT_EQ(sent.targetStatus, STATUS_CHKCOND);
        EXPECT_EQ(sent.sense(), row.sense);
        EXPECT_TRUE(sent.data.empty());
        EXPECT_EQ(RequestedSense(0, 3), row.sense);
    }
}

} // namespace
} // namespace vdrive_test
