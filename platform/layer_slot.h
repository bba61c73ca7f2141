// How an object becomes the layer that answers to "WNASPI32.DLL". An ASPI library's entries are
// plain functions, so each class of layer object (the virtual bus, the digital play layer) has one
// slot: the object installed now, which its two entries reach. The entries of a slot whose object
// is gone refuse every request with SS_INVALID_HA (a module loaded while the object was there may
// still call them) and report no adapters.
//
//     LayerSlot<Bus>::Install(bus);                  // "WNASPI32.DLL" is now `bus`
//     LayerSlot<Bus>::Uninstall(bus, nullptr);       // and nothing again, if it still was `bus`
//
// The class provides `uint32_t GetSupportInfo() const` and `uint32_t SendCommand(void*)`.
#pragma once

#include "drive/srb.h"
#include "platform/aspi_layer.h"

#include <atomic>
#include <cstdint>

template <typename Layer> class LayerSlot {
public:
    // The two entries: what a module load of the installed object gives.
    static AspiLayer Entries() { return AspiLayer{&SupportInfo, &SendCommand}; }

    // Makes `layer` the object the entries reach, and the entries what answers to "WNASPI32.DLL".
    static void Install(Layer& layer) {
        current_ = &layer;
        const AspiLayer entries = Entries();
        InstallAspiLayer(&entries);
    }

    // When `layer` is the object installed: the entries reach nothing from now on, and `then`
    // answers to "WNASPI32.DLL" (nullptr: nothing). Otherwise nothing changes.
    static void Uninstall(Layer& layer, const AspiLayer* then) {
        Layer* installed = &layer;
        if (current_.compare_exchange_strong(installed, nullptr)) {
            InstallAspiLayer(then);
        }
    }

    static bool Installed(const Layer& layer) { return current_.load() == &layer; }

private:
    static uint32_t SupportInfo() {
        Layer* layer = current_.load();
        return layer ? layer->GetSupportInfo() : uint32_t{SS_NO_ADAPTERS} << 8;
    }

    static uint32_t SendCommand(void* request) {
        if (Layer* layer = current_.load()) {
            return layer->SendCommand(request);
        }
        if (request) { // SRB_Status stands in byte 1 of every request
            static_cast<uint8_t*>(request)[1] = SS_INVALID_HA;
        }
        return SS_INVALID_HA;
    }

    static inline std::atomic<Layer*> current_ = nullptr;
};
