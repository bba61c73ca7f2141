// Where a layer that decorates another (the digital play layer, the disc-names layer) stands in
// the module seam: two plain entries that reach the installed layer of its kind, the layer below
// put back when it goes, and the entries of whatever answers to "WNASPI32.DLL" now, for a layer
// to build on.
#pragma once

#include "drive/srb.h"
#include "platform/aspi_layer.h"
#include "platform/module.h"

#include <atomic>
#include <cstdint>

// The entries of what answers to "WNASPI32.DLL" now, from a load that stays open until
// CloseModule; nullptr (and no entries) when nothing answers or an entry is missing.
ModuleHandle OpenAspiEntries(AspiLayer& entries);

template <typename Layer> class LayerSlot {
public:
    // The two entries through which the installed layer of this kind is reached (what a module
    // load gives while it is installed).
    static AspiLayer Entries() { return AspiLayer{&SupportInfo, &SendCommand}; }

    // Makes `layer` the one that answers to "WNASPI32.DLL" until Uninstall; then `below` does.
    static void Install(Layer* layer, const AspiLayer& below) {
        installed = layer;
        restore = below;
        const AspiLayer entries = Entries();
        InstallAspiLayer(&entries);
    }

    static void Uninstall(Layer* layer) {
        if (installed.compare_exchange_strong(layer, nullptr)) {
            InstallAspiLayer(&restore);
        }
    }

private:
    static uint32_t SupportInfo() {
        Layer* layer = installed.load();
        return layer ? layer->GetSupportInfo() : uint32_t{SS_NO_ADAPTERS} << 8;
    }

    static uint32_t SendCommand(void* request) {
        if (Layer* layer = installed.load()) {
            return layer->SendCommand(request);
        }
        // A module loaded while the layer was there: every request completes, none reaches a
        // drive.
        if (request) {
            static_cast<SRB_ExecSCSICmd*>(request)->SRB_Status = SS_INVALID_HA;
        }
        return SS_INVALID_HA;
    }

    static inline std::atomic<Layer*> installed = nullptr;
    static inline AspiLayer restore{};
};
