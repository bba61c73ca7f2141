#include "tests/vdrive/bus_fixture.h"
#include "vdrive/hostile_drive.h"

#include <deque>

namespace vdrive_test {
namespace {

// A hostile drive at 0:1 over an honest one that no request reaches directly, fed from a script.
class HostileDriveOnTheBus : public VirtualBus {
protected:
    std::deque<uint8_t> script;
    vdrive::CdromDrive honest{clock, TwoTrackDisc()};

    void SetUp() override {
        bus.AddDevice(0, 1, std::make_unique<vdrive::HostileDrive>(honest, [this] {
                          if (script.empty()) {
                              return uint8_t{0};
                          }
                          const uint8_t next = script.front();
                          script.pop_front();
                          return next;
                      }));
        VirtualBus::SetUp();
    }
};

TEST_F(HostileDriveOnTheBus, AnswersInquiryHonestlySoItIsListed) {
    script = {5, 5, 5, 5};
    const Sent sent = Send(0, 1, InquiryCdb(), 56);
    ASSERT_EQ(sent.status, SS_COMP);
    EXPECT_EQ(sent.data[0], 0x05);
    EXPECT_EQ(std::string(sent.data.begin() + 8, sent.data.begin() + 16), "VORTANE ");
    EXPECT_EQ(script.size(), 4u) << "INQUIRY takes nothing from the source";
}

TEST_F(HostileDriveOnTheBus, PassesTheHonestAnswerOnWhenTheSourceSaysSo) {
    script = {0};
    const Sent sent = Send(0, 1, ReadTocCdb(0, 0, 0, 804), 804);
    ASSERT_EQ(sent.status, SS_COMP);
    EXPECT_EQ(sent.data,
              B({0x00, 0x1A, 0x01, 0x02, 0,    0x10, 0x01, 0,    0,    0, 0, 0, 0,    0x10,
                 0x02, 0,    0,    0,    0x4E, 0x20, 0,    0x10, 0xAA, 0, 0, 0, 0x9C, 0x40}));
}

TEST_F(HostileDriveOnTheBus, ChangesBytesOfTheHonestAnswer) {
    // mode 4, one change (0 + 1), in the first 16 bytes (odd), at byte 2, to 0xFF
    script = {4, 0, 0, 1, 0, 2, 0xFF};
    const Sent sent = Send(0, 1, ReadTocCdb(0, 0, 0, 804), 804);
    ASSERT_EQ(sent.status, SS_COMP);
    ASSERT_GE(sent.data.size(), 4u);
    EXPECT_EQ(sent.data[2], 0xFF) << "the first track number is now a lie";
    EXPECT_EQ(sent.data[3], 0x02);
}

TEST_F(HostileDriveOnTheBus, NoiseIsCutToTheAllocationAndTheBuffer) {
    // mode 5, 300 bytes of 0xAB
    script = {5, 0x01, 0x2C};
    script.insert(script.end(), 300, 0xAB);
    const Sent sent = Send(0, 1, SubChannelCdb(0, 1, 1, 16), 16);
    ASSERT_EQ(sent.status, SS_COMP);
    EXPECT_EQ(sent.data, Bytes(16, 0xAB));
}

TEST_F(HostileDriveOnTheBus, NoiseLeavesNothingBehindInTheNextAnswer) {
    script = {5, 0x01, 0x2C};
    script.insert(script.end(), 300, 0xAB);
    ASSERT_EQ(Send(0, 1, SubChannelCdb(0, 1, 1, 16), 16).status, SS_COMP);
    const Sent sent = Send(0, 1, InquiryCdb(), 56);
    ASSERT_EQ(sent.data.size(), 36u);
    for (size_t at : {5u, 6u, 7u}) {
        EXPECT_EQ(sent.data[at], 0x00) << "byte " << at << " kept the noise of the answer before";
    }
}

TEST_F(HostileDriveOnTheBus, FailsWithAnySenseOrCompletesWithoutData) {
    script = {6, 0x03, 0x11, 0x05};
    Sent sent = Send(0, 1, CapacityCdb(), 8);
    EXPECT_EQ(sent.status, SS_ERR);
    EXPECT_EQ(sent.sense(), (Sense{0x03, 0x11, 0x05}));

    script = {7};
    sent = Send(0, 1, CapacityCdb(), 8);
    EXPECT_EQ(sent.status, SS_COMP);
    EXPECT_TRUE(sent.data.empty());
}

} // namespace
} // namespace vdrive_test
