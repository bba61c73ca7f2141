// The demo bus, as the player's discovery and first poll meet it.
#include "tests/vdrive/bus_fixture.h"

#include "drive/commands.h"
#include "drive/discovery.h"
#include "vdrive/demo_bus.h"

namespace vdrive_test {
namespace {

using namespace vdrive;

TEST_F(VirtualBus, TheDemoBusListsTwoDrivesAndPlaysTrack2OfTheCdTextDisc) {
    DiscImage cdText = MakeAudioDisc({0, 15000, 31000}, 45000);
    cdText.cdText.assign(18 * 4, 0x80);
    DiscImage mixed = MakeAudioDisc({0, 9000, 20000}, 30000);
    mixed.tracks[0].control = kControlData;
    PopulateDemoBus(bus, cdText, mixed);
    ASSERT_EQ(bus.GetSupportInfo(), 0x0102u);

    PlayerState state;
    state.hostAdapterCount = 2;
    EXPECT_EQ(DiscoverDrives(state),
              (std::vector<std::string>{"ID:3   VX-6012SA", "ID:2   VX-4020SA"}));
    EXPECT_EQ(state.driveAdapter[1], 1);

    clock.Advance(1000);
    std::array<uint8_t, 16> position{};
    ASSERT_EQ(ReadSubChannel(0, 3, 1, 0, 1, 0, 16, position), 1);
    EXPECT_EQ(position[1], kAudioStatusPlaying);
    EXPECT_EQ(position[6], 2);
    EXPECT_EQ(position[11], 15075 & 0xFF);
    ASSERT_NE(bus.DriveAt(0, 5), nullptr);
    EXPECT_EQ(bus.DriveAt(0, 5)->Setup().identity.vendor, "NORDISK ");
    EXPECT_EQ(bus.DriveAt(1, 2)->Disc()->tracks.size(), 3u);
    EXPECT_EQ(bus.DriveAt(0, 0), nullptr) << "target 0 is the disk";
    EXPECT_NE(bus.DeviceAt(0, 0), nullptr);
    EXPECT_FALSE(bus.DriveAt(1, 2)->StartPlayingTrack(1)) << "a data track";
    EXPECT_FALSE(bus.DriveAt(1, 2)->StartPlayingTrack(4)) << "no such track";
}

} // namespace
} // namespace vdrive_test
