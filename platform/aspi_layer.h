// What answers to the name "WNASPI32.DLL" ahead of any library of that name: the program (or a
// test) installs the layer that the module seam then "loads".
#pragma once

#include <cstdint>

struct AspiLayer {
    uint32_t (*getSupportInfo)();       // GetASPI32SupportInfo
    uint32_t (*sendCommand)(void* srb); // SendASPI32Command
};

// nullptr installs nothing. The entries are copied: the caller's struct need not outlive the call.
// A layer with a null entry counts as a library that lacks that entry.
void InstallAspiLayer(const AspiLayer* layer);
