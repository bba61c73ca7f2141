#include "drive/commands.h"
#include "drive/discovery.h"
#include "tests/platform/sg_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(SgPermissionMessage, NamesTheDevicesAndTheFixOnOneLine) {
    EXPECT_EQ(SgPermissionMessage({}), "");
    EXPECT_EQ(SgPermissionMessage({"/dev/sr0"}),
              "cannot open /dev/sr0 (permission denied); add yourself to the 'cdrom' group and "
              "log in again");
    EXPECT_EQ(SgPermissionMessage({"/dev/sr0", "/dev/sg4"}),
              "cannot open /dev/sr0, /dev/sg4 (permission denied); add yourself to the 'cdrom' "
              "group and log in again");
}

using SgPermissions = SgLayerTest;

TEST_F(SgPermissions, ReportsTheCdDrivesThatNoNodeLetsUsOpen) {
    sysfs.AddGeneric("sg0", "0:0:0:0", 0); // a disk: not the player's business
    sysfs.AddGeneric("sg1", "2:0:0:0");    // a drive refused everywhere
    sysfs.AddBlock("sr0", "2:0:0:0");
    sysfs.AddGeneric("sg2", "3:0:0:0"); // a drive with no block node, refused
    sysfs.AddGeneric("sg3", "4:0:0:0"); // generic node refused, block node fine
    sysfs.AddBlock("sr1", "4:0:0:0");
    sysfs.AddGeneric("sg4", "6:0:0:0"); // a drive unplugged meanwhile
    system.openErrors = {{"/dev/sg0", EACCES}, {"/dev/sg1", EACCES}, {"/dev/sr0", EACCES},
                         {"/dev/sg2", EACCES}, {"/dev/sg3", EACCES}, {"/dev/sg4", ENOENT}};
    Install();

    EXPECT_EQ(SgDeniedDevices(), (std::vector<std::string>{"/dev/sr0", "/dev/sg2"}));
    for (const OpenCall& open : system.opens) {
        EXPECT_NE(open.path, "/dev/sg0") << "a disk is not probed";
    }
    EXPECT_TRUE(system.openFds.empty()) << "probes close what they open";
    EXPECT_TRUE(system.ioctls.empty()) << "probes send nothing";
}

TEST_F(SgPermissions, ADeviceCountsByItsLatestOpenAndIsProbedOnlyWhenNeverTried) {
    sysfs.AddGeneric("sg0", "1:0:0:0");
    sysfs.AddBlock("sr0", "1:0:0:0");
    system.openErrors = {{"/dev/sg0", EACCES}, {"/dev/sr0", EACCES}};
    Install();
    ASSERT_EQ(LoadAspi(), 0x0101u);
    EXPECT_EQ(TestUnitReady(0, 0), SS_ERR);

    const size_t opensAfterCommand = system.opens.size();
    EXPECT_EQ(SgDeniedDevices(), std::vector<std::string>{"/dev/sr0"});
    EXPECT_EQ(system.opens.size(), opensAfterCommand) << "the command's refusal is remembered";

    system.openErrors.clear(); // added to the group, logged in again
    EXPECT_EQ(TestUnitReady(0, 0), 1);
    EXPECT_TRUE(SgDeniedDevices().empty());
}

TEST_F(SgPermissions, AnUntriedDriveIsProbedOnce) {
    sysfs.AddBlock("sr0", "1:0:0:0");
    Install();
    EXPECT_TRUE(SgDeniedDevices().empty());
    ASSERT_EQ(system.opens.size(), 1u);
    EXPECT_EQ(system.opens[0].path, "/dev/sr0");
    EXPECT_TRUE(SgDeniedDevices().empty());
    EXPECT_EQ(system.opens.size(), 1u);
}

// The player's whole conversation through the layer: discovery, play, pause, resume, eject, load.
class SgSession : public SgLayerTest {
protected:
    std::map<std::string, std::string> vendors; // node path -> INQUIRY vendor

