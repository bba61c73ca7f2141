// A long random session against drives that answer badly: odd discs, failing commands, and
// answers spoiled on the way back (track numbers of 0 to 255, positions up to 0xFFFFFF, tables
// of contents with any header). The player must keep every index inside its tables and every
// readout five characters long. The seed is printed; DISCOLO_TEST_SEED repeats a run.
#include "tests/support/controller_on_bus.h"

#include "platform/layer_slot.h"
#include "tests/support/readout_format.h"

#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>

namespace player_test {
namespace {

// Stands between the player and the bus and spoils some of the answers that complete.
class SpoilingLayer {
public:
    SpoilingLayer(vdrive::Bus& bus, std::mt19937& random) : bus_(bus), random_(random) {
        LayerSlot<SpoilingLayer>::Install(*this);
    }
    ~SpoilingLayer() { LayerSlot<SpoilingLayer>::Uninstall(*this, nullptr); }
    SpoilingLayer(const SpoilingLayer&) = delete;
    SpoilingLayer& operator=(const SpoilingLayer&) = delete;

    uint32_t GetSupportInfo() const { return bus_.GetSupportInfo(); }
    uint32_t SendCommand(void* request) {
        auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
        bus_.SendCommand(&srb);
        Spoil(srb);
        return srb.SRB_Status;
    }

private:
    uint8_t Byte() { return static_cast<uint8_t>(random_() & 0xFF); }

    void Spoil(SRB_ExecSCSICmd& srb) {
        if (srb.SRB_Status != SS_COMP || srb.SRB_BufPointer == nullptr || random_() % 3 != 0) {
            return;
        }
        uint8_t* data = srb.SRB_BufPointer;
        const uint32_t length = srb.SRB_BufLen;
        switch (srb.CDBByte[0]) {
        case kOpReadSubChannel:
            if (length >= 12) {
                data[1] = random_() % 2 == 0 ? uint8_t{0x11} : Byte(); // audio status
                data[6] = Byte();                                      // track number
                for (int i = 8; i < 12; ++i) {
                    data[i] = random_() % 4 == 0 ? uint8_t{0xFF} : Byte(); // absolute address
                }
            }
            break;
        case kOpReadToc:
            for (int spoilt = 0; spoilt < 4 && length > 0; ++spoilt) {
                data[random_() % length] = Byte(); // header, descriptors or pack bytes
            }
            break;
        case kOpReadCapacity:
            if (length >= 4) {
                data[1] = Byte();
                data[2] = Byte();
                data[3] = Byte();
            }
            break;
        default:
            break; // INQUIRY stays true, so that the drives are listed
        }
    }

    vdrive::Bus& bus_;
    std::mt19937& random_;
};

uint32_t SeedForThisRun() {
    const char* given = std::getenv("DISCOLO_TEST_SEED");
    return given != nullptr && *given != '\0'
               ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10))
               : std::random_device{}();
}

vdrive::DiscImage NinetyNineTracks() {
    std::vector<int32_t> starts;
    for (int32_t t = 0; t < 99; ++t) {
        starts.push_back(t * 3000);
    }
    return vdrive::MakeAudioDisc(starts, 99 * 3000);
}

class Robustness : public ControllerOnBus {};

