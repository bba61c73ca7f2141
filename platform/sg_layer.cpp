// The Linux SG layer: each ASPI request becomes one SG_IO call on the device's generic node (or
// its sr node), and the kernel's outcome becomes the request's status bytes and sense data.
#include "platform/sg_layer.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/msf.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "platform/layer_request.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>

#include <fcntl.h>
#include <scsi/sg.h>

namespace {

// The kernel's host (transport) codes in sg_io_hdr::host_status.
constexpr uint16_t kDidOk = 0x00;
constexpr uint16_t kDidNoConnect = 0x01;
constexpr uint16_t kDidBusBusy = 0x02;
constexpr uint16_t kDidTimeOut = 0x03;
constexpr uint16_t kDidBadTarget = 0x04;
constexpr uint16_t kDidParity = 0x06;
constexpr uint16_t kDidReset = 0x08;

// The kernel's driver codes in the low nibble of sg_io_hdr::driver_status.
constexpr uint16_t kDriverMask = 0x0F;
constexpr uint16_t kDriverTimeout = 0x06;
constexpr uint16_t kDriverSense = 0x08; // sense data came back: not an error by itself

// Host adapter statuses that srb.h does not name.
constexpr uint8_t kHaStatBusReset = 0x0E;
constexpr uint8_t kHaStatParityError = 0x0F;

constexpr size_t kSenseBufferLength = 64;
constexpr int kInterruptRetries = 3; // a signal during SG_IO: the command is sent again

enum class Access { Untried, Opened, Denied, Failed };

struct LayerState {
    SgConfig config;
    bool loaded = false;
    std::vector<SgDevice> devices;
    std::vector<Access> access; // per device, the outcome of its latest open
    int adapterCount = 0;
};

LayerState& State() {
    static LayerState state;
    return state;
}

// The window's thread and the digital play layer's reader send at the same time. This lock
// guards the mapping (node names change when a drive comes back under new ones) and the
// permission memory; it is never held across an open or an SG_IO call, so a slow command on one
// drive holds up no command on another. The configuration is set before commands are sent and
// only read afterwards.
std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}

const SgSystem& System() {
    const SgConfig& config = State().config;
    return config.system ? *config.system : RealSgSystem();
}

// Called with the lock held.
void EnsureLoaded() {
    LayerState& state = State();
    if (state.loaded) {
        return;
    }
    state.devices = EnumerateSgDevices(state.config.sysfsRoot);
    state.access.assign(state.devices.size(), Access::Untried);
    state.adapterCount = state.devices.empty() ? 0 : state.devices.back().adapter + 1;
    state.loaded = true;
}

std::string NodePath(const std::string& node) {
    return State().config.devRoot + "/" + node;
}

bool DeviceGone(int error) {
    return error == ENODEV || error == ENXIO || error == ENOENT;
}

struct Opened {
    int fd = -1;
    int error = 0;        // errno of the failure that counts, when fd is -1
    bool foreign = false; // a node opened, but it had passed to another device
};

// The generic node read-write (every command allowed), then read-only (the kernel filters the
// commands), then the sr node read-only. O_NONBLOCK always: no tray lock and no wait for a disc.
// A node that opens is kept only while sysfs says it is still this device's.
Opened OpenNodes(const SgDevice& device) {
    struct Attempt {
        const char* className;
        const std::string& node;
        int flags;
    };
    std::vector<Attempt> attempts;
    if (!device.genericNode.empty()) {
        attempts.push_back({"scsi_generic", device.genericNode, O_RDWR});
        attempts.push_back({"scsi_generic", device.genericNode, O_RDONLY});
    }
    if (!device.blockNode.empty()) {
        attempts.push_back({"block", device.blockNode, O_RDONLY});
    }

    bool denied = false;
    int lastError = ENODEV;
    for (const Attempt& attempt : attempts) {
        const std::string path = NodePath(attempt.node);
        const int fd = System().open(path.c_str(), attempt.flags | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            lastError = errno;
            denied = denied || lastError == EACCES;
            continue;
        }
        if (SgNodeBelongsTo(State().config.sysfsRoot, attempt.className, attempt.node, device.host,
                            device.target)) {
            return {fd, 0, false};
        }
        // Another drive has this name now: nothing may reach it, and the other names read at
        // the same time are as old.
        System().close(fd);
        return {-1, ENODEV, true};
    }
    // A refusal on any node is what the user can fix; otherwise the last failure tells.
    return {-1, denied ? EACCES : lastError, false};
}

