// The module seam. On Windows the real loader; elsewhere one "library", WNASPI32.DLL, whose two
// entries are those of the layer last installed with InstallAspiLayer.
#include "platform/module.h"

#include "platform/aspi_layer.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace {

int loadedModules = 0;

#ifndef _WIN32
struct AspiModule {
    AspiLayer layer{};
};

AspiModule installedLayer;
bool layerInstalled = false;

// Each load hands out its own copy, so that a later install does not change a loaded module.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}
#endif

} // namespace

void InstallAspiLayer(const AspiLayer* layer) {
#ifndef _WIN32
    layerInstalled = layer != nullptr;
    installedLayer.layer = layer ? *layer : AspiLayer{};
#else
    (void)layer;
#endif
}

#ifdef _WIN32

ModuleHandle LoadModule(std::string_view name) {
    HMODULE module = LoadLibraryA(std::string(name).c_str());
    if (module) {
        ++loadedModules;
    }
    return module;
}

ModuleEntry FindModuleEntry(ModuleHandle module, std::string_view entry) {
    return reinterpret_cast<ModuleEntry>(
        GetProcAddress(static_cast<HMODULE>(module), std::string(entry).c_str()));
}

void FreeModule(ModuleHandle module) {
    if (module && FreeLibrary(static_cast<HMODULE>(module))) {
        --loadedModules;
    }
}

#else

ModuleHandle LoadModule(std::string_view name) {
    if (!layerInstalled || !SameName(name, "WNASPI32.DLL")) {
        return nullptr;
    }
    ++loadedModules;
    return new AspiModule(installedLayer);
}

ModuleEntry FindModuleEntry(ModuleHandle module, std::string_view entry) {
    if (!module) {
        return nullptr;
    }
    const AspiLayer& layer = static_cast<AspiModule*>(module)->layer;
    if (entry == "GetASPI32SupportInfo") {
        return reinterpret_cast<ModuleEntry>(layer.getSupportInfo);
    }
    if (entry == "SendASPI32Command") {
        return reinterpret_cast<ModuleEntry>(layer.sendCommand);
    }
    return nullptr;
}

void FreeModule(ModuleHandle module) {
    if (module) {
        delete static_cast<AspiModule*>(module);
        --loadedModules;
    }
}

#endif

int LoadedModuleCount() {
    return loadedModules;
}
