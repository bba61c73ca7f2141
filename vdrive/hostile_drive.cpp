// The hostile drive's answers. Half of them are the honest drive's, so that the player gets far
// enough to meet the other half: answers with bytes changed (the header and its length fields
// most often), noise of any length, any sense, or GOOD with nothing written.
#include "vdrive/hostile_drive.h"

#include "drive/scsi_opcodes.h"

#include <algorithm>

namespace vdrive {

namespace {

constexpr uint32_t kLongestNoise = 2048;

} // namespace

uint32_t HostileDrive::NextBelow(uint32_t limit) {
    if (limit == 0) {
        return 0;
    }
    const uint32_t value = (uint32_t{next_()} << 8) | next_();
    return value % limit;
}

Reply HostileDrive::Execute(Cdb cdb, std::span<uint8_t> answer) {
    const std::lock_guard lock(mutex_);
    if (cdb[0] == kOpInquiry) {
        return honest_.Execute(cdb, answer);
    }
    switch (next_() % 8) {
    case 4: { // the honest answer with some bytes changed
        Reply reply = honest_.Execute(cdb, answer);
        const uint32_t length = std::max<uint32_t>(reply.length, 16);
        const uint32_t changes = 1 + NextBelow(8);
        for (uint32_t i = 0; i < changes; ++i) {
            // Half the changes hit the first 16 bytes: headers, track numbers, lengths.
            const uint32_t at = (next_() & 1) ? NextBelow(16) : NextBelow(length);
            answer[at] = next_();
        }
        return Reply::Data(length);
    }
    case 5: { // noise of any length
        const uint32_t length = NextBelow(kLongestNoise + 1);
        for (uint32_t i = 0; i < length; ++i) {
            answer[i] = next_();
        }
        return Reply::Data(length);
    }
    case 6: // any sense
        return Reply::Check(Sense{static_cast<uint8_t>(next_() & 0x0F), next_(), next_()});
    case 7: // completes, and leaves the buffer as it was
        return Reply::Good();
    default:
        return honest_.Execute(cdb, answer);
    }
}

} // namespace vdrive
