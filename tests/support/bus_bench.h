// What the player's tests share, window or not: a virtual bus whose clock moves only when a test
// says, the player state record, and reading back the commands that reached the bus.
#pragma once

#include "drive/big_endian.h"
#include "drive/commands.h"
#include "player/player_state.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace player_test {

using Opcodes = std::vector<uint8_t>;

// Three audio tracks at 0, 20000 and 40000, the lead-out at 60000: READ CAPACITY then reports
// 59999 as the disc end.
inline vdrive::DiscImage ThreeTrackDisc() {
    return vdrive::MakeAudioDisc({0, 20000, 40000}, 60000);
}
inline constexpr int32_t kThreeTrackDiscEnd = 59999;

// The address a logged SEEK(10) or PLAY AUDIO(12) carries in bytes 2-5, and a play's length.
inline int32_t AddressOf(const vdrive::LoggedCommand& command) {
    return static_cast<int32_t>(ReadBe32(command.cdb, 2));
}
inline int32_t PlayLengthOf(const vdrive::LoggedCommand& command) {
    return static_cast<int32_t>(ReadBe32(command.cdb, 6));
}

class BusBench : public testing::Test {
protected:
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    PlayerState state;

    vdrive::CdromDrive& AddDrive(std::optional<vdrive::DiscImage> disc, int adapter = 0,
                                 int target = 3) {
        return bus.AddDrive(adapter, target, std::move(disc));
    }

    // The drive's head moves there, as if another program had sought (the player sends nothing).
    void MoveHead(int32_t address, int adapter = 0, int target = 3) {
        SeekLba(adapter, target, address);
        bus.ClearLog();
    }

    Opcodes Sent() const { return bus.LoggedOpcodes(); }
    const vdrive::LoggedCommand& LastOf(uint8_t opcode) const {
        for (auto it = bus.Log().rbegin(); it != bus.Log().rend(); ++it) {
            if (it->Opcode() == opcode) {
                return *it;
            }
        }
        static const vdrive::LoggedCommand kNone;
        ADD_FAILURE() << "no command " << int{opcode} << " was sent";
        return kNone;
    }
};

} // namespace player_test
