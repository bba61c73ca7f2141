// The one way a command block becomes an execute-SCSI-command request, goes to a layer and is
// waited for: the transport (ExecScsiCommand) and the layers' own commands to the layer below
// them both go through here.
#pragma once

#include "drive/fixed_sense.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <thread>

// A layer's SendASPI32Command.
using AspiSendEntry = uint32_t (*)(void* request);

// Fills `srb` afresh for `cdb` to (host adapter, target, LUN 0): SC_EXEC_SCSI_CMD, SRB_DIR_IN
// (data only ever flows from the device, and the flag is set alike without data), the data
// buffer (a null pointer without data), 14 sense bytes wanted, and the first CommandLength bytes
// of the block; every other field 0. Only the low 8 bits of each id are sent. False, with nothing
// to send, when the block is shorter than its length or the data longer than a request can count.
inline bool PrepareRequest(SRB_ExecSCSICmd& srb, int hostAdapter, int target,
                           std::span<const uint8_t> cdb, std::span<uint8_t> data) {
    std::memset(&srb, 0, sizeof srb);
    if (cdb.empty() || data.size() > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    const auto cdbLength = static_cast<size_t>(CommandLength(cdb[0]));
    if (cdb.size() < cdbLength) {
        return false;
    }
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Status = SS_PENDING;
    srb.SRB_HaId = static_cast<uint8_t>(hostAdapter);
    srb.SRB_Flags = SRB_DIR_IN;
    srb.SRB_Target = static_cast<uint8_t>(target);
    srb.SRB_Lun = 0;
    srb.SRB_BufLen = static_cast<uint32_t>(data.size());
    srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<uint8_t>(cdbLength);
    std::memcpy(srb.CDBByte, cdb.data(), cdbLength);
    return true;
}

// How a request ended: its status, and the sense of a check condition (kSenseNone otherwise).
struct Completion {
    uint8_t status = SS_PENDING;
    Sense sense = kSenseNone;

    bool Ok() const { return status == SS_COMP; }
    bool NoDevice() const { return status == SS_NO_DEVICE; }
    // The disc went away or changed under the drive: no medium (whatever the qualifier says of
    // the tray), or a unit attention.
    bool DiscGone() const {
        return !Ok() && (sense.key == kSenseKeyUnitAttention ||
                         (sense.key == kSenseKeyNotReady && sense.asc == kSenseNoMedium.asc));
    }
};

// Hands `srb` to a layer through `send`. A layer that refuses a request by its return value alone
// never writes the status (wine's own layer does so for an absent adapter): that value is written
// into the request then (SS_ERR for one that is no status byte), so that whoever waits on it sees
// it complete. True while the request is still pending: the layer completes it later, from a
// thread of its own.
inline bool Submit(AspiSendEntry send, SRB_ExecSCSICmd& srb) {
    const uint32_t accepted = send(&srb);
    std::atomic_ref<uint8_t> status(srb.SRB_Status);
    if (status.load() == SS_PENDING && accepted != SS_PENDING) {
        status.store(accepted <= 0xFF ? static_cast<uint8_t>(accepted) : SS_ERR);
    }
    return status.load() == SS_PENDING;
}

// How a completed request ended.
inline Completion CompletionOf(SRB_ExecSCSICmd& srb) {
    Completion completion;
    completion.status = std::atomic_ref<uint8_t>(srb.SRB_Status).load();
    if (completion.status != SS_COMP && srb.SRB_TargStat == STATUS_CHKCOND &&
        srb.SRB_SenseLen > kSenseAscqAt) {
        completion.sense = Sense{static_cast<uint8_t>(srb.SenseArea[kSenseKeyAt] & 0x0F),
                                 srb.SenseArea[kSenseAscAt], srb.SenseArea[kSenseAscqAt]};
    }
    return completion;
}

// Submits `srb` through `send` and waits until the layer has completed it, with no time limit. A
// layer that completes it before returning (the virtual bus, the Linux SG layer, the play and
// names layers) is not waited for at all. One that completes it later from a thread of its own (a
// system's ASPI library) is looked at again after a yield, then after sleeps that double from
// 50 µs to 1 ms: a drive's command takes milliseconds, so the wait adds at most about a
// millisecond and next to no processor time. (A completion event would change the request the
// callers prepare; ExecScsiCommand keeps its own loop.)
inline Completion SubmitRequest(AspiSendEntry send, SRB_ExecSCSICmd& srb) {
    if (Submit(send, srb)) {
        std::atomic_ref<uint8_t> status(srb.SRB_Status);
        std::this_thread::yield();
        for (auto pause = std::chrono::microseconds(50); status.load() == SS_PENDING;
             pause = std::min(pause * 2, std::chrono::microseconds(1000))) {
            std::this_thread::sleep_for(pause);
        }
    }
    return CompletionOf(srb);
}

// PrepareRequest and SubmitRequest in one: a request that cannot be prepared completes as
// SS_INVALID_SRB without being sent.
inline Completion SendCommandBlock(AspiSendEntry send, int hostAdapter, int target,
                                   std::span<const uint8_t> cdb, std::span<uint8_t> data) {
    SRB_ExecSCSICmd srb;
    if (!PrepareRequest(srb, hostAdapter, target, cdb, data)) {
        return Completion{SS_INVALID_SRB, kSenseNone};
    }
    return SubmitRequest(send, srb);
}
