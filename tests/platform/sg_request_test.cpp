#include "drive/commands.h"
#include "drive/discovery.h"
#include "tests/platform/sg_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Two drives: adapter 0 is host 2 (sg0, sr0), adapter 1 is host 5 (sg1, sr1), both target 0.
class SgRequests : public SgLayerTest {
protected:
    void SetUp() override {
        SgLayerTest::SetUp();
        sysfs.AddGeneric("sg0", "2:0:0:0");
        sysfs.AddBlock("sr0", "2:0:0:0");
        sysfs.AddGeneric("sg1", "5:0:0:0");
        sysfs.AddBlock("sr1", "5:0:0:0");
        Install();
        ASSERT_EQ(LoadAspi(), 0x0102u);
    }

    // Sends a command of no data to adapter 1, target 0.
    uint8_t SendTo1(std::vector<uint8_t> cdb) {
        SRB_ExecSCSICmd srb = Request(1, 0, cdb);
        return Send(srb);
    }
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int value : values) {
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

struct CommandRow {
    const char* name;
    std::function<int32_t(std::span<uint8_t>)> send;
    std::vector<uint8_t> cdb;
    int direction;
    unsigned dataLength;
    unsigned timeout;
};

TEST_F(SgRequests, EachCommandOfThePlayerBecomesOneSgIoCallFieldByField) {
    constexpr int kIn = SG_DXFER_FROM_DEV;
    constexpr int kNone = SG_DXFER_NONE;
    constexpr unsigned kShort = kSgCommandTimeoutMs;
    constexpr unsigned kLong = kSgStartStopTimeoutMs;
    DeviceIdentity identity{};
    const std::vector<CommandRow> rows = {
        {"TEST UNIT READY", [](auto) { return TestUnitReady(1, 0); }, Bytes({0x00, 0, 0, 0, 0, 0}),
         kNone, 0, kShort},
        {"REQUEST SENSE", [](auto b) { return RequestSense(1, 0, b); },
         Bytes({0x03, 0, 0, 0, 18, 0}), kIn, 18, kShort},
        {"INQUIRY", [&](auto) { return InquireDevice(1, 0, identity) == 1 ? 1 : 4; },
         Bytes({0x12, 0, 0, 0, 56, 0}), kIn, 56, kShort},
        {"READ CAPACITY", [](auto b) { return ReadCapacity(1, 0, b); },
         Bytes({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}), kIn, 8, kShort},
        {"READ TOC", [](auto b) { return ReadToc(1, 0, 0, 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}), kIn, 804, kShort},
        {"READ TOC CD-TEXT", [](auto b) { return ReadDiscText(1, 0, 4, b); },
         Bytes({0x43, 0, 0x05, 0, 0, 0, 0, 0, 4, 0}), kIn, 4, kShort},
        {"READ SUB-CHANNEL", [](auto b) { return ReadSubChannel(1, 0, 1, 0, 1, 0, 16, b); },
         Bytes({0x42, 0, 0x40, 0x01, 0, 0, 0, 0, 0x10, 0}), kIn, 16, kShort},
        {"SEEK", [](auto) { return SeekLba(1, 0, 0x123456); },
         Bytes({0x2B, 0, 0, 0x12, 0x34, 0x56, 0, 0, 0, 0}), kNone, 0, kShort},
        {"PLAY AUDIO(12)", [](auto) { return PlayAudioLba(1, 0, 0x10, 0x4E2); },
         Bytes({0xA5, 0, 0, 0, 0, 0x10, 0, 0, 0x04, 0xE2, 0, 0}), kNone, 0, kShort},
        {"PAUSE", [](auto) { return PauseAudio(1, 0); }, Bytes({0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         kNone, 0, kShort},
        {"RESUME", [](auto) { return ResumeAudio(1, 0); }, Bytes({0x4B, 0, 0, 0, 0, 0, 0, 0, 1, 0}),
         kNone, 0, kShort},
        {"START STOP UNIT eject", [](auto) { return EjectMedium(1, 0); },
         Bytes({0x1B, 0, 0, 0, 0x02, 0}), kNone, 0, kLong},
        {"START STOP UNIT load", [](auto) { return LoadMedium(1, 0); },
         Bytes({0x1B, 0, 0, 0, 0x03, 0}), kNone, 0, kLong},
    };
    system.answer = [](const std::string&, sg_io_hdr_t& header) {
        if (header.cmdp[0] == kOpInquiry) {
            static_cast<uint8_t*>(header.dxferp)[0] = 0x05;
        }
        return 0;
    };

    for (const CommandRow& row : rows) {
        std::array<uint8_t, 804> buffer{};
        system.ioctls.clear();
        EXPECT_EQ(row.send(buffer), 1) << row.name;
        ASSERT_EQ(system.ioctls.size(), 1u) << row.name;
        const IoCall& call = system.ioctls[0];
        const sg_io_hdr_t& header = call.header;
        EXPECT_EQ(call.request, static_cast<unsigned long>(SG_IO)) << row.name;
        EXPECT_EQ(call.path, "/dev/sg1") << row.name;
        EXPECT_EQ(header.interface_id, 'S') << row.name;
        EXPECT_EQ(header.dxfer_direction, row.direction) << row.name;
        EXPECT_EQ(header.cmd_len, row.cdb.size()) << row.name;
        EXPECT_EQ(call.cdb, row.cdb) << row.name;
        EXPECT_EQ(header.dxfer_len, row.dataLength) << row.name;
        if (row.dataLength > 0 && row.cdb[0] != kOpInquiry) {
            EXPECT_EQ(header.dxferp, buffer.data())
                << row.name << ": straight into the caller's buffer";
        } else if (row.dataLength == 0) {
            EXPECT_EQ(header.dxferp, nullptr) << row.name;
        }
        EXPECT_NE(header.sbp, nullptr) << row.name;
        EXPECT_GE(header.mx_sb_len, 18) << row.name << ": room for fixed-format sense";
        EXPECT_EQ(header.timeout, row.timeout) << row.name;
        EXPECT_EQ(header.iovec_count, 0) << row.name;
        EXPECT_EQ(header.flags, 0u) << row.name;
    }
}

TEST_F(SgRequests, ASixteenByteBlockGoesWholeAndALengthWithoutPointerMovesNothing) {
    std::array<uint8_t, 16> cdb{};
    for (size_t i = 0; i < cdb.size(); ++i) {
        cdb[i] = static_cast<uint8_t>(0x88 + i);
    }
    std::array<uint8_t, 4> data{};
    SRB_ExecSCSICmd srb = Request(1, 0, cdb, data);
    srb.SRB_BufLen = 0; // a pointer with no length: nothing to move
    EXPECT_EQ(Send(srb), SS_COMP);
    ASSERT_EQ(system.ioctls.size(), 1u);
    EXPECT_EQ(system.ioctls[0].cdb, std::vector<uint8_t>(cdb.begin(), cdb.end()));
    EXPECT_EQ(system.ioctls[0].header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(system.ioctls[0].header.dxfer_len, 0u);
    EXPECT_EQ(system.ioctls[0].header.dxferp, nullptr);
}

struct ShapeRow {
    const char* name;
    std::function<void(SRB_ExecSCSICmd&)> change;
    uint8_t status;
};

TEST_F(SgRequests, RequestsThatCannotReachADeviceFailWithoutOpeningAnything) {
    const std::vector<ShapeRow> rows = {
        {"a data length without a buffer", [](auto& s) { s.SRB_BufLen = 16; }, SS_INVALID_SRB},
        {"a command block of 5 bytes", [](auto& s) { s.SRB_CDBLen = 5; }, SS_INVALID_SRB},
        {"a command block of 17 bytes", [](auto& s) { s.SRB_CDBLen = 17; }, SS_INVALID_SRB},
        {"a request other than execute", [](auto& s) { s.SRB_Cmd = SC_HA_INQUIRY; },
         SS_INVALID_CMD},
        {"the adapter after the last", [](auto& s) { s.SRB_HaId = 2; }, SS_INVALID_HA},
        {"adapter 255", [](auto& s) { s.SRB_HaId = 255; }, SS_INVALID_HA},
        {"an empty target", [](auto& s) { s.SRB_Target = 1; }, SS_NO_DEVICE},
        {"LUN 1", [](auto& s) { s.SRB_Lun = 1; }, SS_NO_DEVICE},
    };
    for (const ShapeRow& row : rows) {
        std::array<uint8_t, 6> cdb{};
        SRB_ExecSCSICmd srb = Request(1, 0, cdb);
        row.change(srb);
        EXPECT_EQ(Send(srb), row.status) << row.name;
    }
    EXPECT_TRUE(system.opens.empty());
    EXPECT_TRUE(system.ioctls.empty());
    EXPECT_EQ(SgAspiLayer().sendCommand(nullptr), SS_INVALID_SRB);
}

struct StatusRow {
    const char* name;
    int ioctlError;
    uint8_t status;
    uint16_t host;
    uint16_t driver;
    uint8_t srbStatus;
    uint8_t haStat;
    uint8_t targStat;
};

TEST_F(SgRequests, TheKernelsOutcomeBecomesTheRequestStatus) {
    const std::vector<StatusRow> rows = {
        {"GOOD", 0, 0x00, 0, 0, SS_COMP, HASTAT_OK, 0x00},
        {"GOOD with sense of a recovered error", 0, 0x00, 0, 0x08, SS_COMP, HASTAT_OK, 0x00},
        {"CHECK CONDITION", 0, 0x02, 0, 0x08, SS_ERR, HASTAT_OK, 0x02},
        {"BUSY", 0, 0x08, 0, 0, SS_ERR, HASTAT_OK, 0x08},
        {"RESERVATION CONFLICT", 0, 0x18, 0, 0, SS_ERR, HASTAT_OK, 0x18},
        {"no connection", 0, 0x00, 0x01, 0, SS_ERR, HASTAT_SEL_TO, 0x00},
        {"bad target", 0, 0x00, 0x04, 0, SS_ERR, HASTAT_SEL_TO, 0x00},
        {"transport time-out", 0, 0x00, 0x03, 0, SS_ERR, HASTAT_COMMAND_TIMEOUT, 0x00},
        {"bus busy", 0, 0x00, 0x02, 0, SS_ERR, HASTAT_TIMEOUT, 0x00},
        {"bus reset", 0, 0x00, 0x08, 0, SS_ERR, 0x0E, 0x00},
        {"parity error", 0, 0x00, 0x06, 0, SS_ERR, 0x0F, 0x00},
        {"transport error", 0, 0x00, 0x07, 0, SS_ERR, HASTAT_BUS_FREE, 0x00},
        {"aborted", 0, 0x00, 0x05, 0, SS_ERR, HASTAT_BUS_FREE, 0x00},
        {"driver time-out", 0, 0x00, 0, 0x06, SS_ERR, HASTAT_COMMAND_TIMEOUT, 0x00},
        {"driver error", 0, 0x00, 0, 0x04, SS_ERR, HASTAT_BUS_FREE, 0x00},
        {"command refused by the kernel", EPERM, 0, 0, 0, SS_ERR, HASTAT_OK, 0x00},
        {"bad header", EINVAL, 0, 0, 0, SS_ERR, HASTAT_OK, 0x00},
        {"data above the queue limit", EIO, 0, 0, 0, SS_ERR, HASTAT_OK, 0x00},
        {"device gone", ENODEV, 0, 0, 0, SS_NO_DEVICE, HASTAT_OK, 0x00},
        {"device gone (ENXIO)", ENXIO, 0, 0, 0, SS_NO_DEVICE, HASTAT_OK, 0x00},
        {"no medium: a failure like any, no sense made up", ENOMEDIUM, 0, 0, 0, SS_ERR, HASTAT_OK,
         0x00},
    };
    for (const StatusRow& row : rows) {
        system.answer = [&row](const std::string&, sg_io_hdr_t& header) {
            header.status = row.status;
            header.host_status = row.host;
            header.driver_status = row.driver;
            return row.ioctlError;
        };
        std::array<uint8_t, 10> cdb{0x2B}; // SEEK
        SRB_ExecSCSICmd srb = Request(1, 0, cdb);
        srb.SRB_HaStat = 0x55; // left over from nowhere: the layer sets both
        srb.SRB_TargStat = 0x55;
        EXPECT_EQ(Send(srb), row.srbStatus) << row.name;
        EXPECT_EQ(srb.SRB_HaStat, row.haStat) << row.name;
        EXPECT_EQ(srb.SRB_TargStat, row.targStat) << row.name;
    }
    EXPECT_TRUE(system.openFds.empty()) << "every command closes its device";
}

TEST_F(SgRequests, AnEmptyDriveFailsWithItsOwnSense) {
    system.answer = [](const std::string&, sg_io_hdr_t& header) {
        AnswerCheckCondition(header, SenseBytes(0x02, 0x3A, 0x01)); // what the kernel passes on
        return 0;
    };
    std::array<uint8_t, 6> cdb{};
    SRB_ExecSCSICmd srb = Request(1, 0, cdb);
    EXPECT_EQ(Send(srb), SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, 0x02);
    EXPECT_EQ(srb.SenseArea[12], 0x3A);
    EXPECT_EQ(srb.SenseArea[13], 0x01) << "the drive's own qualifier";
}

TEST_F(SgRequests, AnInterruptedCallIsSentAgain) {
    int calls = 0;
    system.answer = [&calls](const std::string&, sg_io_hdr_t&) { return ++calls == 1 ? EINTR : 0; };
    EXPECT_EQ(SendTo1({0x00, 0, 0, 0, 0, 0}), SS_COMP);
    EXPECT_EQ(calls, 2);

    calls = -100; // interrupted every time: gives up
    system.answer = [&calls](const std::string&, sg_io_hdr_t&) { return ++calls, EINTR; };
    EXPECT_EQ(SendTo1({0x00, 0, 0, 0, 0, 0}), SS_ERR);
    EXPECT_LT(calls, -90);
}

struct SenseRow {
    unsigned written; // sb_len_wr the kernel reports
    uint8_t wanted;   // SRB_SenseLen
    size_t copied;
};

TEST_F(SgRequests, SenseIsCopiedUpToTheSmallestOfWhatCameWhatIsWantedAndWhatFits) {
    const std::vector<SenseRow> rows = {
        {18, 14, 14},                // the transport's request: cut to 14
        {18, 16, 16}, {18, 40, 16},  // never past SenseArea
        {6, 14, 6},                  // a short sense from a USB bridge
        {0, 14, 0},   {255, 14, 14}, // a count beyond what the kernel could have written
    };
    for (const SenseRow& row : rows) {
        system.answer = [&row](const std::string&, sg_io_hdr_t& header) {
            std::vector<uint8_t> sense(header.mx_sb_len);
            for (size_t i = 0; i < sense.size(); ++i) {
                sense[i] = static_cast<uint8_t>(i + 1);
            }
            AnswerCheckCondition(header, sense);
            header.sb_len_wr = static_cast<unsigned char>(row.written);
            return 0;
        };
        std::array<uint8_t, 6> cdb{};
        SRB_ExecSCSICmd srb = Request(1, 0, cdb);
        srb.SRB_SenseLen = row.wanted;
        std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
        EXPECT_EQ(Send(srb), SS_ERR);
        for (size_t i = 0; i < sizeof srb.SenseArea; ++i) {
            EXPECT_EQ(srb.SenseArea[i], i < row.copied ? i + 1 : 0xEE)
                << "written " << row.written << ", wanted " << int(row.wanted) << ", byte " << i;
        }
    }
}

struct OpenRow {
    const char* name;
    std::map<std::string, int> refused;          // every open of the path
    std::map<std::string, int> readWriteRefused; // read-write opens only
    uint8_t status;
    std::string usedPath; // empty: nothing reached the device
    int usedAccess;
};

TEST_F(SgRequests, OpensFallBackFromGenericReadWriteToReadOnlyToTheBlockNode) {
    const std::vector<OpenRow> rows = {
        {"everything opens", {}, {}, SS_COMP, "/dev/sg1", O_RDWR},
        {"read-write refused", {}, {{"/dev/sg1", EACCES}}, SS_COMP, "/dev/sg1", O_RDONLY},
        {"generic node refused", {{"/dev/sg1", EACCES}}, {}, SS_COMP, "/dev/sr1", O_RDONLY},
        {"generic node busy", {{"/dev/sg1", EBUSY}}, {}, SS_COMP, "/dev/sr1", O_RDONLY},
        {"every node refused", {{"/dev/sg1", EACCES}, {"/dev/sr1", EACCES}}, {}, SS_ERR, "", 0},
        {"refused, and the block node gone",
         {{"/dev/sg1", EACCES}, {"/dev/sr1", ENOENT}},
         {},
         SS_ERR,
         "",
         0},
        {"nodes gone", {{"/dev/sg1", ENOENT}, {"/dev/sr1", ENOENT}}, {}, SS_NO_DEVICE, "", 0},
        {"device gone", {{"/dev/sg1", ENODEV}, {"/dev/sr1", ENXIO}}, {}, SS_NO_DEVICE, "", 0},
        {"no medium", {{"/dev/sg1", ENOMEDIUM}, {"/dev/sr1", ENOMEDIUM}}, {}, SS_ERR, "", 0},
        {"out of descriptors", {{"/dev/sg1", EMFILE}, {"/dev/sr1", EMFILE}}, {}, SS_ERR, "", 0},
    };
    for (const OpenRow& row : rows) {
        system.openErrors = row.refused;
        system.readWriteErrors = row.readWriteRefused;
        system.opens.clear();
        system.ioctls.clear();
        EXPECT_EQ(SendTo1({0x00, 0, 0, 0, 0, 0}), row.status) << row.name;
        if (row.usedPath.empty()) {
            EXPECT_TRUE(system.ioctls.empty()) << row.name;
            EXPECT_EQ(system.opens.size(), 3u) << row.name << ": every node was tried";
        } else {
            ASSERT_EQ(system.ioctls.size(), 1u) << row.name;
            EXPECT_EQ(system.ioctls[0].path, row.usedPath) << row.name;
            ASSERT_FALSE(system.opens.empty());
            EXPECT_EQ(system.opens.back().flags & O_ACCMODE, row.usedAccess) << row.name;
        }
        EXPECT_TRUE(system.openFds.empty()) << row.name;
    }
}

TEST_F(SgRequests, ADriveUnpluggedWhilePlayingAnswersNoDevice) {
    EXPECT_EQ(PlayAudioLba(1, 0, 0, 4500), 1);
    std::array<uint8_t, 16> position{};
    EXPECT_EQ(ReadSubChannel(1, 0, 1, 0, 1, 0, 16, position), 1);

    // The cable comes out during the next poll...
    system.answer = [](const std::string&, sg_io_hdr_t&) { return ENODEV; };
    EXPECT_EQ(ReadSubChannel(1, 0, 1, 0, 1, 0, 16, position), SS_NO_DEVICE);
    // ...and the nodes disappear.
    system.openErrors = {{"/dev/sg1", ENOENT}, {"/dev/sr1", ENOENT}};
    EXPECT_EQ(ReadSubChannel(1, 0, 1, 0, 1, 0, 16, position), SS_NO_DEVICE);
    EXPECT_EQ(TestUnitReady(1, 0), SS_NO_DEVICE);
    // The other drive is unaffected.
    system.answer = nullptr;
    EXPECT_EQ(TestUnitReady(0, 0), 1);
    EXPECT_TRUE(system.openFds.empty());
    EXPECT_EQ(system.badCloses, 0);
}

// The kernel gives a freed name to the next device: drive A (host 2) is unplugged, drive B
// (host 5) is probed again and takes A's names, then A comes back under new ones.
TEST_F(SgRequests, ANameThatPassedToAnotherDriveIsNeverUsedAndTheNewNamesAreFound) {
    std::array<uint8_t, 6> cdb{};
    auto send = [&](int adapter) {
        SRB_ExecSCSICmd srb = Request(adapter, 0, cdb);
        system.ioctls.clear();
        return Send(srb);
    };
    ASSERT_EQ(send(0), SS_COMP);
    sysfs.RemoveNode("scsi_generic", "sg0");
    sysfs.RemoveNode("block", "sr0");
    sysfs.RemoveNode("scsi_generic", "sg1");
    sysfs.RemoveNode("block", "sr1");
    sysfs.AddGeneric("sg0", "5:0:0:0");
    sysfs.AddBlock("sr0", "5:0:0:0");

    system.openErrors = {{"/dev/sg0", EACCES}}; // only the sr node opens: it is checked too
    EXPECT_EQ(send(0), SS_NO_DEVICE) << "A is away; B's answer must not pass for A's";
    EXPECT_EQ(system.opens.back().path, "/dev/sr0");
    system.openErrors.clear();
    EXPECT_EQ(send(0), SS_NO_DEVICE);
    EXPECT_TRUE(system.ioctls.empty());

    EXPECT_EQ(send(1), SS_COMP) << "B is found under its new names";
    ASSERT_EQ(system.ioctls.size(), 1u);
    EXPECT_EQ(system.ioctls[0].path, "/dev/sg0");

    sysfs.AddGeneric("sg2", "2:0:0:0");
    sysfs.AddBlock("sr2", "2:0:0:0");
    EXPECT_EQ(send(0), SS_COMP) << "A is back";
    ASSERT_EQ(system.ioctls.size(), 1u);
    EXPECT_EQ(system.ioctls[0].path, "/dev/sg2");
    EXPECT_EQ(SgDeviceMap()[0].blockNode, "sr2");
    EXPECT_TRUE(system.openFds.empty()) << "a node that was not A's was closed again";
}

// The window's thread and a reader thread send at once right after the names changed: both
// find their drive's new names, and every command reaches its own drive.
TEST_F(SgRequests, TwoThreadsSendAtOnceAndEachReachesItsOwnDrive) {
    sysfs.RemoveNode("scsi_generic", "sg0");
    sysfs.RemoveNode("scsi_generic", "sg1");
    sysfs.AddGeneric("sg0", "5:0:0:0");
    sysfs.AddGeneric("sg2", "2:0:0:0");
    constexpr int kCommands = 200;
    auto sendMany = [](int adapter, uint8_t opcode, int& completed) {
        std::array<uint8_t, 12> cdb{opcode};
        for (int i = 0; i < kCommands; ++i) {
            SRB_ExecSCSICmd srb = Request(adapter, 0, cdb);
            completed += SgAspiLayer().sendCommand(&srb) == SS_COMP ? 1 : 0;
        }
    };
    int completedA = 0;
    int completedB = 0;
    std::thread window(sendMany, 0, uint8_t{0x00}, std::ref(completedA));
    std::thread reader(sendMany, 1, uint8_t{0xBE}, std::ref(completedB));
    window.join();
    reader.join();

    EXPECT_EQ(completedA, kCommands);
    EXPECT_EQ(completedB, kCommands);
    for (const IoCall& call : system.ioctls) {
        EXPECT_EQ(call.path, call.cdb[0] == 0x00 ? "/dev/sg2" : "/dev/sg0");
    }
    EXPECT_EQ(system.ioctls.size(), size_t{2 * kCommands});
    EXPECT_TRUE(system.openFds.empty());
}

struct PlayRow {
    const char* name;
    uint32_t start;
    uint32_t length;
    std::optional<std::vector<uint8_t>> playMsf; // nothing: the refusal stands
};

std::vector<uint8_t> PlayAudio12(uint32_t start, uint32_t length) {
    std::vector<uint8_t> cdb(12, 0);
    cdb[0] = 0xA5;
    for (int i = 0; i < 4; ++i) {
        cdb[static_cast<size_t>(2 + i)] = static_cast<uint8_t>(start >> (24 - 8 * i));
        cdb[static_cast<size_t>(6 + i)] = static_cast<uint8_t>(length >> (24 - 8 * i));
    }
    return cdb;
}

TEST_F(SgRequests, PlayAudio12RefusedByTheKernelIsResentAsPlayAudioMsf) {
    const std::vector<PlayRow> rows = {
        {"from the first frame", 0, 300, Bytes({0x47, 0, 0, 0, 2, 0, 0, 6, 0, 0})},
        {"a long play", 12345, 300000, Bytes({0x47, 0, 0, 2, 46, 45, 69, 26, 45, 0})},
        {"length 0 stays a play of length 0", 4500, 0, Bytes({0x47, 0, 0, 1, 2, 0, 1, 2, 0, 0})},
        {"from the pregap's first frame", 0xFFFFFF6A, 150,
         Bytes({0x47, 0, 0, 0, 0, 0, 0, 2, 0, 0})},
        {"up to the last MSF address", 0, 1151849, Bytes({0x47, 0, 0, 0, 2, 0, 255, 59, 74, 0})},
        {"beyond the last MSF address", 0, 1151850, std::nullopt},
        {"before the pregap", 0xFFFFFF69, 10, std::nullopt},
        {"from the current position", 0xFFFFFFFF, 10, std::nullopt},
        {"the player's largest start", 0xFFFFFF, 0, std::nullopt},
    };
    system.answer = [](const std::string&, sg_io_hdr_t& header) {
        return header.cmdp[0] == 0xA5 ? EPERM : 0;
    };
    for (const PlayRow& row : rows) {
        system.ioctls.clear();
        const uint8_t status = SendTo1(PlayAudio12(row.start, row.length));
        if (!row.playMsf) {
            EXPECT_EQ(status, SS_ERR) << row.name;
            EXPECT_EQ(system.ioctls.size(), 1u) << row.name;
            continue;
        }
        EXPECT_EQ(status, SS_COMP) << row.name;
        ASSERT_EQ(system.ioctls.size(), 2u) << row.name;
        EXPECT_EQ(system.ioctls[0].cdb[0], 0xA5);
        const IoCall& resent = system.ioctls[1];
        EXPECT_EQ(resent.cdb, *row.playMsf) << row.name;
        EXPECT_EQ(resent.path, system.ioctls[0].path) << row.name << ": on the same open device";
        EXPECT_EQ(resent.header.dxfer_direction, SG_DXFER_NONE) << row.name;
        EXPECT_EQ(resent.header.timeout, kSgCommandTimeoutMs) << row.name;
    }
}

TEST_F(SgRequests, ThePlayersPlayReportsTheResultOfThePlayAudioMsfSentInstead) {
    system.answer = [](const std::string&, sg_io_hdr_t& header) {
        if (header.cmdp[0] == 0xA5) {
            return EPERM;
        }
        AnswerCheckCondition(header, SenseBytes(0x05, 0x64, 0x00)); // a data track
        return 0;
    };
    EXPECT_EQ(PlayAudioLba(1, 0, 2 * 4500, 0), SS_ERR);
    ASSERT_EQ(system.ioctls.size(), 2u);
    EXPECT_EQ(system.ioctls[1].cdb, Bytes({0x47, 0, 0, 2, 2, 0, 2, 2, 0, 0}));
    EXPECT_EQ(system.ioctls[1].path, "/dev/sg1");
}

TEST_F(SgRequests, OnlyPlayAudio12IsResentAndASecondRefusalStands) {
    system.answer = [](const std::string&, sg_io_hdr_t&) { return EPERM; };
    EXPECT_EQ(SendTo1(PlayAudio12(0, 75)), SS_ERR);
    EXPECT_EQ(system.Opcodes(), Bytes({0xA5, 0x47}));

    system.ioctls.clear();
    EXPECT_EQ(SendTo1({0x45, 0, 0, 0, 0, 0, 0, 0, 75, 0}), SS_ERR);
    EXPECT_EQ(SendTo1({0x1E, 0, 0, 0, 1, 0}), SS_ERR);
    EXPECT_EQ(system.Opcodes(), Bytes({0x45, 0x1E}));
}

} // namespace
