// The Windows SPTI layer on faked system calls: which drive letters become which ASPI addresses,
// what each request turns into on the pass-through and back, and what the player sees of a
// drive that refuses access, goes away or times out.
#include "platform/spti_layer.h"

#include "drive/aspi_request.h"
#include "drive/command_blocks.h"
#include "drive/srb.h"

#include <winioctl.h>

#include <ntddscsi.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace {

struct FakeDrive {
    UINT type = DRIVE_CDROM;
    std::optional<SCSI_ADDRESS> address;
    DWORD openError = 0; // the read-write open fails with this
    // Answers a pass-through: fills the data and the status, or returns an error for the call.
    std::function<DWORD(SCSI_PASS_THROUGH_DIRECT&, UCHAR* sense)> answer;
};

SCSI_ADDRESS Address(UCHAR port, UCHAR path, UCHAR target, UCHAR lun = 0) {
    SCSI_ADDRESS address{};
    address.Length = sizeof address;
    address.PortNumber = port;
    address.PathId = path;
    address.TargetId = target;
    address.Lun = lun;
    return address;
}

// The system as the tests set it up; one at a time.
struct FakeSystem {
    std::map<char, FakeDrive> drives;
    std::map<HANDLE, char> open; // handle -> letter
    std::vector<SCSI_PASS_THROUGH_DIRECT> requests;
    std::vector<std::vector<UCHAR>> commandBlocks;
    DWORD error = 0;
    int opens = 0; // for the pass-through (the address is asked without access)
    uintptr_t nextHandle = 0x100;
};
FakeSystem* fake = nullptr;

DWORD FakeLogicalDrives() {
    DWORD letters = 0;
    for (const auto& [letter, drive] : fake->drives) {
        letters |= DWORD{1} << (letter - 'A');
    }
    return letters;
}

UINT FakeDriveType(const char* root) {
    const auto found = fake->drives.find(root[0]);
    return found == fake->drives.end() ? DRIVE_NO_ROOT_DIR : found->second.type;
}