// Looks up in sysfs which nodes the device at the address of mapping entry `index` has now,
// stores them in the mapping (none when it is not there) and in `device`. False when they are
// the ones `device` already had: trying them again would change nothing.
bool Remap(size_t index, SgDevice& device) {
    std::lock_guard guard(StateLock());
    LayerState& state = State();
    SgDevice& mapped = state.devices[index];
    if (mapped.genericNode == device.genericNode && mapped.blockNode == device.blockNode) {
        mapped.genericNode.clear();
        mapped.blockNode.clear();
        for (const SgDevice& now : EnumerateSgDevices(state.config.sysfsRoot)) {
            if (now.host == mapped.host && now.target == mapped.target) {
                mapped.genericNode = now.genericNode;
                mapped.blockNode = now.blockNode;
                mapped.type = now.type;
            }
        }
    } // else another thread has already found the new names
    const bool changed =
        mapped.genericNode != device.genericNode || mapped.blockNode != device.blockNode;
    device = mapped;
    return changed;
}

// Opens a node of mapping entry `index` that is still that device's. When its nodes are gone or
// have passed to other drives, the device may have come back under new names: sysfs is asked
// once, and those are tried. The outcome is remembered for SgDeniedDevices.
Opened OpenDevice(size_t index) {
    SgDevice device;
    {
        std::lock_guard guard(StateLock());
        device = State().devices[index];
    }
    Opened opened = OpenNodes(device);
    if (opened.fd < 0 && (opened.foreign || DeviceGone(opened.error)) && Remap(index, device)) {
        opened = OpenNodes(device);
    }
    std::lock_guard guard(StateLock());
    State().access[index] = opened.fd >= 0           ? Access::Opened
                            : opened.error == EACCES ? Access::Denied
                                                     : Access::Failed;
    return opened;
}

// A failure of the open or of the ioctl itself, before the device answered anything. An empty
// drive is not among them: every open is non-blocking, so the kernel checks no medium, and
// SG_IO brings the drive's own 02/3A/00 sense. ENOMEDIUM is therefore only a failure like any.
uint8_t SystemFailure(int error) {
    if (DeviceGone(error)) {
        return SS_NO_DEVICE; // unplugged, or the node removed: no device at that address any more
    }
    return SS_ERR; // refused (EACCES, EPERM), busy, out of memory, a bad request...
}

uint8_t HostAdapterStatus(uint16_t hostStatus, uint16_t driverStatus) {
    switch (hostStatus) {
    case kDidOk:
        break;
    case kDidNoConnect:
    case kDidBadTarget:
        return HASTAT_SEL_TO;
    case kDidBusBusy:
        return HASTAT_TIMEOUT; // timed out waiting for the bus
    case kDidTimeOut:
        return HASTAT_COMMAND_TIMEOUT;
    case kDidReset:
        return kHaStatBusReset;
    case kDidParity:
        return kHaStatParityError;
    default:
        return HASTAT_BUS_FREE; // aborted, transport lost or another failure of the transport
    }
    const uint16_t driver = driverStatus & kDriverMask;
    if (driver == 0 || driver == kDriverSense) {
        return HASTAT_OK;
    }
    return driver == kDriverTimeout ? HASTAT_COMMAND_TIMEOUT : HASTAT_BUS_FREE;
}

struct Transfer {
    int error = 0; // errno of a failed ioctl; the status is meaningless then
    uint8_t status = SS_ERR;
};

// One SG_IO call for `cdb` with the request's buffer; fills the request's status bytes and sense.
Transfer RunCommand(int fd, std::span<const uint8_t> cdb, SRB_ExecSCSICmd& srb) {
    std::array<uint8_t, 16> command{};
    std::copy(cdb.begin(), cdb.end(), command.begin());
    std::array<uint8_t, kSenseBufferLength> sense{};

    sg_io_hdr_t header;
    std::memset(&header, 0, sizeof header);
    header.interface_id = 'S';
    header.cmd_len = static_cast<unsigned char>(cdb.size());
    header.cmdp = command.data();
    header.mx_sb_len = static_cast<unsigned char>(sense.size());
    header.sbp = sense.data();
    // Data only ever flows from the device; a request without a length moves none.
    header.dxfer_direction = srb.SRB_BufLen > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    header.dxfer_len = srb.SRB_BufLen;
    header.dxferp = srb.SRB_BufLen > 0 ? srb.SRB_BufPointer : nullptr;
    header.timeout = cdb[0] == kOpStartStopUnit ? kSgStartStopTimeoutMs : kSgCommandTimeoutMs;

    int result = -1;
    int error = 0;
    for (int tries = 0; tries < kInterruptRetries; ++tries) {
        result = System().ioctl(fd, SG_IO, &header);
        error = result < 0 ? errno : 0;
        if (error != EINTR) {
            break;
        }
    }
    if (result < 0) {
        return {error == 0 ? EIO : error, SS_ERR};
    }

    srb.SRB_HaStat = HostAdapterStatus(header.host_status, header.driver_status);
    srb.SRB_TargStat = header.status;
    // Never trust the count beyond the buffer it was written into.
    const size_t senseCount = std::min(
        {size_t{srb.SRB_SenseLen}, sizeof srb.SenseArea, size_t{header.sb_len_wr}, sense.size()});
    std::memcpy(srb.SenseArea, sense.data(), senseCount);

    const bool complete = srb.SRB_HaStat == HASTAT_OK && header.status == STATUS_GOOD;
    return {0, complete ? SS_COMP : SS_ERR};
}

