#include "platform/sg_devices.h"
#include "tests/platform/sg_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Expected {
    int adapter;
    int host;
    int target;
    int type;
    std::string generic;
    std::string block;
};

struct Scenario {
    const char* name;
    std::function<void(FakeSysfs&)> build;
    std::vector<Expected> devices;
};

std::vector<Scenario> Scenarios() {
    return {
        {"two SATA drives on hosts 2 and 5 become adapters 0 and 1",
         [](FakeSysfs& s) {
             s.AddGeneric("sg1", "5:0:0:0");
             s.AddBlock("sr1", "5:0:0:0");
             s.AddGeneric("sg0", "2:0:0:0");
             s.AddBlock("sr0", "2:0:0:0");
         },
         {{0, 2, 0, 5, "sg0", "sr0"}, {1, 5, 0, 5, "sg1", "sr1"}}},
        {"a USB drive is one more host with target 0",
         [](FakeSysfs& s) {
             s.AddGeneric("sg0", "0:0:0:0");
             s.AddBlock("sr0", "0:0:0:0");
             s.AddGeneric("sg3", "11:0:0:0");
             s.AddBlock("sr1", "11:0:0:0");
         },
         {{0, 0, 0, 5, "sg0", "sr0"}, {1, 11, 0, 5, "sg3", "sr1"}}},
        {"a disk is listed with its own type and no block node of a CD drive",
         [](FakeSysfs& s) {
             s.AddGeneric("sg0", "0:0:0:0", 0);
             s.AddNode("block", "sda", "0:0:0:0", 0);
             s.AddGeneric("sg1", "1:0:0:0");
             s.AddBlock("sr0", "1:0:0:0");
         },
         {{0, 0, 0, 0, "sg0", ""}, {1, 1, 0, 5, "sg1", "sr0"}}},
        {"gaps in the host numbers close up",
         [](FakeSysfs& s) {
             s.AddGeneric("sg0", "0:0:0:0");
             s.AddGeneric("sg1", "4:0:0:0");
             s.AddGeneric("sg2", "9:0:0:0");
         },
         {{0, 0, 0, 5, "sg0", ""}, {1, 4, 0, 5, "sg1", ""}, {2, 9, 0, 5, "sg2", ""}}},
        {"two drives on one host share the adapter, in target order",
         [](FakeSysfs& s) {
             s.AddGeneric("sg1", "3:0:1:0");
             s.AddGeneric("sg0", "3:0:0:0");
         },
         {{0, 3, 0, 5, "sg0", ""}, {0, 3, 1, 5, "sg1", ""}}},
        {"an sr device without a generic node is reached through its block node",
         [](FakeSysfs& s) { s.AddBlock("sr0", "1:0:0:0"); },
         {{0, 1, 0, 5, "", "sr0"}}},
        {"other LUNs and channels are not reachable, and a host of only such devices is no adapter",
         [](FakeSysfs& s) {
             s.AddGeneric("sg0", "6:0:0:0");
             s.AddGeneric("sg1", "6:0:0:1");
             s.AddGeneric("sg2", "7:1:0:0");
             s.AddGeneric("sg3", "8:0:2:0");
         },
         {{0, 6, 0, 5, "sg0", ""}, {1, 8, 2, 5, "sg3", ""}}},
        {"entries that are not devices are passed over",
         [](FakeSysfs& s) {
             s.AddStray("scsi_generic", "sg7", false);
             s.AddStray("scsi_generic", "sg8", true);
             s.AddStray("scsi_generic", "bsg0", true);
             s.AddStray("block", "sr9", true);
             s.AddGeneric("sg0", "2:0:0:0");
         },
         {{0, 2, 0, 5, "sg0", ""}}},
        {"no devices at all", [](FakeSysfs&) {}, {}},
    };
}

TEST(SgEnumeration, FindsTheReachableDevicesOfEachTree) {
    for (const Scenario& scenario : Scenarios()) {
        FakeSysfs sysfs;
        scenario.build(sysfs);
        const std::vector<SgDevice> devices = EnumerateSgDevices(sysfs.Root());
        ASSERT_EQ(devices.size(), scenario.devices.size()) << scenario.name;
        for (size_t i = 0; i < devices.size(); ++i) {
            const Expected& expected = scenario.devices[i];
            const SgDevice& device = devices[i];
            EXPECT_EQ(device.adapter, expected.adapter) << scenario.name << ", device " << i;
            EXPECT_EQ(device.host, expected.host) << scenario.name << ", device " << i;
            EXPECT_EQ(device.target, expected.target) << scenario.name << ", device " << i;
            EXPECT_EQ(device.type, expected.type) << scenario.name << ", device " << i;
            EXPECT_EQ(device.genericNode, expected.generic) << scenario.name << ", device " << i;
            EXPECT_EQ(device.blockNode, expected.block) << scenario.name << ", device " << i;
        }
    }
}

TEST(SgEnumeration, AMissingTreeHasNoDevices) {
    EXPECT_TRUE(EnumerateSgDevices("/nonexistent/discolo-sysfs").empty());
}

using SgLoading = SgLayerTest;

TEST_F(SgLoading, SupportInfoCountsTheAdaptersOrSaysThereAreNone) {
    Install();
    EXPECT_EQ(LoadAspi(), 0xE800u) << "SS_NO_ADAPTERS and a count of 0";
    UnloadAspi();

    sysfs.AddGeneric("sg0", "2:0:0:0");
    sysfs.AddGeneric("sg1", "5:0:0:0");
    sysfs.AddGeneric("sg2", "5:0:1:0");
    Install();
    EXPECT_EQ(LoadAspi(), 0x0102u) << "SS_COMP and two adapters";
}

TEST_F(SgLoading, TheMappingIsFixedWhenTheLayerLoads) {
    sysfs.AddGeneric("sg0", "2:0:0:0");
    Install();
    EXPECT_EQ(LoadAspi(), 0x0101u);

    sysfs.AddGeneric("sg1", "7:0:0:0"); // plugged in while the player runs
    EXPECT_EQ(SgAspiLayer().getSupportInfo(), 0x0101u);
    std::array<uint8_t, 6> testUnitReady{};
    SRB_ExecSCSICmd srb = Request(1, 0, testUnitReady);
    EXPECT_EQ(Send(srb), SS_INVALID_HA);
    EXPECT_TRUE(system.opens.empty());

    Install(); // configuring again loads afresh
    EXPECT_EQ(SgAspiLayer().getSupportInfo(), 0x0102u);
    srb = Request(1, 0, testUnitReady);
    EXPECT_EQ(Send(srb), SS_COMP);
    ASSERT_FALSE(system.opens.empty());
    EXPECT_EQ(system.opens.back().path, "/dev/sg1");
}

TEST_F(SgLoading, ACommandBeforeTheSupportInfoLoadsTheMappingItself) {
    sysfs.AddBlock("sr0", "4:0:0:0");
    Install();
    std::array<uint8_t, 6> testUnitReady{};
    SRB_ExecSCSICmd srb = Request(0, 0, testUnitReady);
    EXPECT_EQ(Send(srb), SS_COMP);
    ASSERT_EQ(system.opens.size(), 1u);
    EXPECT_EQ(system.opens[0].path, "/dev/sr0");
}

} // namespace
