// A device on the virtual bus that is not a CD-ROM drive: a direct-access disk, or a target
// that reports a CD-ROM type with "not connected" in its peripheral qualifier. Discovery has to
// pass both over; they answer INQUIRY, REQUEST SENSE and (the disk) TEST UNIT READY.
#pragma once

#include "vdrive/device.h"

#include <mutex>

namespace vdrive {

inline constexpr uint8_t kPeripheralDisk = 0x00; // qualifier 000b, type 00h direct access
inline constexpr uint8_t kPeripheralCdRomNotConnected = 0x25; // qualifier 001b, type 05h

class OtherDevice final : public Device {
public:
    // `peripheral` is INQUIRY byte 0. A qualifier other than 000b means no logical unit is
    // connected: every command but INQUIRY and REQUEST SENSE then fails with 05/25/00.
    OtherDevice(uint8_t peripheral, Identity identity);

    Reply Execute(Cdb cdb, std::span<uint8_t> answer) override;
    void SetPendingSense(Sense sense) override;

    Identity& identity() { return identity_; } // to change while no other thread sends

private:
    uint8_t peripheral_;
    Identity identity_;
    std::optional<Sense> pendingSense_;
    std::mutex mutex_;
};

// A direct-access disk of the given identity (INQUIRY byte 0 = 0x00).
Identity DiskIdentity();

} // namespace vdrive
