// The module seam: what stands between the transport and the system's module loader. An ASPI
// layer installed with InstallAspiLayer answers to "WNASPI32.DLL" first; on Windows every other
// load goes to LoadLibraryA, GetProcAddress and FreeLibrary. The names keep clear of the Win32
// API (LoadModule is a Win32 function, FreeModule a macro of <windows.h>).
#pragma once

#include <string_view>

using ModuleHandle = void*;
using ModuleEntry = void (*)();

ModuleHandle OpenModule(std::string_view name);                           // nullptr: not loaded
ModuleEntry FindModuleEntry(ModuleHandle module, std::string_view entry); // nullptr: missing
void CloseModule(ModuleHandle module);

// Modules loaded and not yet freed; lets tests see that a failed load released its module.
int LoadedModuleCount();