HANDLE FakeOpen(const char* path, DWORD access) {
    const std::string name(path);
    const auto found = name.size() == 6 ? fake->drives.find(name[4]) : fake->drives.end();
    if (name.rfind("\\\\.\\", 0) != 0 || found == fake->drives.end()) {
        fake->error = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (access != 0 && found->second.openError != 0) {
        fake->error = found->second.openError;
        return INVALID_HANDLE_VALUE;
    }
    fake->opens += access != 0 ? 1 : 0;
    auto* handle = reinterpret_cast<HANDLE>(fake->nextHandle++);
    fake->open[handle] = found->first;
    return handle;
}

BOOL FakeIoctl(HANDLE device, DWORD code, void* buffer, DWORD length, DWORD* returned) {
    FakeDrive& drive = fake->drives.at(fake->open.at(device));
    if (code == IOCTL_SCSI_GET_ADDRESS) {
        if (!drive.address || length < sizeof(SCSI_ADDRESS)) {
            fake->error = ERROR_INVALID_FUNCTION;
            return FALSE;
        }
        std::memcpy(buffer, &*drive.address, sizeof(SCSI_ADDRESS));
        *returned = sizeof(SCSI_ADDRESS);
        return TRUE;
    }
    EXPECT_EQ(code, DWORD{IOCTL_SCSI_PASS_THROUGH_DIRECT});
    auto& request = *static_cast<SCSI_PASS_THROUGH_DIRECT*>(buffer);
    EXPECT_EQ(request.Length, sizeof request);
    EXPECT_GE(length, request.SenseInfoOffset + request.SenseInfoLength)
        << "the sense buffer lies within what was handed over";
    fake->requests.push_back(request);
    fake->commandBlocks.emplace_back(request.Cdb, request.Cdb + request.CdbLength);
    UCHAR* sense = static_cast<UCHAR*>(buffer) + request.SenseInfoOffset;
    const DWORD error = drive.answer ? drive.answer(request, sense) : 0;
    if (error != 0) {
        fake->error = error;
        return FALSE;
    }
    *returned = length;
    return TRUE;
}

BOOL FakeClose(HANDLE device) {
    return fake->open.erase(device) == 1;
}

DWORD FakeLastError() {
    return fake->error;
}

const SptiSystem kFakeSystem{&FakeLogicalDrives, &FakeDriveType, &FakeOpen,
                             &FakeIoctl,         &FakeClose,     &FakeLastError};

class SptiLayer : public testing::Test {
protected:
    void SetUp() override {
        fake = &system;
        ConfigureSptiLayer(SptiConfig{&kFakeSystem});
    }
    void TearDown() override {
        EXPECT_TRUE(system.open.empty()) << "every handle is closed again";
        ConfigureSptiLayer(SptiConfig{});
        fake = nullptr;
    }

    static Completion Send(int adapter, int target, std::span<const uint8_t> cdb,
                           std::span<uint8_t> data, SRB_ExecSCSICmd* seen = nullptr) {
        SRB_ExecSCSICmd srb;
        EXPECT_TRUE(PrepareRequest(srb, adapter, target, cdb, data));
        const Completion completion = SubmitRequest(SptiAspiLayer().sendCommand, srb);
        if (seen != nullptr) {
            *seen = srb;
        }
        return completion;
    }

    FakeSystem system;
};

TEST_F(SptiLayer, MapsCdDriveLettersToAdaptersAndTargets) {
    system.drives['C'] = FakeDrive{DRIVE_FIXED, Address(0, 0, 0), 0, {}};
    system.drives['D'] = FakeDrive{DRIVE_CDROM, Address(2, 0, 1), 0, {}};
    system.drives['E'] = FakeDrive{DRIVE_CDROM, Address(1, 0, 0), 0, {}};
    system.drives['F'] = FakeDrive{DRIVE_CDROM, std::nullopt, 0, {}};      // tells no address
    system.drives['G'] = FakeDrive{DRIVE_CDROM, Address(1, 0, 20), 0, {}}; // beyond target 15
    system.drives['H'] = FakeDrive{DRIVE_CDROM, Address(1, 1, 3), 0, {}};
    struct Expected {
        char letter;
        int adapter;
        int target;
    };
    const Expected expected[] = {{'D', 2, 1}, {'E', 0, 0}, {'F', 3, 0}, {'G', 3, 1}, {'H', 1, 3}};
    const std::vector<SptiDrive> map = SptiDriveMap();
    ASSERT_EQ(map.size(), std::size(expected));
    for (size_t i = 0; i < map.size(); ++i) {
        EXPECT_EQ(map[i].letter, expected[i].letter);
        EXPECT_EQ(map[i].adapter, expected[i].adapter) << expected[i].letter;
        EXPECT_EQ(map[i].target, expected[i].target) << expected[i].letter;
    }
    EXPECT_EQ(SptiAspiLayer().getSupportInfo(), (uint32_t{SS_COMP} << 8) | 4u);
}

TEST_F(SptiLayer, NoCdDriveMeansNoAdapters) {
    system.drives['C'] = FakeDrive{DRIVE_FIXED, Address(0, 0, 0), 0, {}};
    EXPECT_EQ(SptiAspiLayer().getSupportInfo(), uint32_t{SS_NO_ADAPTERS} << 8);
    std::array<uint8_t, 36> inquiry{};
    EXPECT_EQ(Send(0, 0, InquiryCdb(36), inquiry).status, SS_INVALID_HA);
}

// Each request becomes one pass-through with its command block, direction, length and time
// limit; the drive's data reaches the caller's buffer.
TEST_F(SptiLayer, SendsEachCommandBlockThroughThePassThrough) {
    system.drives['D'] = FakeDrive{DRIVE_CDROM, Address(0, 0, 1), 0,
                                   [](SCSI_PASS_THROUGH_DIRECT& request, UCHAR*) -> DWORD {
                                       auto* data = static_cast<uint8_t*>(request.DataBuffer);
                                       for (ULONG i = 0; i < request.DataTransferLength; ++i) {
                                           data[i] = static_cast<uint8_t>(0xA0 + i);
                                       }
                                       request.ScsiStatus = 0;
                                       return 0;
                                   }};
    std::array<uint8_t, 36> inquiry{};
    EXPECT_EQ(Send(0, 1, InquiryCdb(36), inquiry).status, SS_COMP);
    EXPECT_EQ(inquiry[0], 0xA0);
    EXPECT_EQ(inquiry[35], 0xA0 + 35);
    EXPECT_EQ(Send(0, 1, StartStopUnitCdb(true, false), {}).status, SS_COMP);
    EXPECT_EQ(Send(0, 1, TestUnitReadyCdb(), {}).status, SS_COMP);

    ASSERT_EQ(system.requests.size(), 3u);
    const auto& read = system.requests[0];
    EXPECT_EQ(system.commandBlocks[0], std::vector<UCHAR>({0x12, 0, 0, 0, 36, 0}));
    EXPECT_EQ(read.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(read.DataTransferLength, 36u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(read.DataBuffer) % 16, 0u) << "an aligned buffer";
    EXPECT_EQ(read.TimeOutValue, kSptiCommandTimeoutSeconds);
    EXPECT_GE(read.SenseInfoLength, SENSE_LEN);
    EXPECT_EQ(system.requests[1].TimeOutValue, kSptiStartStopTimeoutSeconds);
    EXPECT_EQ(system.requests[2].DataIn, SCSI_IOCTL_DATA_UNSPECIFIED);
    EXPECT_EQ(system.requests[2].DataTransferLength, 0u);
    EXPECT_EQ(system.requests[2].DataBuffer, nullptr);
    EXPECT_EQ(system.opens, 3) << "each command opens the volume afresh";
}

// A check condition: the status and the drive's sense reach the request, as far as it asked.
TEST_F(SptiLayer, ACheckConditionBringsTheDrivesSense) {
    system.drives['D'] =
        FakeDrive{DRIVE_CDROM, Address(0, 0, 0), 0,
                  [](SCSI_PASS_THROUGH_DIRECT& request, UCHAR* sense) -> DWORD {
                      const UCHAR noMedium[18] = {0x70, 0, 0x02, 0,    0,    0, 0, 10, 0,
                                                  0,    0, 0,    0x3A, 0x01, 0, 0, 0,  0x77};
                      std::memcpy(sense, noMedium, sizeof noMedium);
                      request.SenseInfoLength = sizeof noMedium;
                      request.ScsiStatus = 0x02;
                      request.DataTransferLength = 0;
                      return 0;
                  }};
    std::array<uint8_t, 8> capacity{0xEE, 0xEE};
    SRB_ExecSCSICmd srb;
    const Completion completion = Send(0, 0, ReadCapacityCdb(), capacity, &srb);
    EXPECT_EQ(completion.status, SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(completion.sense.key, 0x02);
    EXPECT_EQ(completion.sense.asc, 0x3A);
    EXPECT_EQ(completion.sense.ascq, 0x01);
    EXPECT_EQ(srb.SenseArea[SENSE_LEN], 0) << "no more sense than the request asked for";
    EXPECT_EQ(capacity[0], 0xEE) << "no data came back";
}

TEST_F(SptiLayer, AMissingDriveAnswersNoDevice) {
    DWORD passThroughError = 0;
    system.drives['D'] =
        FakeDrive{DRIVE_CDROM, Address(0, 0, 0), 0,
                  [&passThroughError](SCSI_PASS_THROUGH_DIRECT& request, UCHAR*) -> DWORD {
                      request.ScsiStatus = 0;
                      return passThroughError;
                  }};
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}).status, SS_COMP);
    EXPECT_EQ(Send(0, 5, TestUnitReadyCdb(), {}).status, SS_NO_DEVICE) << "an empty target";
    EXPECT_EQ(Send(1, 0, TestUnitReadyCdb(), {}).status, SS_INVALID_HA);

    passThroughError = ERROR_DEVICE_NOT_CONNECTED; // unplugged in the middle of a play
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}).status, SS_NO_DEVICE);

    passThroughError = 0;
    system.drives['D'].address = Address(3, 0, 0); // another drive took the letter
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}).status, SS_NO_DEVICE);

    system.drives.erase('D'); // gone altogether
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}).status, SS_NO_DEVICE);
}

