// The ASPI transport. Each command is a fresh request on the caller's stack, submitted and then
// polled until the layer has completed it (or has refused it); the transport sets no time limit
// of its own.
#include "drive/aspi.h"

#include "drive/srb.h"
#include "platform/module.h"

#include <cstring>
#include <limits>
#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using GetSupportInfoEntry = uint32_t (*)();
using SendCommandEntry = uint32_t (*)(void*);

#if defined(_WIN32) && defined(__i386__)
// WNASPI32.DLL exports both entries with the C calling convention. The convention is part of the
// pointer type here, so a __stdcall declaration fails to build instead of unbalancing the stack
// on every command.
static_assert(std::is_same_v<GetSupportInfoEntry, uint32_t(__cdecl*)()>);
static_assert(std::is_same_v<SendCommandEntry, uint32_t(__cdecl*)(void*)>);
static_assert(!std::is_same_v<SendCommandEntry, uint32_t(__stdcall*)(void*)>);
#endif

ModuleHandle aspiModule = nullptr;
GetSupportInfoEntry getSupportInfo = nullptr;
SendCommandEntry sendCommand = nullptr;

} // namespace

uint32_t LoadAspi() {
    UnloadAspi(); // a second load replaces the first instead of leaking its module
    aspiModule = OpenModule("WNASPI32.DLL");
    if (!aspiModule) {
        return 0;
    }
    getSupportInfo =
        reinterpret_cast<GetSupportInfoEntry>(FindModuleEntry(aspiModule, "GetASPI32SupportInfo"));
    sendCommand =
        reinterpret_cast<SendCommandEntry>(FindModuleEntry(aspiModule, "SendASPI32Command"));
    if (!getSupportInfo || !sendCommand) {
        CloseModule(aspiModule);
        aspiModule = nullptr;
        getSupportInfo = nullptr;
        sendCommand = nullptr;
        return 0;
    }
    return getSupportInfo();
}

void UnloadAspi() {
    // A command after the unload finds no layer and is refused rather than calling into a
    // released module.
    if (aspiModule) {
        CloseModule(aspiModule);
    }
    aspiModule = nullptr;
    getSupportInfo = nullptr;
    sendCommand = nullptr;
}

int CdbLength(uint8_t operationCode) {
    if (operationCode < 0x20) {
        return 6;
    }
    if (operationCode < 0x60) {
        return 10;
    }
    return 12;
}

int32_t ExecScsiCommand(int hostAdapter, int target, std::span<const uint8_t> cdb,
                        std::span<uint8_t> data) {
    if (!sendCommand || cdb.empty() || data.size() > std::numeric_limits<uint32_t>::max()) {
        return -1;
    }
    const int cdbLength = CdbLength(cdb[0]);
    if (cdb.size() < static_cast<size_t>(cdbLength)) {
        return -1;
    }

    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Status = SS_PENDING;
    srb.SRB_HaId = static_cast<uint8_t>(hostAdapter);
    srb.SRB_Flags =
        SRB_DIR_IN; // data only ever flows from the device, and the flag is set alike without data
    srb.SRB_Target = static_cast<uint8_t>(target);
    srb.SRB_Lun = 0;
    srb.SRB_BufLen = static_cast<uint32_t>(data.size());
    srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<uint8_t>(cdbLength);
    std::memcpy(srb.CDBByte, cdb.data(), static_cast<size_t>(cdbLength));

#ifdef _WIN32
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        return -1;
    }
#endif

    const uint32_t accepted = sendCommand(&srb);

    // The layer completes the request outside this thread: read the status afresh every pass.
    // A layer that refuses a request outright may return its failure without ever writing the
    // status (wine's own layer does so for an absent adapter): waiting for the status then never
    // ends, so a refusal returned while the status is still pending is the result.
    const volatile uint8_t* status = &srb.SRB_Status;
    int32_t result = SS_PENDING;
    if (*status == SS_PENDING && accepted != SS_PENDING) {
        // A value past the status byte names no status: it still counts as a failure.
        result = accepted <= 0xFF ? static_cast<int32_t>(accepted) : SS_ERR;
    } else {
        while (*status == SS_PENDING) {
        }
        result = *status;
    }

#ifdef _WIN32
    CloseHandle(event);
#endif
    return result;
}
