// The module seam. An installed layer is the one "library" named WNASPI32.DLL; on Windows, when
// none is installed (or for any other name), the system loader is asked. Every handle points to a
// record of this file that says which of the two it came from, so that lookups and releases go
// to the right one.
#include "platform/module.h"

#include "platform/aspi_layer.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <type_traits>
#endif

namespace {

#if defined(_WIN32) && defined(__i386__)
// WNASPI32.DLL exports both entries with the C calling convention. The convention is part of the
// pointer type here, so a __stdcall declaration fails to build instead of unbalancing the stack
// on every command.
static_assert(std::is_same_v<decltype(AspiLayer::getSupportInfo), uint32_t(__cdecl*)()>);
static_assert(std::is_same_v<decltype(AspiLayer::sendCommand), uint32_t(__cdecl*)(void*)>);
static_assert(!std::is_same_v<decltype(AspiLayer::sendCommand), uint32_t(__stdcall*)(void*)>);
#endif

struct Module {
    AspiLayer layer{}; // an installed layer's entries, copied when the module was loaded
#ifdef _WIN32
    HMODULE library = nullptr; // set when the system loader loaded the library
#endif
};

int loadedModules = 0;

AspiLayer installedLayer{};
bool layerInstalled = false;

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

} // namespace

void InstallAspiLayer(const AspiLayer* layer) {
    layerInstalled = layer != nullptr;
    installedLayer = layer ? *layer : AspiLayer{};
}

ModuleHandle OpenModule(std::string_view name) {
    // Each load hands out its own copy of the layer, so that a later install does not change a
    // loaded module.
    if (layerInstalled && SameName(name, "WNASPI32.DLL")) {
        ++loadedModules;
        return new Module{installedLayer};
    }
#ifdef _WIN32
    if (HMODULE library = LoadLibraryA(std::string(name).c_str())) {
        ++loadedModules;
        auto* module = new Module{};
        module->library = library;
        return module;
    }
#endif
    return nullptr;
}

ModuleEntry FindModuleEntry(ModuleHandle handle, std::string_view entry) {
    if (!handle) {
        return nullptr;
    }
    const Module& module = *static_cast<Module*>(handle);
#ifdef _WIN32
    if (module.library) {
        return reinterpret_cast<ModuleEntry>(
            GetProcAddress(module.library, std::string(entry).c_str()));
    }
#endif
    if (entry == "GetASPI32SupportInfo") {
        return reinterpret_cast<ModuleEntry>(module.layer.getSupportInfo);
    }
    if (entry == "SendASPI32Command") {
        return reinterpret_cast<ModuleEntry>(module.layer.sendCommand);
    }
    return nullptr;
}

void CloseModule(ModuleHandle handle) {
    if (!handle) {
        return;
    }
    auto* module = static_cast<Module*>(handle);
#ifdef _WIN32
    if (module->library) {
        FreeLibrary(module->library);
    }
#endif
    delete module;
    --loadedModules;
}

std::optional<AspiLibrary> OpenAspiLibrary() {
    AspiLibrary library;
    library.module = OpenModule("WNASPI32.DLL");
    if (!library.module) {
        return std::nullopt;
    }
    library.entries.getSupportInfo = reinterpret_cast<decltype(AspiLayer::getSupportInfo)>(
        FindModuleEntry(library.module, "GetASPI32SupportInfo"));
    library.entries.sendCommand = reinterpret_cast<decltype(AspiLayer::sendCommand)>(
        FindModuleEntry(library.module, "SendASPI32Command"));
    if (!library.entries.getSupportInfo || !library.entries.sendCommand) {
        CloseModule(library.module);
        return std::nullopt;
    }
    return library;
}

int LoadedModuleCount() {
    return loadedModules;
}
