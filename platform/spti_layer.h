// The ASPI layer for real drives on Windows without an ASPI library (Windows 2000 and later ship
// none): GetASPI32SupportInfo and SendASPI32Command over the SCSI pass-through of the CD-ROM
// drives' volumes (IOCTL_SCSI_PASS_THROUGH_DIRECT on \\.\D:), and the report of drives that
// could not be opened, which main() prints.
//
// Addressing: the CD-ROM drive letters are fixed when the layer loads (the first call of an
// entry, of SptiDriveMap or of SptiDeniedDrives after it was configured). Each drive's SCSI
// address comes from IOCTL_SCSI_GET_ADDRESS: the (port, path) pairs become host adapters 0..n-1
// in ascending order and the target id is the target. A drive without an address, with a LUN
// other than 0 or a target beyond 15 gets a place on one more adapter after those, in the order
// of its letter.
//
// Every command opens the volume afresh, for reading and writing (which the pass-through needs),
// and closes it when the command has completed: nothing stays open to keep Explorer's eject from
// working or to survive an unplugged drive. A volume that opens is used only while it still has
// the SCSI address it had when the layer loaded: another drive may have taken the letter.
//
// Both entries may be called from several threads at once (the window's and a reader's); the
// mapping and the memory of refusals are shared under one lock that no open or DeviceIoControl
// holds.
//
// A request is complete when SendASPI32Command returns; SRB_Status is written last. Data moves
// only from the device, SRB_BufLen bytes into SRB_BufPointer, and posting and event notification
// are not offered. What a request ends with:
//   SCSI status GOOD                          SS_COMP
//   any other SCSI status (CHECK CONDITION..) SS_ERR, SRB_TargStat = the status, sense copied
//   the pass-through failed: a time-out       SS_ERR, SRB_HaStat 0x0B
//     the drive is gone                       SS_NO_DEVICE, also when unplugged mid-play
//     anything else                           SS_ERR, SRB_HaStat 0x13 (the command was lost)
//   the volume does not open: access denied   SS_ERR (remembered for SptiDeniedDrives)
//     the drive is gone, or its letter now    SS_NO_DEVICE
//     names another drive
//   adapter id past the last                  SS_INVALID_HA
//   no drive at that target, or LUN not 0     SS_NO_DEVICE
//   no buffer for a data length, a command
//   block outside 6..16 bytes                 SS_INVALID_SRB
//   SRB_Cmd other than SC_EXEC_SCSI_CMD       SS_INVALID_CMD
// Sense bytes are copied up to the least of SRB_SenseLen, the size of SenseArea and what the
// drive returned.
#pragma once

#include "platform/aspi_layer.h"
#include "platform/spti_system.h"

#include <cstdint>
#include <string>
#include <vector>

struct SptiConfig {
    const SptiSystem* system = nullptr; // nullptr: the real calls
};

// Time limits handed to the port driver, in seconds. START STOP UNIT waits for the tray to move
// and the disc to spin up, so it gets the long one.
inline constexpr unsigned kSptiStartStopTimeoutSeconds = 60;
inline constexpr unsigned kSptiCommandTimeoutSeconds = 20;

struct SptiDrive {
    char letter = 0; // 'D' for D:
    int adapter = 0;
    int target = 0;
    bool addressed = false; // the drive told its SCSI address
    int port = 0, path = 0, scsiTarget = 0, lun = 0;
};

// Sets which calls the layer makes and forgets the mapping and every remembered refusal.
void ConfigureSptiLayer(const SptiConfig& config);
// The two entries, for InstallAspiLayer.
const AspiLayer& SptiAspiLayer();
// ConfigureSptiLayer, then InstallAspiLayer(&SptiAspiLayer()).
void InstallSptiLayer(const SptiConfig& config = SptiConfig{});

// A copy of the mapping, loading it when it is not yet loaded.
std::vector<SptiDrive> SptiDriveMap();
// The drives that exist but cannot be opened for the pass-through, as "D:"; a drive no command
// has tried yet is tried now.
std::vector<std::string> SptiDeniedDrives();
// Why, in one line without the program's name, or "" for an empty list.
std::string SptiPermissionMessage(const std::vector<std::string>& deniedDrives);
