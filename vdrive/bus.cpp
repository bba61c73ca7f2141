// The virtual SCSI bus. It checks the request the way an ASPI layer must (a request is caller
// memory: lengths and pointers are not trusted), routes it to the device, and copies the answer
// out cut to the command's allocation length and to the caller's buffer, in that one place.
#include "vdrive/bus.h"

#include "drive/scsi_opcodes.h"
#include "platform/layer_slot.h"

#include <algorithm>
#include <cstring>

namespace vdrive {

namespace {

using Slot = LayerSlot<Bus>;

// Where a device writes its answer before the cuts: one area for each thread that sends, so that
// two commands can run at once. Devices write only within the length they report, so only what
// the last answer used needs zeroing again (all of its room after a failure, which reports none):
// the poll's 16-byte answer must not cost a 64 KiB clear three times a second.
struct AnswerArea {
    std::vector<uint8_t> bytes;
    size_t used = 0;

    std::span<uint8_t> Prepare(size_t room) {
        std::fill_n(bytes.begin(), used, uint8_t{0});
        if (bytes.size() < room) {
            bytes.resize(room); // what is added comes zeroed
        }
        used = 0;
        return std::span<uint8_t>(bytes).first(room);
    }
};

thread_local AnswerArea answerArea;

bool ValidAddress(int adapter, int target) {
    return adapter >= 0 && adapter < Bus::kMaxAdapters && target >= 0 &&
           target < kTargetsPerAdapter;
}

} // namespace

Bus::Bus(Clock& clock) : clock_(clock) {}

Bus::~Bus() {
    Uninstall();
}

void Bus::SetAdapterCount(int count) {
    const std::lock_guard lock(mutex_);
    adapterCount_ = std::clamp(count, 0, kMaxAdapters);
}

int Bus::AdapterCount() const {
    const std::lock_guard lock(mutex_);
    return adapterCount_;
}

template <typename T> T& Bus::Attach(int adapter, int target, std::unique_ptr<T> device) {
    const std::lock_guard lock(mutex_);
    T& attached = *device;
    devices_.push_back(std::move(device));
    if (ValidAddress(adapter, target)) {
        slots_[static_cast<size_t>(adapter)][static_cast<size_t>(target)] = &attached;
        adapterCount_ = std::max(adapterCount_, adapter + 1);
    }
    return attached;
}

CdromDrive& Bus::AddDrive(int adapter, int target, std::optional<DiscImage> disc,
                          DriveSetup setup) {
    return Attach(adapter, target,
                  std::make_unique<CdromDrive>(clock_, std::move(disc), std::move(setup)));
}

OtherDevice& Bus::AddOtherDevice(int adapter, int target, uint8_t peripheral, Identity identity) {
    return Attach(adapter, target, std::make_unique<OtherDevice>(peripheral, std::move(identity)));
}

Device& Bus::AddDevice(int adapter, int target, std::unique_ptr<Device> device) {
    return Attach(adapter, target, std::move(device));
}

OtherDevice& Bus::AddDisk(int adapter, int target) {
    return AddOtherDevice(adapter, target, kPeripheralDisk, DiskIdentity());
}

void Bus::RemoveDevice(int adapter, int target) {
    const std::lock_guard lock(mutex_);
    if (ValidAddress(adapter, target)) {
        slots_[static_cast<size_t>(adapter)][static_cast<size_t>(target)] = nullptr;
    }
}

Device* Bus::DeviceAt(int adapter, int target) const {
    const std::lock_guard lock(mutex_);
    if (!ValidAddress(adapter, target)) {
        return nullptr;
    }
    return slots_[static_cast<size_t>(adapter)][static_cast<size_t>(target)];
}

CdromDrive* Bus::DriveAt(int adapter, int target) const {
    return dynamic_cast<CdromDrive*>(DeviceAt(adapter, target));
}

uint32_t Bus::GetSupportInfo() const {
    const std::lock_guard lock(mutex_);
    if (adapterCount_ == 0) {
        return uint32_t{SS_NO_ADAPTERS} << 8; // and a count of 0
    }
    return (uint32_t{SS_COMP} << 8) | static_cast<uint32_t>(adapterCount_);
}

void Bus::Install() {
    Slot::Install(*this);
}

void Bus::Uninstall() {
    Slot::Uninstall(*this, nullptr);
}

bool Bus::Installed() const {
    return Slot::Installed(*this);
}

void Bus::KeepLog(bool keep) {
    keepLog_ = keep;
}

void Bus::ClearLog() {
    const std::lock_guard lock(mutex_);
    log_.clear();
}

std::vector<uint8_t> Bus::LoggedOpcodes() const {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> opcodes;
    for (const LoggedCommand& entry : log_) {
        opcodes.push_back(entry.Opcode());
    }
    return opcodes;
}

size_t Bus::CountCommands(uint8_t opcode) const {
    const std::lock_guard lock(mutex_);
    return static_cast<size_t>(
        std::count_if(log_.begin(), log_.end(),
                      [opcode](const LoggedCommand& entry) { return entry.Opcode() == opcode; }));
}

void Bus::InjectFault(int adapter, int target, Fault fault) {
    const std::lock_guard lock(mutex_);
    faults_[FaultKey{adapter, target, kAnyOpcode}] = fault;
}

void Bus::InjectFault(int adapter, int target, uint8_t opcode, Fault fault) {
    const std::lock_guard lock(mutex_);
    faults_[FaultKey{adapter, target, opcode}] = fault;
}

void Bus::Vanish(int adapter, int target) {
    InjectFault(adapter, target, Fault::Status(SS_NO_DEVICE));
}

void Bus::ClearFaults() {
    const std::lock_guard lock(mutex_);
    faults_.clear();
}

// With the lock held.
std::optional<Fault> Bus::TakeFault(int adapter, int target, uint8_t opcode) {
    auto found = faults_.find(FaultKey{adapter, target, opcode});
    if (found == faults_.end()) {
        found = faults_.find(FaultKey{adapter, target, kAnyOpcode});
    }
    if (found == faults_.end() || found->second.times == 0) {
        return std::nullopt;
    }
    Fault fault = found->second;
    if (found->second.times > 0 && --found->second.times == 0) {
        faults_.erase(found);
    }
    if (fault.status == SS_PENDING) {
        fault.status = SS_ERR; // a request must complete: the transport waits for anything else
    }
    return fault;
}

void Bus::WriteSense(SRB_ExecSCSICmd& srb, Sense sense) {
    const auto data = FixedSenseData(sense);
    const size_t count = std::min({size_t{srb.SRB_SenseLen}, sizeof srb.SenseArea, data.size()});
    std::memcpy(srb.SenseArea, data.data(), count);
}

uint32_t Bus::SendCommand(void* request) {
    if (!request) {
        return SS_INVALID_SRB;
    }
    auto* header = static_cast<uint8_t*>(request);
    if (header[0] != SC_EXEC_SCSI_CMD) {
        header[1] = SS_INVALID_CMD; // SRB_Status: only command execution is offered
        return SS_INVALID_CMD;
    }
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    LoggedCommand entry;
    entry.adapter = srb.SRB_HaId;
    entry.target = srb.SRB_Target;
    const bool logged = keepLog_;
    if (logged) {
        entry.cdb.assign(srb.CDBByte,
                         srb.CDBByte + std::min<size_t>(srb.SRB_CDBLen, sizeof srb.CDBByte));
    }
    entry.dataLength = srb.SRB_BufLen;

    srb.SRB_HaStat = HASTAT_OK;
    srb.SRB_TargStat = STATUS_GOOD;
    const uint8_t status = Execute(srb, entry);
    entry.status = status;
    entry.targetStatus = srb.SRB_TargStat;
    if (logged) {
        const std::lock_guard lock(mutex_);
        if (log_.size() >= kLogLimit) {
            log_.pop_front();
        }
        log_.push_back(std::move(entry));
    }
    srb.SRB_Status = status; // last: the request counts as complete from here on
    return status;
}

uint8_t Bus::Execute(SRB_ExecSCSICmd& srb, LoggedCommand& entry) {
    const int adapter = srb.SRB_HaId;
    const int target = srb.SRB_Target;
    const uint8_t opcode = srb.CDBByte[0];
    const int groupLength = ReceivedCommandLength(opcode);
    const bool malformed = srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte ||
                           (groupLength != 0 && srb.SRB_CDBLen < groupLength);
    // Fields of the packed request are read by value, never bound to references.
    uint8_t* const buffer = srb.SRB_BufPointer;
    const uint32_t bufferLength = srb.SRB_BufLen;

    Device* device = nullptr;
    std::optional<Fault> fault;
    {
        const std::lock_guard lock(mutex_);
        if (adapter >= adapterCount_) {
            return SS_INVALID_HA;
        }
        if (malformed) {
            return SS_INVALID_SRB; // the command block would be cut short
        }
        if (!buffer && bufferLength != 0) {
            return SS_INVALID_SRB; // nowhere to put the data
        }
        if (srb.SRB_Lun == 0 && ValidAddress(adapter, target)) {
            device = slots_[static_cast<size_t>(adapter)][static_cast<size_t>(target)];
        }
        fault = TakeFault(adapter, target, opcode);
    }
    // Devices live as long as the bus: the one found stays valid outside the lock.
    if (fault) {
        if (fault->sense) {
            srb.SRB_TargStat = STATUS_CHKCOND;
            WriteSense(srb, *fault->sense);
            entry.sense = fault->sense;
            if (device) {
                device->SetPendingSense(*fault->sense);
            }
        }
        if (fault->status == SS_NO_DEVICE) {
            srb.SRB_HaStat = HASTAT_SEL_TO;
        }
        return fault->status;
    }
    if (!device) {
        srb.SRB_HaStat = HASTAT_SEL_TO; // nothing answers the selection
        return SS_NO_DEVICE;
    }

    // The device sees all 16 bytes, zero past the request's own command length.
    std::array<uint8_t, 16> cdb{};
    std::copy_n(srb.CDBByte, srb.SRB_CDBLen, cdb.begin());
    const std::span<uint8_t> answer = answerArea.Prepare(AnswerRoom(cdb));
    const Reply reply = device->Execute(cdb, answer);
    answerArea.used =
        reply.failed() ? answer.size() : std::min<size_t>(reply.length, answer.size());
    if (reply.failed()) {
        srb.SRB_TargStat = STATUS_CHKCOND;
        WriteSense(srb, *reply.sense);
        entry.sense = reply.sense;
        return SS_ERR;
    }

    // The one place where an answer is cut: to what the command allows, then to the buffer.
    uint32_t length = std::min<uint32_t>(reply.length, static_cast<uint32_t>(answer.size()));
    if (const std::optional<uint32_t> allocation = AllocationLength(cdb)) {
        length = std::min(length, *allocation);
    }
    length = std::min(length, bufferLength);
    if (length > 0) {
        std::memcpy(buffer, answer.data(), length);
    }
    entry.transferred = length;
    return SS_COMP;
}

} // namespace vdrive