TEST_F(Robustness,
       ARandomSessionWithHostileAnswersKeepsIndexesInTheTablesAndReadoutsFiveCharacters) {
    const uint32_t seed = SeedForThisRun();
    std::cout << "[ SEED     ] DISCOLO_TEST_SEED=" << seed << std::endl;
    RecordProperty("seed", std::to_string(seed));
    SCOPED_TRACE("DISCOLO_TEST_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };

    std::mt19937 packRandom(seed + 1);
    const std::vector<std::function<vdrive::DiscImage()>> discs{
        ThreeTrackDisc,
        vdrive::DemoCdTextDisc,
        vdrive::DemoMixedDisc,
        vdrive::DemoThirdTrackDisc,
        NinetyNineTracks,
        [] {
            return vdrive::MakeAudioDisc({0, 300000}, 420000);
        },                                                 // longer than 80 minutes
        [] { return vdrive::MakeAudioDisc({0}, 10, 99); }, // one short track numbered 99
        [&] {
            vdrive::DiscImage disc = ThreeTrackDisc();
            disc.cdText.resize(18 * (1 + packRandom() % 40));
            for (uint8_t& byte : disc.cdText) {
                byte = static_cast<uint8_t>(packRandom() % 3 == 0 ? 0x80 + packRandom() % 2
                                                                  : packRandom());
            }
            return disc;
        },
    };
    vdrive::CdromDrive& first = AddDrive(vdrive::DemoThirdTrackDisc(), 0, 3);
    vdrive::CdromDrive& second = AddDrive(vdrive::DemoCdTextDisc(), 1, 5);
    SpoilingLayer layer(bus, random);
    player.OnInitDialog();
    ASSERT_EQ(state.driveCount, 2);

    using Handler = void (PlayerController::*)();
    const Handler buttons[] = {
        &PlayerController::OnPlay,          &PlayerController::OnPauseResume,
        &PlayerController::OnStop,          &PlayerController::OnNextTrack,
        &PlayerController::OnPreviousTrack, &PlayerController::OnFastForward,
        &PlayerController::OnFastBackward,  &PlayerController::OnTrackTimeMode,
        &PlayerController::OnDiscTimeMode,  &PlayerController::OnTrackDropDown,
        &PlayerController::OnLButtonUp};
    constexpr int kSteps = 3000;
    for (int step = 0; step < kSteps; ++step) {
        vdrive::CdromDrive& drive = below(2) == 0 ? first : second;
        const int adapter = &drive == &first ? 0 : 1;
        const int target = &drive == &first ? 3 : 5;
        switch (below(12)) {
        case 0:
        case 1:
        case 2:
            PollAfter(below(3) * 175);
            break;
        case 3:
            RefreshTick();
            break;
        case 4:
        case 5:
            (player.*buttons[below(std::size(buttons))])();
            break;
        case 6: {
            const auto count = static_cast<int>(Shown().trackEntries.size());
            player.OnTrackSelChange(below(count + 2) - 1);
            break;
        }
        case 7:
            player.OnHScroll(below(10), below(Shown().slider.maximum + 1));
            break;
        case 8:
            window.forwardHeld = below(4) == 0;
            window.backHeld = below(4) == 0;
            break;
        case 9:
            switch (below(6)) {
            case 0:
                drive.InsertDisc(
                    discs[static_cast<size_t>(below(static_cast<int>(discs.size())))]());
                break;
            case 1:
                drive.RemoveDisc();
                break;
            case 2:
                drive.OpenTray();
                break;
            case 3:
                drive.CloseTray();
                break;
            case 4:
                drive.StartPlayingTrack(1 + below(99));
                break;
            default:
                player.OnEjectLoad();
                break;
            }
            break;
        case 10:
            if (below(3) == 0) {
                bus.ClearFaults();
            } else {
                const uint8_t opcodes[] = {kOpReadSubChannel, kOpReadToc,     kOpReadCapacity,
                                           kOpSeek10,         kOpPlayAudio12, kOpTestUnitReady};
                const uint8_t statuses[] = {SS_ERR, SS_ABORTED, SS_NO_DEVICE, SS_PENDING};
                bus.InjectFault(
                    adapter, target, opcodes[below(std::size(opcodes))],
                    vdrive::Fault::Status(statuses[below(std::size(statuses))], 1 + below(5)));
            }
            break;
        default:
            player.OnDriveSelChange(below(3) - 1);
            break;
        }

        SCOPED_TRACE("step " + std::to_string(step));
        ASSERT_TRUE(IsReadout(player.View().trackPositionText)) << player.View().trackPositionText;
        ASSERT_TRUE(IsReadout(player.View().discPositionText)) << player.View().discPositionText;
        ASSERT_TRUE(IsReadout(Shown().trackPositionText));
        ASSERT_TRUE(IsReadout(Shown().discPositionText));
        ASSERT_TRUE(state.currentDrive == 0 || state.currentDrive == 1);
        ASSERT_GE(state.currentTrack, 0);
        ASSERT_LE(state.currentTrack, 118);
        ASSERT_GE(state.firstTrack, 1);
        ASSERT_LE(state.lastTrack, 99);
        ASSERT_LE(state.firstTrack, state.lastTrack);
        ASSERT_GE(Shown().trackSelection, -1);
        ASSERT_LT(Shown().trackSelection,
                  std::max(1, static_cast<int>(Shown().trackEntries.size())));
        ASSERT_GE(Shown().slider.position, Shown().slider.minimum);
        ASSERT_LE(Shown().slider.position,
                  std::max(Shown().slider.minimum, Shown().slider.maximum));
        for (const std::string& performer : state.trackPerformer) {
            ASSERT_LE(performer.size(), 119u);
        }
    }
    // The session did reach the drives: plays were started and discs were read.
    EXPECT_GT(bus.CountCommands(kOpPlayAudio12), 0u);
    EXPECT_GT(bus.CountCommands(kOpReadToc), static_cast<size_t>(kSteps / 12));
}

} // namespace
} // namespace player_test
