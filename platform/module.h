// The module seam: what stands between the transport and the system's module loader. An ASPI
// layer installed with InstallAspiLayer answers to "WNASPI32.DLL" first; on Windows every other
// load goes to LoadLibraryA, GetProcAddress and FreeLibrary. The names keep clear of the Win32
// API (LoadModule is a Win32 function, FreeModule a macro of <windows.h>).
#pragma once

#include "platform/aspi_layer.h"

#include <optional>
#include <string_view>

using ModuleHandle = void*;
using ModuleEntry = void (*)();

ModuleHandle OpenModule(std::string_view name);                           // nullptr: not loaded
ModuleEntry FindModuleEntry(ModuleHandle module, std::string_view entry); // nullptr: missing
void CloseModule(ModuleHandle module);

// What answers to "WNASPI32.DLL" now, loaded through this seam with both of its entries found:
// the module, to be released with CloseModule, and the entries. Empty when nothing loads by that
// name or an entry is missing (the module is released again then). The one place that loads it.
struct AspiLibrary {
    ModuleHandle module = nullptr;
    AspiLayer entries{};
};
std::optional<AspiLibrary> OpenAspiLibrary();

// Modules loaded and not yet freed; lets tests see that a failed load released its module.
int LoadedModuleCount();
