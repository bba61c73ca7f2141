// Drive discovery: host adapters in the outer loop, targets 0 to 15 in the inner one.
#include "drive/discovery.h"

#include "drive/aspi.h"
#include "drive/command_blocks.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kInquiryLength = 56;

template <size_t N>
void CopyField(std::array<char, N>& to, const std::array<uint8_t, kInquiryLength>& answer,
               size_t from) {
    static_assert(N > 1);
    std::memcpy(to.data(), answer.data() + from, N - 1);
    to[N - 1] = '\0';
}

} // namespace

int InquireDevice(int hostAdapter, int target, DeviceIdentity& identity) {
    std::array<uint8_t, kInquiryLength> answer{};
    if (ExecScsiCommand(hostAdapter, target, InquiryCdb(kInquiryLength), answer) != 1) {
        return 0;
    }
    CopyField(identity.vendor, answer, kInquiryVendorAt);
    CopyField(identity.product, answer, kInquiryProductAt);
    CopyField(identity.revision, answer, kInquiryRevisionAt);
    return answer[0] == kPeripheralCdRom ? 1 : 0;
}

std::vector<std::string> DiscoverDrives(PlayerState& state) {
    std::vector<std::string> captions;
    for (int adapter = 0; adapter < state.hostAdapterCount; ++adapter) {
        for (int target = 0; target < kTargetsPerAdapter; ++target) {
            DeviceIdentity identity{};
            if (InquireDevice(adapter, target, identity) == 0) {
                continue;
            }
            if (!IsDriveVendor(identity.vendor.data())) {
                continue;
            }
            if (state.driveCount < 0 || state.driveCount >= kMaxDrives) {
                continue; // the list is full: caption i and drive i must name the same drive
            }
            state.driveAdapter[static_cast<size_t>(state.driveCount)] = adapter;
            state.driveTarget[static_cast<size_t>(state.driveCount)] = target;
            ++state.driveCount;

            // The caption shows the product identification from its eighth character on.
            char caption[32];
            std::snprintf(caption, sizeof caption, "ID:%d   %s", target,
                          identity.product.data() + 7);
            captions.emplace_back(caption);
        }
    }
    return captions;
}
