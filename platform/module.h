// The module seam: LoadLibraryA, GetProcAddress and FreeLibrary on Windows; elsewhere a
// registry in which "WNASPI32.DLL" is the installed ASPI layer.
#pragma once

#include <string_view>

using ModuleHandle = void*;
using ModuleEntry = void (*)();

ModuleHandle LoadModule(std::string_view name);                           // nullptr: not loaded
ModuleEntry FindModuleEntry(ModuleHandle module, std::string_view entry); // nullptr: missing
void FreeModule(ModuleHandle module);

// Modules loaded and not yet freed; lets tests see that a failed load released its module.
int LoadedModuleCount();
