// What the layers for real drives (the Linux SG layer, the Windows SPTI layer) do alike with the
// ASPI entries: refuse a request they cannot carry out, complete one with SRB_Status written
// last, and report their host adapters.
#pragma once

#include "drive/srb.h"

#include <cstdint>
#include <string>
#include <vector>

// SS_INVALID_CMD for a request other than SC_EXEC_SCSI_CMD, SS_INVALID_SRB for a command block
// outside 6..16 bytes or a data length without a buffer, else 0.
inline uint8_t RequestProblem(const SRB_ExecSCSICmd& srb) {
    if (srb.SRB_Cmd != SC_EXEC_SCSI_CMD) {
        return SS_INVALID_CMD;
    }
    if (srb.SRB_CDBLen < 6 || srb.SRB_CDBLen > sizeof srb.CDBByte ||
        (srb.SRB_BufLen > 0 && srb.SRB_BufPointer == nullptr)) {
        return SS_INVALID_SRB;
    }
    return 0;
}

// SendASPI32Command around `execute`, which carries the request out and returns its status: the
// status bytes start clear, and SRB_Status is written last, so the request is complete from then.
template <typename Execute> uint32_t CompleteRequest(void* request, Execute execute) {
    if (request == nullptr) {
        return SS_INVALID_SRB;
    }
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    srb.SRB_HaStat = HASTAT_OK;
    srb.SRB_TargStat = STATUS_GOOD;
    const uint8_t status = execute(srb);
    srb.SRB_Status = status;
    return status;
}

// GetASPI32SupportInfo's answer for `adapterCount` host adapters.
inline uint32_t SupportInfoFor(int adapterCount) {
    if (adapterCount <= 0) {
        return uint32_t{SS_NO_ADAPTERS} << 8;
    }
    return (uint32_t{SS_COMP} << 8) | static_cast<uint32_t>(adapterCount & 0xFF);
}

// "a, b, c": the devices a permission message names.
inline std::string JoinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}