// PLAY AUDIO MSF for the range of a PLAY AUDIO(12), or nothing when MSF cannot carry it: a play
// from the current position, a start before 00:00:00, or an end beyond 255:59:74.
std::optional<Cdb10> PlayMsfFor(std::span<const uint8_t, 12> play12) {
    const uint32_t startField = ReadBe32(play12, 2);
    if (startField == kPlayFromCurrentPosition) {
        return std::nullopt;
    }
    const int64_t start = static_cast<int32_t>(startField);
    const int64_t end = start + int64_t{ReadBe32(play12, 6)}; // length 0 stays an empty play
    if (start + kMsfLbaOffset < 0 || end + kMsfLbaOffset > kLastMsfFrame) {
        return std::nullopt;
    }
    Cdb10 cdb = PlayAudioMsfCdb(static_cast<int32_t>(start), static_cast<int32_t>(end));
    cdb[9] = play12[11]; // control
    return cdb;
}

// Called with the lock held.
std::optional<size_t> FindDevice(int adapter, int target) {
    const std::vector<SgDevice>& devices = State().devices;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].adapter == adapter && devices[i].target == target) {
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
        std::lock_guard guard(StateLock());
        EnsureLoaded();
        if (srb.SRB_HaId >= State().adapterCount) {
            return SS_INVALID_HA;
        }
        index = FindDevice(srb.SRB_HaId, srb.SRB_Target);
    }
    if (!index || srb.SRB_Lun != 0) {
        return SS_NO_DEVICE;
    }

    const Opened opened = OpenDevice(*index);
    if (opened.fd < 0) {
        return SystemFailure(opened.error);
    }
    const std::span<const uint8_t> cdb(srb.CDBByte, srb.SRB_CDBLen);
    Transfer transfer = RunCommand(opened.fd, cdb, srb);
    // Without raw-I/O rights the kernel refuses PLAY AUDIO(12) but lets PLAY AUDIO MSF through.
    if (transfer.error == EPERM && cdb[0] == kOpPlayAudio12 && cdb.size() >= 12) {
        if (const auto playMsf = PlayMsfFor(cdb.first<12>())) {
            transfer = RunCommand(opened.fd, *playMsf, srb);
        }
    }
    System().close(opened.fd);
    return transfer.error != 0 ? SystemFailure(transfer.error) : transfer.status;
}

uint32_t GetSupportInfo() {
    std::lock_guard guard(StateLock());
    EnsureLoaded();
    return SupportInfoFor(State().adapterCount);
}

uint32_t SendCommand(void* request) {
    return CompleteRequest(request, &Execute);
}

} // namespace

void ConfigureSgLayer(const SgConfig& config) {
    std::lock_guard guard(StateLock());
    LayerState& state = State();
    state = LayerState{};
    state.config = config;
}

const AspiLayer& SgAspiLayer() {
    static const AspiLayer layer{&GetSupportInfo, &SendCommand};
    return layer;
}

void InstallSgLayer(const SgConfig& config) {
    ConfigureSgLayer(config);
    InstallAspiLayer(&SgAspiLayer());
}

std::vector<SgDevice> SgDeviceMap() {
    std::lock_guard guard(StateLock());
    EnsureLoaded();
    return State().devices;
}

std::vector<std::string> SgDeniedDevices() {
    std::vector<SgDevice> devices = SgDeviceMap();
    std::vector<std::string> denied;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!IsCdDevice(devices[i])) {
            continue;
        }
        Access access;
        {
            std::lock_guard guard(StateLock());
            access = State().access[i];
        }
        if (access == Access::Untried) {
            const Opened opened = OpenDevice(i);
            if (opened.fd >= 0) {
                System().close(opened.fd);
            }
            std::lock_guard guard(StateLock());
            access = State().access[i];
            devices[i] = State().devices[i];
        }
        if (access == Access::Denied) {
            // The sr name is the one users know their drive by (/dev/cdrom points to it).
            const SgDevice& device = devices[i];
            denied.push_back(
                NodePath(device.blockNode.empty() ? device.genericNode : device.blockNode));
        }
    }
    return denied;
}

std::string SgPermissionMessage(const std::vector<std::string>& deniedDevices) {
    if (deniedDevices.empty()) {
        return {};
    }
    return "cannot open " + JoinedNames(deniedDevices) +
           " (permission denied); add yourself to the 'cdrom' group and log in again";
}
