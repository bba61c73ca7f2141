// The ASPI layer for real drives on Linux: GetASPI32SupportInfo and SendASPI32Command over the
// kernel's SCSI generic pass-through (SG_IO), and the permission report that main() prints.
//
// Addressing: the devices found in sysfs (see sg_devices.h) are fixed when the layer loads, that
// is on the first call of either entry or of SgDeviceMap/SgDeniedDevices after it was configured;
// a drive plugged in later is not seen until the layer is configured again. SCSI hosts become
// host adapters 0..n-1 in ascending order of their numbers, the SCSI target id is the target,
// and only LUN 0 on channel 0 is reachable.
//
// Every command opens the device afresh and closes it when the command has completed: nothing
// stays open to keep a file manager's eject from working or to survive an unplugged drive, and
// every open uses O_NONBLOCK (no tray lock, no autoclose, works with no disc), never O_EXCL.
// A node that opens is used only when sysfs says it still belongs to the address asked for: the
// kernel gives a freed sgN/srN name to the next device that comes, so after an unplug the old
// name may stand for another drive. When the address's nodes are gone or taken, sysfs is asked
// for its current ones: a drive that came back under new names is reached there again.
//
// Both entries may be called from several threads at once (the window's and a reader's); the
// mapping and the permission memory are shared under one lock that no open or SG_IO call holds.
// ConfigureSgLayer is for set-up, before commands are sent.
//
// A request is complete when SendASPI32Command returns; SRB_Status is written last. Data moves
// only from the device, SRB_BufLen bytes into SRB_BufPointer (the direction flags are not read),
// and posting and event notification are not offered. What a request ends with:
//   GOOD, no host or driver error             SS_COMP
//   any other SCSI status (CHECK CONDITION..) SS_ERR, SRB_TargStat = the status, sense copied
//   a host or driver error                    SS_ERR, SRB_HaStat = 0x11 selection time-out for no
//                                             connection or a bad target, 0x0B for a time-out,
//                                             0x09 bus busy, 0x0E bus reset, 0x0F parity, else
//                                             0x13 (the transport lost the command)
//   no device node opens: permission denied   SS_ERR (remembered for SgDeniedDevices)
//   device gone (ENODEV, ENXIO, ENOENT), or   SS_NO_DEVICE, also when unplugged mid-play
//   its nodes now belong to another device
//   an empty drive                            SS_ERR, CHECK CONDITION with the drive's own sense
//                                             (02/3A/xx): non-blocking opens check no medium
//   the kernel refuses PLAY AUDIO(12) (EPERM) the range is sent as PLAY AUDIO MSF, whose result
//                                             counts; any other refusal or failure is SS_ERR
//   adapter id past the last                  SS_INVALID_HA
//   no device at that target, or LUN not 0    SS_NO_DEVICE
//   no buffer for a data length, a command
//   block outside 6..16 bytes                 SS_INVALID_SRB
//   SRB_Cmd other than SC_EXEC_SCSI_CMD       SS_INVALID_CMD
// Sense bytes are copied up to the least of SRB_SenseLen, the size of SenseArea and what the
// kernel wrote.
#pragma once

#include "platform/aspi_layer.h"
#include "platform/sg_devices.h"
#include "platform/sg_system.h"

#include <cstdint>
#include <string>
#include <vector>

struct SgConfig {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";     // where the sgN and srN nodes are opened
    const SgSystem* system = nullptr; // nullptr: the real system calls
};

// Time limits handed to the kernel, in milliseconds. START STOP UNIT waits for the tray to move
// and the disc to spin up, so it gets the long one.
inline constexpr unsigned kSgStartStopTimeoutMs = 60000;
inline constexpr unsigned kSgCommandTimeoutMs = 20000;

// Sets where the layer looks and which system calls it makes, and forgets the device mapping
// and every remembered refusal: the next call of an entry loads the mapping anew.
void ConfigureSgLayer(const SgConfig& config);

// The two entries, for InstallAspiLayer.
const AspiLayer& SgAspiLayer();

// ConfigureSgLayer, then InstallAspiLayer(&SgAspiLayer()): what `discolo` does to play real discs.
void InstallSgLayer(const SgConfig& config = SgConfig{});

// A copy of the loaded mapping (loading it when it is not yet loaded), with each device's
// current node names.
std::vector<SgDevice> SgDeviceMap();

// The CD-ROM devices of the mapping that exist but cannot be opened because permission is
// denied, as the device node paths to name to the user. A device whose opens have been tried
// by a command counts by the outcome of its latest try; one not tried yet is tried now (opened
// and closed at once, with the same flags as a command).
std::vector<std::string> SgDeniedDevices();

// Why those devices cannot be used, in one line without the program's name (main() prints it on
// standard error), or "" when the list is empty, e.g. "cannot open /dev/sr0 (permission denied);
// add yourself to the 'cdrom' group and log in again".
std::string SgPermissionMessage(const std::vector<std::string>& deniedDevices);
