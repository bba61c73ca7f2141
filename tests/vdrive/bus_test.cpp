// The bus as an ASPI layer: adapter and target statuses, untrusted requests, the cuts of answers
// and sense, the command log, fault injection and installation.
#include "tests/vdrive/bus_fixture.h"

#include "drive/commands.h"
#include "drive/discovery.h"
#include "platform/module.h"

namespace vdrive_test {
namespace {

using namespace vdrive;

TEST(BusSupportInfo, ReportsTheAdapterCountOrNoAdapters) {
    ManualClock clock;
    Bus bus(clock);
    EXPECT_EQ(bus.GetSupportInfo(), 0xE800u) << "SS_NO_ADAPTERS and a count of 0";
    bus.AddDrive(1, 4);
    EXPECT_EQ(bus.GetSupportInfo(), 0x0102u) << "adapter 1 implies adapter 0";
    bus.SetAdapterCount(20);
    EXPECT_EQ(bus.GetSupportInfo(), 0x0108u) << "eight adapters at most";

    bus.Install();
    EXPECT_EQ(LoadAspi(), 0x0108u);
    UnloadAspi();
}

TEST_F(VirtualBus, AnswersMissingAdaptersAndEmptyTargetsLikeAnAspiLayer) {
    bus.AddDrive(0, 3, TwoTrackDisc());
    bus.SetAdapterCount(2);
    struct Row {
        int adapter, target;
        uint8_t status, haStatus;
    };
    for (const Row& row :
         {Row{0, 3, SS_COMP, HASTAT_OK}, Row{0, 4, SS_NO_DEVICE, HASTAT_SEL_TO},
          Row{1, 3, SS_NO_DEVICE, HASTAT_SEL_TO}, Row{0, 16, SS_NO_DEVICE, HASTAT_SEL_TO},
          Row{2, 3, SS_INVALID_HA, HASTAT_OK}, Row{200, 3, SS_INVALID_HA, HASTAT_OK}}) {
        SCOPED_TRACE(testing::Message() << row.adapter << ":" << row.target);
        const Sent sent = Send(row.adapter, row.target, TurCdb());
        EXPECT_EQ(sent.status, row.status);
        EXPECT_EQ(sent.haStatus, row.haStatus);
    }
    EXPECT_EQ(TestUnitReady(0, 3), SS_COMP) << "and the same through the transport";
    EXPECT_EQ(TestUnitReady(0, 9), SS_NO_DEVICE);
}

TEST_F(VirtualBus, RefusesMalformedRequestsWithoutRunningThem) {
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());
    auto request = [&](auto change) {
        SRB_ExecSCSICmd srb{};
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Target = 3;
        srb.SRB_CDBLen = 10;
        const Bytes play = Play10Cdb(0, 750);
        std::memcpy(srb.CDBByte, play.data(), play.size());
        change(srb);
        return bus.SendCommand(&srb) == srb.SRB_Status ? srb.SRB_Status : 0xFF;
    };
    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_BufLen = 18; }), SS_INVALID_SRB)
        << "null buffer";
    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 6; }), SS_INVALID_SRB)
        << "short block";
    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 0; }), SS_INVALID_SRB);
    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 17; }), SS_INVALID_SRB);
    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_Cmd = SC_HA_INQUIRY; }), SS_INVALID_CMD);
    EXPECT_EQ(bus.SendCommand(nullptr), SS_INVALID_SRB);
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusNone) << "no refused PLAY started";

    EXPECT_EQ(request([](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 12; }), SS_COMP)
        << "padded blocks are fine";
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusPlaying);
}

TEST_F(VirtualBus, CutsSenseToTheSenseLength) {
    bus.AddDrive(0, 3);
    for (int senseLength : {0, 2, 13, 14, 16, 200}) {
        SCOPED_TRACE(senseLength);
        const Sent sent = Send(0, 3, TurCdb(), 0, static_cast<uint8_t>(senseLength));
        EXPECT_EQ(sent.status, SS_ERR);
        EXPECT_EQ(sent.targetStatus, STATUS_CHKCOND);
        const auto expected = FixedSenseData(kSenseNoMedium);
        for (size_t i = 0; i < std::min<size_t>(static_cast<size_t>(senseLength), 16); ++i) {
            EXPECT_EQ(sent.senseArea[i], expected[i]) << "byte " << i;
        }
    }
}