    void SetUp() override {
        SgLayerTest::SetUp();
        sysfs.AddGeneric("sg0", "0:0:0:0", 0); // the system disk, not ours to open
        sysfs.AddGeneric("sg1", "2:0:0:0");    // SATA drive
        sysfs.AddBlock("sr0", "2:0:0:0");
        sysfs.AddGeneric("sg2", "5:0:0:0"); // USB drive
        sysfs.AddBlock("sr1", "5:0:0:0");
        sysfs.AddGeneric("sg3", "6:0:1:0"); // a drive of another maker
        system.openErrors = {{"/dev/sg0", EACCES}};
        // Read-only everywhere, as for a user whose sg nodes are not writable (udev gives the
        // cdrom group read-write): the kernel filters commands.
        system.readWriteErrors = {{"/dev/sg1", EACCES}, {"/dev/sg2", EACCES}, {"/dev/sg3", EACCES}};
        vendors = {{"/dev/sg1", "VORTANE "}, {"/dev/sg2", "VORTANE "}, {"/dev/sg3", "OTHERCO "}};
        system.answer = [this](const std::string& path, sg_io_hdr_t& header) {
            if (header.cmdp[0] == kOpPlayAudio12) {
                return EPERM;
            }
            if (header.cmdp[0] == kOpInquiry) {
                auto* data = static_cast<uint8_t*>(header.dxferp);
                data[0] = 0x05;
                std::memcpy(data + 8, vendors.at(path).data(), 8);
                std::memcpy(data + 16, "CD-ROM CDU-76S  ", 16);
            }
            return 0;
        };
        Install();
    }
};

TEST_F(SgSession, DiscoveryFindsTheDrivesBehindTheLayerAndPlayReachesThem) {
    PlayerState state;
    state.hostAdapterCount = static_cast<int32_t>(LoadAspi() & 0xFF);
    ASSERT_EQ(state.hostAdapterCount, 4);
    const std::vector<std::string> captions = DiscoverDrives(state);
    ASSERT_EQ(state.driveCount, 2);
    EXPECT_EQ(captions.size(), 2u);
    EXPECT_EQ(state.driveAdapter[0], 1); // host 2
    EXPECT_EQ(state.driveTarget[0], 0);
    EXPECT_EQ(state.driveAdapter[1], 2); // host 5
    EXPECT_EQ(state.driveTarget[1], 0);
    EXPECT_EQ(SgDeniedDevices(), std::vector<std::string>{}) << "the disk is not a drive";

    system.ioctls.clear();
    EXPECT_EQ(PlayAudioLba(2, 0, 0, 4500), 1);
    EXPECT_EQ(system.Opcodes(), (std::vector<uint8_t>{0xA5, 0x47}));
    EXPECT_EQ(system.ioctls[1].path, "/dev/sg2");
}

TEST_F(SgSession, NothingIsOpenedOrSentThatLocksTheTray) {
    PlayerState state;
    state.hostAdapterCount = static_cast<int32_t>(LoadAspi() & 0xFF);
    DiscoverDrives(state);
    ASSERT_EQ(state.driveCount, 2);
    for (int drive = 0; drive < state.driveCount; ++drive) {
        const int adapter = state.driveAdapter[static_cast<size_t>(drive)];
        const int target = state.driveTarget[static_cast<size_t>(drive)];
        std::array<uint8_t, 804> toc{};
        std::array<uint8_t, 16> position{};
        ReadCapacity(adapter, target, toc);
        ReadToc(adapter, target, 0, 804, toc);
        PlayAudioLba(adapter, target, 150, 30000);
        ReadSubChannel(adapter, target, 1, 0, 1, 0, 16, position);
        PauseAudio(adapter, target);
        ResumeAudio(adapter, target);
        SeekLba(adapter, target, 0);
        EjectMedium(adapter, target);
        TestUnitReady(adapter, target);
        LoadMedium(adapter, target);
    }
    SgDeniedDevices();

    ASSERT_FALSE(system.opens.empty());
    for (const OpenCall& open : system.opens) {
        EXPECT_TRUE(open.flags & O_NONBLOCK) << open.path << ": a blocking open may lock the door";
        EXPECT_FALSE(open.flags & O_EXCL) << open.path;
    }
    EXPECT_TRUE(system.openFds.empty()) << "a device left open keeps other programs from ejecting";
    EXPECT_EQ(system.badCloses, 0);
    for (const IoCall& call : system.ioctls) {
        EXPECT_EQ(call.request, static_cast<unsigned long>(SG_IO)) << "no door-lock ioctl";
        EXPECT_NE(call.cdb[0], 0x1E) << "no PREVENT ALLOW MEDIUM REMOVAL";
    }
}

} // namespace
