// What every virtual device shares: its INQUIRY identity fields and the allocation length rule.
#include "vdrive/device.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/scsi_opcodes.h"
#include "drive/sub_q_layout.h"

#include <algorithm>

namespace vdrive {

namespace {

void WritePadded(const std::string& text, std::span<uint8_t> field) {
    std::fill(field.begin(), field.end(), static_cast<uint8_t>(' '));
    const size_t count = std::min(text.size(), field.size());
    for (size_t i = 0; i < count; ++i) {
        field[i] = static_cast<uint8_t>(text[i]);
    }
}

} // namespace

void WriteIdentity(const Identity& identity, std::span<uint8_t> answer) {
    WritePadded(identity.vendor, answer.subspan(kInquiryVendorAt, kInquiryVendorLength));
    WritePadded(identity.product, answer.subspan(kInquiryProductAt, kInquiryProductLength));
    WritePadded(identity.revision, answer.subspan(kInquiryRevisionAt, kInquiryRevisionLength));
}

std::optional<uint32_t> AllocationLength(Cdb cdb) {
    switch (cdb[0]) {
    case kOpRequestSense: // byte 4
    case kOpModeSense6:
        return cdb[4];
    case kOpInquiry: // bytes 3-4 (byte 3 is 0 from hosts that know only the one-byte field)
        return ReadBe16(cdb, 3);
    case kOpReadSubChannel: // bytes 7-8
    case kOpReadToc:
    case kOpGetConfiguration:
    case kOpGetEventStatusNotification:
    case kOpReadDiscInformation:
    case kOpModeSense10:
        return ReadBe16(cdb, 7);
    default:
        return std::nullopt;
    }
}

uint32_t AnswerRoom(Cdb cdb) {
    if (cdb[0] != kOpReadCd) {
        return kMaxAnswerLength;
    }
    const uint64_t frames = ReadBe24(cdb, 6); // transfer length in frames
    // A whole frame, and the formatted Q after it when the sub-channel selection asks for it.
    const uint64_t frameBytes =
        2352 + ((cdb[10] & 0x07) == kReadCdFormattedQ ? kFormattedQLength : 0);
    return static_cast<uint32_t>(
        std::clamp<uint64_t>(frames * frameBytes, kMaxAnswerLength, kMaxTransferLength));
}

} // namespace vdrive
