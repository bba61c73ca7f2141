// The SPTI layer: each ASPI request becomes one IOCTL_SCSI_PASS_THROUGH_DIRECT on the drive's
// volume, and what the port driver reports becomes the request's status bytes and sense data.
#include "platform/spti_layer.h"

#include "drive/inquiry.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "platform/layer_request.h"

#include <winioctl.h>

#include <ntddscsi.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace {

// The pass-through request and the sense buffer the port driver fills, in one block.
struct PassThrough {
    SCSI_PASS_THROUGH_DIRECT request;
    ULONG filler; // keeps the sense buffer aligned
    std::array<UCHAR, 32> sense;
};

// The port driver moves data straight from the drive into the buffer, which some adapters want
// aligned; the data goes through a buffer of the layer's own that is.
constexpr size_t kDataAlignment = 64;

enum class Access { Untried, Opened, Denied, Failed };

struct LayerState {
    SptiConfig config;
    bool loaded = false;
    std::vector<SptiDrive> drives;
    std::vector<Access> access; // per drive, the outcome of its latest open
    int adapterCount = 0;
};

LayerState& State() {
    static LayerState state;
    return state;
}

std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}

const SptiSystem& System() {
    const SptiConfig& config = State().config;
    return config.system != nullptr ? *config.system : RealSptiSystem();
}

std::string VolumePath(char letter) {
    return std::string("\\\\.\\") + letter + ":";
}

bool DriveGone(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

// The drive's SCSI address, asked on a handle opened for no access at all (which every user
// may open).
std::optional<SCSI_ADDRESS> AddressOf(HANDLE device) {
    SCSI_ADDRESS address{};
    address.Length = sizeof address;
    DWORD returned = 0;
    if (!System().ioctl(device, IOCTL_SCSI_GET_ADDRESS, &address, sizeof address, &returned) ||
        returned < sizeof address) {
        return std::nullopt;
    }
    return address;
}

// Called with the lock held.
void EnsureLoaded() {
    LayerState& state = State();
    if (state.loaded) {
        return;
    }
    state.loaded = true;
    const DWORD letters = System().logicalDrives();
    std::vector<SptiDrive> drives;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((letters & (DWORD{1} << (letter - 'A'))) == 0) {
            continue;
        }
        const std::string root = std::string(1, letter) + ":\\";
        if (System().driveType(root.c_str()) != DRIVE_CDROM) {
            continue;
        }
        SptiDrive drive;
        drive.letter = letter;
        HANDLE device = System().open(VolumePath(letter).c_str(), 0);
        if (device != INVALID_HANDLE_VALUE) {
            if (const std::optional<SCSI_ADDRESS> address = AddressOf(device)) {
                drive.addressed = true;
                drive.port = address->PortNumber;
                drive.path = address->PathId;
                drive.scsiTarget = address->TargetId;
                drive.lun = address->Lun;
            }
            System().close(device);
        }
        drives.push_back(drive);
    }
    // Real addresses first: one adapter per (port, path), in ascending order.
    std::map<std::pair<int, int>, int> adapters;
    auto reachable = [](const SptiDrive& drive) {
        return drive.addressed && drive.lun == 0 && drive.scsiTarget < kTargetsPerAdapter;
    };
    for (const SptiDrive& drive : drives) {
        if (reachable(drive)) {
            adapters.emplace(std::pair{drive.port, drive.path}, 0);
        }
    }
    int next = 0;
    for (auto& [key, adapter] : adapters) {
        adapter = next++;
    }
    int extraTargets = 0;
    for (SptiDrive& drive : drives) {
        if (reachable(drive)) {
            drive.adapter = adapters.at({drive.port, drive.path});
            drive.target = drive.scsiTarget;
        } else if (extraTargets < kTargetsPerAdapter) {
            drive.adapter = next;
            drive.target = extraTargets++;
        } else {
            drive.adapter = -1; // more drives without an address than one adapter holds
        }
    }
    std::erase_if(drives, [](const SptiDrive& drive) { return drive.adapter < 0; });
    state.drives = std::move(drives);
    state.access.assign(state.drives.size(), Access::Untried);
    state.adapterCount = next + (extraTargets > 0 ? 1 : 0);
}

// Whether the volume opened as `device` is still the drive the mapping holds.
bool SameDrive(HANDLE device, const SptiDrive& drive) {
    const std::optional<SCSI_ADDRESS> address = AddressOf(device);
    if (!drive.addressed) {
        return true; // nothing to compare: the letter is all there is
    }
    return address && address->PortNumber == drive.port && address->PathId == drive.path &&
           address->TargetId == drive.scsiTarget && address->Lun == drive.lun;
}

struct Opened {
    HANDLE device = INVALID_HANDLE_VALUE;
    uint8_t failure = SS_ERR; // the request's status when device is not valid
};

Opened OpenDrive(size_t index) {
    SptiDrive drive;
    {
        const std::lock_guard guard(StateLock());
        drive = State().drives[index];
    }
    Opened opened;
    Access access = Access::Failed;
    HANDLE device = System().open(VolumePath(drive.letter).c_str(), GENERIC_READ | GENERIC_WRITE);
    if (device == INVALID_HANDLE_VALUE) {
        const DWORD error = System().lastError();
        access = error == ERROR_ACCESS_DENIED ? Access::Denied : Access::Failed;
        opened.failure = DriveGone(error) ? SS_NO_DEVICE : SS_ERR;
    } else if (!SameDrive(device, drive)) {
        System().close(device); // another drive has this letter now: nothing may reach it
        opened.failure = SS_NO_DEVICE;
    } else {
        access = Access::Opened;
        opened.device = device;
    }
    const std::lock_guard guard(StateLock());
    State().access[index] = access;
    return opened;
}

