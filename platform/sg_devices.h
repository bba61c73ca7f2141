// The SCSI devices the SG layer can reach, read from sysfs: the scsi_generic class, and the sr
// block devices of CD-ROM drives that have no generic node (the sg module is not loaded).
#pragma once

#include <string>
#include <vector>

inline constexpr int kScsiTypeWorm = 4;  // write-once drive: the sr driver takes it as a CD drive
inline constexpr int kScsiTypeCdRom = 5; // CD/DVD drive

struct SgDevice {
    int adapter = 0;         // ASPI host adapter id: the rank of `host` among the hosts found
    int host = 0;            // the kernel's SCSI host number
    int target = 0;          // SCSI target id, which is also the ASPI target id
    int type = -1;           // peripheral device type from sysfs; -1 when it cannot be read
    std::string genericNode; // "sg1", or empty when the device has no generic node
    std::string blockNode;   // "sr0", or empty when the device has no CD block node
};

bool IsCdDevice(const SgDevice& device);

// Every reachable device under `sysfsRoot` (normally "/sys"), ordered by (host, target). Only
// channel 0 and LUN 0 are reachable, as ASPI requests carry no channel and the player always
// asks for LUN 0: a device on another channel or LUN is left out, and a host that has only such
// devices gets no adapter id. Distinct host numbers become adapters 0, 1, 2... in ascending order,
// so gaps in the numbering close up; at most 255 adapters fit in the support info, further hosts
// are left out, as are target ids above 255. A missing or unreadable tree gives no devices.
std::vector<SgDevice> EnumerateSgDevices(const std::string& sysfsRoot);

// Whether the node `name` of sysfs class `className` ("scsi_generic" or "block") belongs, right
// now, to the device at host:0:target:0. The kernel hands a freed name to the next device that
// comes, so a name read at load time may meanwhile stand for another drive. Asked while the node
// is open, the answer holds for the open node: a name stays taken as long as it is open.
bool SgNodeBelongsTo(const std::string& sysfsRoot, const std::string& className,
                     const std::string& name, int host, int target);
