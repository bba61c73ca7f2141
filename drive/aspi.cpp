// The ASPI transport. Each command is a fresh request on the caller's stack, submitted and then
// polled until the layer has completed it (or has refused it); the transport sets no time limit
// of its own.
#include "drive/aspi.h"

#include "drive/aspi_request.h"
#include "platform/module.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

ModuleHandle aspiModule = nullptr;
AspiLayer aspiEntries{}; // getSupportInfo and sendCommand of the loaded layer

} // namespace

uint32_t LoadAspi() {
    UnloadAspi(); // a second load replaces the first instead of leaking its module
    const std::optional<AspiLibrary> library = OpenAspiLibrary();
    if (!library) {
        return 0;
    }
    aspiModule = library->module;
    aspiEntries = library->entries;
    return aspiEntries.getSupportInfo();
}

void UnloadAspi() {
    // A command after the unload finds no layer and is refused rather than calling into a
    // released module.
    if (aspiModule) {
        CloseModule(aspiModule);
    }
    aspiModule = nullptr;
    aspiEntries = AspiLayer{};
}

int32_t ExecScsiCommand(int hostAdapter, int target, std::span<const uint8_t> cdb,
                        std::span<uint8_t> data) {
    SRB_ExecSCSICmd srb;
    if (!aspiEntries.sendCommand || !PrepareRequest(srb, hostAdapter, target, cdb, data)) {
        return -1;
    }
#ifdef _WIN32
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        return -1;
    }
#endif
    if (Submit(aspiEntries.sendCommand, srb)) {
        // The layer completes the request from a thread of its own: its status is read afresh
        // on every pass, with no pause and no time limit.
        const std::atomic_ref<uint8_t> status(srb.SRB_Status);
        while (status.load() == SS_PENDING) {
        }
    }
    const int32_t result = CompletionOf(srb).status;
#ifdef _WIN32
    CloseHandle(event);
#endif
    return result;
}