uint8_t RunCommand(HANDLE device, SRB_ExecSCSICmd& srb) {
    // The data through an aligned buffer of the layer's own.
    std::vector<uint8_t> storage(size_t{srb.SRB_BufLen} + kDataAlignment);
    void* data = storage.data();
    size_t room = storage.size();
    std::align(kDataAlignment, srb.SRB_BufLen, data, room);

    PassThrough pass{};
    SCSI_PASS_THROUGH_DIRECT& request = pass.request;
    request.Length = sizeof request;
    request.CdbLength = srb.SRB_CDBLen;
    request.SenseInfoLength = static_cast<UCHAR>(pass.sense.size());
    // Data only ever flows from the device; a request without a length moves none.
    request.DataIn = srb.SRB_BufLen > 0 ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
    request.DataTransferLength = srb.SRB_BufLen;
    request.DataBuffer = srb.SRB_BufLen > 0 ? data : nullptr;
    request.TimeOutValue = srb.CDBByte[0] == kOpStartStopUnit ? kSptiStartStopTimeoutSeconds
                                                              : kSptiCommandTimeoutSeconds;
    request.SenseInfoOffset = offsetof(PassThrough, sense);
    std::memcpy(request.Cdb, srb.CDBByte, srb.SRB_CDBLen);

    DWORD returned = 0;
    if (!System().ioctl(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &pass, sizeof pass, &returned)) {
        const DWORD error = System().lastError();
        if (DriveGone(error)) {
            return SS_NO_DEVICE;
        }
        srb.SRB_HaStat = error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT
                             ? HASTAT_COMMAND_TIMEOUT
                             : HASTAT_BUS_FREE;
        return SS_ERR;
    }
    // Never trust a count beyond the buffer it was written into.
    const size_t moved = std::min<size_t>(request.DataTransferLength, srb.SRB_BufLen);
    if (moved > 0) {
        std::memcpy(srb.SRB_BufPointer, data, moved);
    }
    srb.SRB_TargStat = request.ScsiStatus;
    if (request.ScsiStatus == STATUS_GOOD) {
        return SS_COMP;
    }
    const size_t senseCount = std::min({size_t{srb.SRB_SenseLen}, sizeof srb.SenseArea,
                                        size_t{request.SenseInfoLength}, pass.sense.size()});
    std::memcpy(srb.SenseArea, pass.sense.data(), senseCount);
    return SS_ERR;
}

// Called with the lock held.
std::optional<size_t> FindDrive(int adapter, int target) {
    const std::vector<SptiDrive>& drives = State().drives;
    for (size_t i = 0; i < drives.size(); ++i) {
        if (drives[i].adapter == adapter && drives[i].target == target) {
            return i;
        }
    }
    return std::nullopt;
}

uint8_t Execute(SRB_ExecSCSICmd& srb) {
    if (const uint8_t problem = RequestProblem(srb); problem != 0) {
        return problem;
    }
    std::optional<size_t> index;
    {
        const std::lock_guard guard(StateLock());
        EnsureLoaded();
        if (srb.SRB_HaId >= State().adapterCount) {
            return SS_INVALID_HA;
        }
        index = FindDrive(srb.SRB_HaId, srb.SRB_Target);
    }
    if (!index || srb.SRB_Lun != 0) {
        return SS_NO_DEVICE;
    }
    const Opened opened = OpenDrive(*index);
    if (opened.device == INVALID_HANDLE_VALUE) {
        return opened.failure;
    }
    const uint8_t status = RunCommand(opened.device, srb);
    System().close(opened.device);
    return status;
}

uint32_t GetSupportInfo() {
    const std::lock_guard guard(StateLock());
    EnsureLoaded();
    return SupportInfoFor(State().adapterCount);
}

uint32_t SendCommand(void* request) {
    return CompleteRequest(request, &Execute);
}

} // namespace

void ConfigureSptiLayer(const SptiConfig& config) {
    const std::lock_guard guard(StateLock());
    State() = LayerState{};
    State().config = config;
}

const AspiLayer& SptiAspiLayer() {
    static const AspiLayer layer{&GetSupportInfo, &SendCommand};
    return layer;
}

void InstallSptiLayer(const SptiConfig& config) {
    ConfigureSptiLayer(config);
    InstallAspiLayer(&SptiAspiLayer());
}

std::vector<SptiDrive> SptiDriveMap() {
    const std::lock_guard guard(StateLock());
    EnsureLoaded();
    return State().drives;
}

std::vector<std::string> SptiDeniedDrives() {
    const std::vector<SptiDrive> drives = SptiDriveMap();
    std::vector<std::string> denied;
    for (size_t i = 0; i < drives.size(); ++i) {
        Access access;
        {
            const std::lock_guard guard(StateLock());
            access = State().access[i];
        }
        if (access == Access::Untried) {
            const Opened opened = OpenDrive(i);
            if (opened.device != INVALID_HANDLE_VALUE) {
                System().close(opened.device);
            }
            const std::lock_guard guard(StateLock());
            access = State().access[i];
        }
        if (access == Access::Denied) {
            denied.push_back(std::string(1, drives[i].letter) + ":");
        }
    }
    return denied;
}

std::string SptiPermissionMessage(const std::vector<std::string>& deniedDrives) {
    if (deniedDrives.empty()) {
        return {};
    }
    return "cannot open the CD-ROM drive " + JoinedNames(deniedDrives) +
           " for its SCSI commands (access denied); run Discolo as administrator";
}