TEST_F(SptiLayer, AccessDeniedIsAFailureTheUserIsToldAbout) {
    system.drives['D'] = FakeDrive{DRIVE_CDROM, Address(0, 0, 0), ERROR_ACCESS_DENIED, {}};
    system.drives['E'] = FakeDrive{DRIVE_CDROM, Address(0, 0, 1), 0, {}};
    system.drives['F'] = FakeDrive{DRIVE_CDROM, Address(0, 0, 2), ERROR_ACCESS_DENIED, {}};
    SRB_ExecSCSICmd srb;
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}, &srb).status, SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, STATUS_GOOD) << "the drive never saw the command";
    // F was not tried by a command yet: the report tries it.
    const std::vector<std::string> denied = SptiDeniedDrives();
    EXPECT_EQ(denied, (std::vector<std::string>{"D:", "F:"}));
    EXPECT_EQ(SptiPermissionMessage(denied),
              "cannot open the CD-ROM drive D:, F: for its SCSI commands (access denied); run "
              "Discolo as administrator");
    EXPECT_EQ(SptiPermissionMessage({}), "");
}

TEST_F(SptiLayer, ATimeOutIsAFailureOfTheHostAdapter) {
    system.drives['D'] =
        FakeDrive{DRIVE_CDROM, Address(0, 0, 0), 0,
                  [](SCSI_PASS_THROUGH_DIRECT&, UCHAR*) -> DWORD { return ERROR_SEM_TIMEOUT; }};
    SRB_ExecSCSICmd srb;
    EXPECT_EQ(Send(0, 0, TestUnitReadyCdb(), {}, &srb).status, SS_ERR);
    EXPECT_EQ(srb.SRB_HaStat, HASTAT_COMMAND_TIMEOUT);
}

} // namespace