TEST_F(VirtualBus, CutsAnswersToTheAllocationAndBufferLengths) {
    bus.AddDrive(0, 3, TwoTrackDisc());
    struct Row {
        const char* name;
        Bytes cdb;
        uint32_t buffer;
        size_t expected;
    };
    const Row rows[] = {
        {"inquiry whole", InquiryCdb(56), 56, 36},
        {"inquiry allocation 5", InquiryCdb(5), 56, 5},
        {"inquiry buffer 10", InquiryCdb(56), 10, 10},
        {"toc allocation 4", ReadTocCdb(0, 0, 0, 4), 804, 4},
        {"toc allocation 12", ReadTocCdb(0, 0, 0, 12), 804, 12},
        {"toc buffer 7", ReadTocCdb(0, 0, 0, 804), 7, 7},
        {"toc allocation 0", ReadTocCdb(0, 0, 0, 0), 804, 0},
        {"capacity buffer 4", CapacityCdb(), 4, 4},
        {"sense allocation 14", SenseCdb(14), 18, 14},
        {"sub-channel allocation 16 of 16", SubChannelCdb(0, 1, 1, 16), 100, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Sent sent = Send(0, 3, row.cdb, row.buffer);
        EXPECT_EQ(sent.status, SS_COMP);
        EXPECT_EQ(sent.data.size(), row.expected);
    }
    const Sent header = Send(0, 3, ReadTocCdb(0, 0, 0, 4), 4);
    EXPECT_EQ(header.data, B({0x00, 0x1A, 0x01, 0x02})) << "the length field stays the full size";
}

TEST_F(VirtualBus, LogsEveryRequestWithItsOutcome) {
    bus.AddDrive(0, 3, TwoTrackDisc());
    std::array<uint8_t, 804> toc{};
    ReadToc(0, 3, 0, 804, toc);
    TestUnitReady(0, 7);
    PauseAudio(0, 3);

    ASSERT_EQ(bus.Log().size(), 3u);
    const LoggedCommand& read = bus.Log()[0];
    EXPECT_EQ(read.adapter, 0);
    EXPECT_EQ(read.target, 3);
    EXPECT_EQ(read.cdb, B({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(read.dataLength, 804u);
    EXPECT_EQ(read.transferred, 28u);
    EXPECT_EQ(read.status, SS_COMP);
    EXPECT_EQ(bus.Log()[1].status, SS_NO_DEVICE);
    EXPECT_EQ(bus.Log()[2].status, SS_ERR);
    EXPECT_EQ(bus.Log()[2].sense, kSenseCommandSequenceError);
    EXPECT_EQ(bus.LoggedOpcodes(), B({0x43, 0x00, 0x4B}));
    EXPECT_EQ(bus.CountCommands(0x43), 1u);
    bus.ClearLog();
    EXPECT_TRUE(bus.Log().empty());

    // Left off, the log takes nothing, and the commands are answered as ever.
    bus.KeepLog(false);
    EXPECT_EQ(ReadToc(0, 3, 0, 804, toc), SS_COMP);
    EXPECT_EQ(toc[3], 2); // the last track of the two
    EXPECT_EQ(PauseAudio(0, 3), SS_ERR);
    EXPECT_TRUE(bus.Log().empty());
    bus.KeepLog(true);
    TestUnitReady(0, 3);
    EXPECT_EQ(bus.LoggedOpcodes(), B({0x00}));
}

TEST_F(VirtualBus, InjectedFaultsFailTheTargetOrOneOperationCode) {
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());
    bus.InjectFault(0, 3, 0x45, Fault::CheckCondition(kSenseUnrecoveredReadError));
    const Sent play = Send(0, 3, Play10Cdb(0, 75));
    EXPECT_EQ(play.status, SS_ERR);
    EXPECT_EQ(play.targetStatus, STATUS_CHKCOND);
    EXPECT_EQ(play.sense(), kSenseUnrecoveredReadError);
    EXPECT_EQ(RequestedSense(0, 3), kSenseUnrecoveredReadError) << "the drive holds the sense too";
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusNone) << "the failed PLAY did not run";
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP) << "other operation codes pass";

    bus.InjectFault(0, 3, Fault::Status(SS_ABORTED));
    bus.InjectFault(0, 3, 0x00, Fault::Status(SS_ERR, 1));
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_ERR) << "the operation code's fault wins";
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_ABORTED) << "once used up, the target's fault shows";
    EXPECT_EQ(Send(0, 3, InquiryCdb(), 56).status, SS_ABORTED);

    bus.ClearFaults();
    bus.Vanish(0, 3);
    const Sent gone = Send(0, 3, InquiryCdb(), 56);
    EXPECT_EQ(gone.status, SS_NO_DEVICE);
    EXPECT_EQ(gone.haStatus, HASTAT_SEL_TO);
    bus.InjectFault(0, 9, Fault::Status(SS_PENDING));
    EXPECT_EQ(Send(0, 9, TurCdb()).status, SS_ERR) << "a request always completes";
    bus.ClearFaults();
    EXPECT_EQ(Send(0, 3, TurCdb()).status, SS_COMP);
}

