// The devices on the virtual bus that are not CD-ROM drives.
#include "vdrive/other_device.h"

#include "drive/scsi_opcodes.h"

#include <algorithm>
#include <utility>

namespace vdrive {

OtherDevice::OtherDevice(uint8_t peripheral, Identity identity)
    : peripheral_(peripheral), identity_(std::move(identity)) {}

Identity DiskIdentity() {
    return Identity{kDriveVendor, "HARD DISK VD1080", "2.04"};
}

void OtherDevice::SetPendingSense(Sense sense) {
    const std::lock_guard lock(mutex_);
    pendingSense_ = sense;
}

Reply OtherDevice::Execute(Cdb cdb, std::span<uint8_t> answer) {
    const std::lock_guard lock(mutex_);
    const uint8_t operation = cdb[0];
    if (operation == kOpInquiry) {
        if ((cdb[1] & 0x01) != 0 || cdb[2] != 0) { // EVPD or a page code: no vital product data
            return Reply::Check(kSenseInvalidFieldInCdb);
        }
        answer[0] = peripheral_;                // peripheral qualifier and device type
        answer[1] = 0x00;                       // RMB 0: fixed medium
        answer[2] = 0x02;                       // version: SCSI-2
        answer[3] = 0x02;                       // response data format 2
        answer[4] = kStandardInquiryLength - 5; // additional length
        WriteIdentity(identity_, answer);       // vendor, product, revision
        return Reply::Data(kStandardInquiryLength);
    }
    if (operation == kOpRequestSense) {
        const auto sense = FixedSenseData(pendingSense_.value_or(kSenseNone));
        std::copy(sense.begin(), sense.end(), answer.begin());
        pendingSense_.reset();
        return Reply::Data(kFixedSenseLength);
    }

    Reply reply = Reply::Check(kSenseInvalidOperationCode);
    if ((peripheral_ & 0xE0) != 0) {
        reply = Reply::Check(kSenseLogicalUnitNotSupported);
    } else if (operation == kOpTestUnitReady) {
        reply = Reply::Good();
    }
    pendingSense_ = reply.sense;
    return reply;
}

} // namespace vdrive
