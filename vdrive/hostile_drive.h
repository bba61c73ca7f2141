// A drive that cannot be trusted: it wraps an honest virtual drive and, as a source of bytes
// decides, passes its answers on, corrupts them, replaces them with noise, fails with any sense
// or completes without data. The player must survive every such answer; the fuzzer and the
// soak test drive it from their own bytes.
#pragma once

#include "vdrive/cdrom_drive.h"
#include "vdrive/device.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

namespace vdrive {

class HostileDrive final : public Device {
public:
    using ByteSource = std::function<uint8_t()>;

    // `honest` answers whenever the source lets it; INQUIRY always goes to it, so that the
    // drive is found and listed like any other.
    HostileDrive(CdromDrive& honest, ByteSource source)
        : honest_(honest), next_(std::move(source)) {}

    Reply Execute(Cdb cdb, std::span<uint8_t> answer) override;
    void SetPendingSense(Sense sense) override { honest_.SetPendingSense(sense); }

private:
    uint32_t NextBelow(uint32_t limit); // 0 .. limit-1 from the source; 0 for limit 0

    CdromDrive& honest_;
    ByteSource next_; // called with mutex_ held
    std::mutex mutex_;
};

} // namespace vdrive
