// Requests of the digital play layer to the layer below. The wait reads the status atomically:
// a layer below may complete a request from another thread.
#include "audio/scsi_link.h"

#include "drive/fixed_sense.h"
#include "drive/srb.h"

#include <atomic>
#include <cstring>

namespace audio {

namespace {

size_t GroupLength(uint8_t operationCode) {
    if (operationCode < 0x20) {
        return 6;
    }
    return operationCode < 0x60 ? 10 : 12;
}

} // namespace

bool Completion::Ok() const {
    return status == SS_COMP;
}

bool Completion::NoDevice() const {
    return status == SS_NO_DEVICE;
}

bool Completion::Is(uint8_t key, uint8_t code, uint8_t qualifier) const {
    return !Ok() && senseKey == key && asc == code && ascq == qualifier;
}

bool Completion::DiscGone() const {
    constexpr uint8_t kMediumNotPresent = 0x3A;
    return !Ok() && (senseKey == kSenseKeyUnitAttention ||
                     (senseKey == kSenseKeyNotReady && asc == kMediumNotPresent));
}

Completion Submit(const AspiLayer& layer, void* request) {
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    const uint32_t accepted = layer.sendCommand(request);
    std::atomic_ref<uint8_t> status(srb.SRB_Status);
    if (status.load() == SS_PENDING && accepted != SS_PENDING) {
        // Refused by the return value alone: the layer never writes the status then.
        status.store(accepted <= 0xFF ? static_cast<uint8_t>(accepted) : SS_ERR);
    }
    while (status.load() == SS_PENDING) {
    }
    Completion completion;
    completion.status = status.load();
    if (completion.status != SS_COMP && srb.SRB_TargStat == STATUS_CHKCOND &&
        srb.SRB_SenseLen > kSenseAscqAt) {
        completion.senseKey = srb.SenseArea[kSenseKeyAt] & 0x0F;
        completion.asc = srb.SenseArea[kSenseAscAt];
        completion.ascq = srb.SenseArea[kSenseAscqAt];
    }
    return completion;
}

Completion SendThrough(const AspiLayer& layer, uint8_t adapter, uint8_t target,
                       std::span<const uint8_t> cdb, std::span<uint8_t> data) {
    if (cdb.empty() || cdb.size() < GroupLength(cdb[0])) {
        return Completion{SS_INVALID_SRB};
    }
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Flags = SRB_DIR_IN;
    srb.SRB_Target = target;
    srb.SRB_BufLen = static_cast<uint32_t>(data.size());
    srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<uint8_t>(GroupLength(cdb[0]));
    std::memcpy(srb.CDBByte, cdb.data(), srb.SRB_CDBLen);

    return Submit(layer, &srb);
}

} // namespace audio
