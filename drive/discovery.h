// Drive discovery: INQUIRY on every target of every host adapter, listing the CD-ROM drives of
// the one vendor the player works with.
#pragma once

#include "drive/inquiry.h"
#include "player/player_state.h"

#include <array>
#include <string>
#include <vector>

struct DeviceIdentity {
    std::array<char, 9> vendor;   // INQUIRY bytes 8-15 and a NUL, exactly as the device sent them
    std::array<char, 17> product; // bytes 16-31 and a NUL
    std::array<char, 5> revision; // bytes 32-35 and a NUL
};

// 1: the INQUIRY completed and the device is a connected CD-ROM device (byte 0 is 0x05 as a
// whole); 0 otherwise. The identity is filled whenever the INQUIRY completed, untouched otherwise.
int InquireDevice(int hostAdapter, int target, DeviceIdentity& identity);

// Appends every matching drive to the drive list and returns the selector captions it adds, in
// order. The list holds 32 drives; further matching drives get neither an entry nor a caption.
std::vector<std::string> DiscoverDrives(PlayerState& state);
