// The drives the player sees, set up from the command line before any window opens: the real
// drives of this computer, the demo bus, or one virtual drive per CUE sheet.
#pragma once

#include "app/command_line.h"
#include "vdrive/bus.h"
#include "vdrive/clock.h"
#include "vdrive/device.h"

#if defined(__linux__)
#include "platform/sg_layer.h"
#elif defined(_WIN32)
#include "platform/spti_layer.h"
#endif

#include <memory>
#include <string>

struct PlayerDrives {
    // The virtual bus of --demo and --image, installed as the ASPI layer; empty for real drives.
    // It must outlive the player window.
    std::unique_ptr<vdrive::Bus> bus;
    // A notice for standard error, in one line without the program's name, or "": e.g. which
    // drive cannot be opened.
    std::string notice;
};

struct DriveSetupOptions {
    vdrive::Clock* clock = nullptr; // the virtual drives' time; nullptr: the steady clock
#if defined(__linux__)
    SgConfig sg; // where the real-drive layer looks, and its system calls
#elif defined(_WIN32)
    SptiConfig spti; // the calls of the pass-through layer, used without an ASPI library
#endif
};

// The player lists at most this many drives, so no more sheets than that are taken.
inline constexpr int kMaxImages = 32;

// Installs the ASPI layer the command line asks for. A sheet that does not load, or more sheets
// than the player can list, gives false with the reason in one line, and nothing is installed.
bool SetUpDrives(const CommandLine& commandLine, PlayerDrives& drives, std::string& error,
                 const DriveSetupOptions& options = {});

// Where the drive of the index-th sheet (from 0) sits: the 16 targets of adapter 0, then adapter 1.
struct BusAddress {
    int adapter;
    int target;
    friend bool operator==(const BusAddress&, const BusAddress&) = default;
};
BusAddress ImageDriveAddress(int index);

// The identity of a sheet's drive: listed by the player, named after the sheet's file so that
// the drive selector tells the discs apart ("ID:0   Album" for Album.cue).
vdrive::Identity ImageDriveIdentity(const std::string& sheetPath);