TEST_F(VirtualBus, OtherDevicesAnswerInquiryButAreNotDrives) {
    bus.AddDisk(0, 0);
    bus.AddOtherDevice(0, 1, kPeripheralCdRomNotConnected, Identity{});
    bus.AddDrive(0, 2, std::nullopt, DriveSetup{Identity{"VORTANE", "CD-ROM XY", "9"}, false});
    bus.AddDrive(0, 4, std::nullopt,
                 DriveSetup{Identity{std::string("VORTAN\0 ", 8), "", ""}, false});
    DeviceIdentity identity{};
    EXPECT_EQ(InquireDevice(0, 0, identity), 0);
    EXPECT_STREQ(identity.vendor.data(), "VORTANE ");
    EXPECT_EQ(InquireDevice(0, 1, identity), 0) << "qualifier 001b";
    EXPECT_EQ(InquireDevice(0, 2, identity), 1);
    EXPECT_STREQ(identity.vendor.data(), "VORTANE ") << "padded with blanks";
    EXPECT_STREQ(identity.product.data(), "CD-ROM XY       ");
    EXPECT_STREQ(identity.revision.data(), "9   ");

    EXPECT_EQ(Send(0, 0, TurCdb()).status, SS_COMP);
    EXPECT_EQ(Send(0, 1, TurCdb()).sense(), kSenseLogicalUnitNotSupported);
    EXPECT_EQ(Send(0, 0, CapacityCdb(), 8).sense(), kSenseInvalidOperationCode);
    EXPECT_EQ(RequestedSense(0, 0), kSenseInvalidOperationCode);

    PlayerState state;
    state.hostAdapterCount = 1;
    EXPECT_EQ(DiscoverDrives(state), std::vector<std::string>{"ID:2   XY       "})
        << "neither the disk, nor the unconnected unit, nor the vendor with a NUL";
}

TEST(BusInstallation, TheLastInstalledBusAnswersAndAGoneBusAnswersNothing) {
    ManualClock clock;
    auto first = std::make_unique<Bus>(clock);
    first->AddDrive(0, 0, TwoTrackDisc());
    Bus second(clock);
    second.AddDrive(0, 1);
    first->Install();
    second.Install();
    EXPECT_FALSE(first->Installed());
    ASSERT_EQ(LoadAspi(), 0x0101u);
    EXPECT_EQ(TestUnitReady(0, 1), SS_ERR) << "the second bus's empty drive";
    EXPECT_EQ(TestUnitReady(0, 0), SS_NO_DEVICE);

    first->Install();
    first.reset();
    EXPECT_EQ(TestUnitReady(0, 0), SS_INVALID_HA) << "a loaded layer outlives its bus safely";
    UnloadAspi();
    EXPECT_EQ(LoadAspi(), 0u) << "nothing is installed any more";
}

} // namespace
} // namespace vdrive_test
