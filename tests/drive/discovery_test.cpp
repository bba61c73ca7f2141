#include "drive/aspi.h"
#include "drive/discovery.h"
#include "tests/support/recording_layer.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

// A bus of INQUIRY answers by (adapter, target); an absent key is an empty target.
class InquiryBus {
public:
    explicit InquiryBus(int adapters) {
        layer.supportInfo = 0x0100u | static_cast<uint32_t>(adapters);
        layer.answer = [this](SRB_ExecSCSICmd& srb) {
            auto found = devices.find({srb.SRB_HaId, srb.SRB_Target});
            if (found == devices.end()) {
                srb.SRB_Status = SS_NO_DEVICE;
                return;
            }
            std::copy(found->second.begin(), found->second.end(), srb.SRB_BufPointer);
            srb.SRB_Status = SS_COMP;
        };
    }

    void Add(int adapter, int target, uint8_t type, const char vendor[8], const char product[16]) {
        std::array<uint8_t, 56> data{};
        data[0] = type;
        std::memcpy(&data[8], vendor, 8);
        std::memcpy(&data[16], product, 16);
        std::memcpy(&data[32], "1.00", 4);
        devices[{adapter, target}] = data;
    }

    RecordingLayer layer;
    std::map<std::pair<int, int>, std::array<uint8_t, 56>> devices;
};

class Discovery : public ::testing::Test {
protected:
    void TearDown() override { UnloadAspi(); }
    PlayerState Discover(InquiryBus& /*bus*/, std::vector<std::string>& captions) {
        PlayerState state;
        state.hostAdapterCount = static_cast<int32_t>(LoadAspi() & 0xFF);
        captions = DiscoverDrives(state);
        return state;
    }
};

constexpr char kVendor[] = "VORTANE ";
constexpr char kProduct[] = "CD-ROM CDU-76S  ";

TEST_F(Discovery, InquireDeviceCopiesTheIdentityExactlyAndSendsTheInquiry) {
    InquiryBus bus(1);
    bus.Add(0, 2, 0x05, "vortane ", "ABCDEFGHIJKLMNOP");
    ASSERT_NE(LoadAspi(), 0u);
    DeviceIdentity identity{};
    EXPECT_EQ(InquireDevice(0, 2, identity), 1);
    EXPECT_STREQ(identity.vendor.data(), "vortane ");
    EXPECT_STREQ(identity.product.data(), "ABCDEFGHIJKLMNOP");
    EXPECT_STREQ(identity.revision.data(), "1.00");
    const RecordedRequest& sent = bus.layer.requests.at(0);
    EXPECT_EQ(sent.cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 0x38, 0}));
    const uint32_t bufLen = sent.srb.SRB_BufLen;
    EXPECT_EQ(bufLen, 56u);
}

TEST_F(Discovery, InquireDeviceLeavesTheIdentityAloneWhenTheCommandFails) {
    InquiryBus bus(1);
    ASSERT_NE(LoadAspi(), 0u);
    DeviceIdentity identity{};
    identity.vendor.fill('x');
    EXPECT_EQ(InquireDevice(0, 9, identity), 0);
    EXPECT_EQ(identity.vendor[8], 'x');
}

TEST_F(Discovery, ListsOnlyConnectedCdRomDrivesOfTheVendor) {
    struct Row {
        const char* what;
        uint8_t type;
        const char* vendor;
        bool listed;
    };
    for (Row row : {Row{"the vendor's CD-ROM drive", 0x05, kVendor, true},
                    Row{"vendor in lower case", 0x05, "vortane ", false},
                    Row{"a NUL instead of the blank", 0x05, "VORTANE\0", false},
                    Row{"another vendor", 0x05, "PLEXTOR ", false},
                    Row{"CD-ROM type with qualifier 001b", 0x25, kVendor, false},
                    Row{"a direct-access disk of the vendor", 0x00, kVendor, false}}) {
        SCOPED_TRACE(row.what);
        InquiryBus bus(1);
        bus.Add(0, 4, row.type, row.vendor, kProduct);
        std::vector<std::string> captions;
        PlayerState state = Discover(bus, captions);
        EXPECT_EQ(state.driveCount, row.listed ? 1 : 0);
        EXPECT_EQ(captions.size(), row.listed ? 1u : 0u);
        EXPECT_EQ(bus.layer.requests.size(), 16u) << "every target of the adapter is probed";
        UnloadAspi();
    }
}

TEST_F(Discovery, CaptionShowsTheTargetAndTheProductFromItsEighthCharacter) {
    InquiryBus bus(1);
    bus.Add(0, 3, 0x05, kVendor, "ABCDEFGHIJKLMNOP");
    std::vector<std::string> captions;
    Discover(bus, captions);
    EXPECT_EQ(captions, std::vector<std::string>{"ID:3   HIJKLMNOP"});
}

TEST_F(Discovery, AdaptersComeBeforeTargetsAndTheSameTargetMayRepeat) {
    InquiryBus bus(2);
    bus.Add(0, 5, 0x05, kVendor, kProduct);
    bus.Add(1, 2, 0x05, kVendor, kProduct);
    bus.Add(1, 5, 0x05, kVendor, "CD-ROM XM-3801TA");
    std::vector<std::string> captions;
    PlayerState state = Discover(bus, captions);
    ASSERT_EQ(state.driveCount, 3);
    EXPECT_EQ(state.driveAdapter[0], 0);
    EXPECT_EQ(state.driveTarget[0], 5);
    EXPECT_EQ(state.driveAdapter[1], 1);
    EXPECT_EQ(state.driveTarget[1], 2);
    EXPECT_EQ(state.driveAdapter[2], 1);
    EXPECT_EQ(state.driveTarget[2], 5);
    EXPECT_EQ(captions, (std::vector<std::string>{"ID:5   CDU-76S  ", "ID:2   CDU-76S  ",
                                                  "ID:5   XM-3801TA"}));
}

TEST_F(Discovery, NoAdaptersMeansNoInquiry) {
    InquiryBus bus(0);
    bus.layer.supportInfo = 0xE800;
    std::vector<std::string> captions;
    PlayerState state = Discover(bus, captions);
    EXPECT_EQ(state.driveCount, 0);
    EXPECT_TRUE(bus.layer.requests.empty());
}

TEST_F(Discovery, AThirtyThirdDriveIsNeitherStoredNorCaptioned) {
    InquiryBus bus(3);
    for (int adapter = 0; adapter < 3; ++adapter) {
        for (int target = 0; target < 11; ++target) {
            bus.Add(adapter, target, 0x05, kVendor, kProduct);
        }
    }
    std::vector<std::string> captions;
    PlayerState state = Discover(bus, captions);
    EXPECT_EQ(state.driveCount, 32);
    ASSERT_EQ(captions.size(), 32u);
    EXPECT_EQ(state.driveAdapter[31], 2);
    EXPECT_EQ(state.driveTarget[31], 9);
    EXPECT_EQ(captions[31], "ID:9   CDU-76S  ");
}

} // namespace
