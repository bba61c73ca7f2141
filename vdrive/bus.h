// The virtual SCSI bus: up to 8 host adapters with targets 0-15 (kTargetsPerAdapter), each empty or
// holding a device, answering the two ASPI entries (GetASPI32SupportInfo, SendASPI32Command) as the
// real layer does. It logs every request and can be told to fail some of them.
//
// How a test uses it:
//
//     vdrive::ManualClock clock;                       // time moves only when the test says
//     vdrive::Bus bus(clock);
//     vdrive::CdromDrive& drive =
//         bus.AddDrive(0, 3, vdrive::MakeAudioDisc({0, 20000}, 40000)); // adapter 0, target 3
//     bus.Install();                                   // now "WNASPI32.DLL" is this bus
//     LoadAspi();                                      // 0x0101: SS_COMP, one adapter
//     PlayAudioLba(0, 3, 0, 750);                      // the drive/ commands, as the player sends
//     clock.Advance(2000);                             // two seconds of play:
//     drive.Position();                                //   150; AudioStatus() 0x11
//     clock.Advance(8000);                             // past the end: AudioStatus() 0x13
//                                                      //   (READ SUB-CHANNEL reports it
//                                                      //   once), Position() 749
//     ExecScsiCommand(0, 3, readCd, frames);           // READ CD (0xBE): the disc's audio,
//                                                      //   2352 bytes a frame, here the test
//                                                      //   pattern of MakeAudioDisc
//
//     drive.InsertDisc(otherDisc);                     // next command: UNIT ATTENTION 06/28/00
//     drive.OpenTray(); drive.CloseTray(); drive.RemoveDisc();
//
//     bus.Log();                                       // every request: adapter, target, CDB,
//     bus.LoggedOpcodes();                             //   data length, status, sense
//     bus.ClearLog();
//
//     bus.InjectFault(0, 3, vdrive::Fault::CheckCondition(kSenseUnrecoveredReadError));
//     bus.InjectFault(0, 3, kOpReadToc, vdrive::Fault::Status(SS_ABORTED, 1)); // once
//     bus.Vanish(0, 3);                                // the target answers SS_NO_DEVICE
//     bus.ClearFaults();
//
// The bus uninstalls itself when destroyed. A disc given to AddDrive is in the drive from the
// start (no unit attention); StartPlayingTrack(n) puts the drive into play at once.
//
// Requests are served synchronously on the caller's thread, from any number of threads at once
// (the window's and a reader's): the bus keeps its devices, faults and log under a lock, each
// device serves one command at a time, and each thread has its own answer area. Log() hands out
// the log itself: read it while no other thread sends (CountCommands and LoggedOpcodes may be
// called at any time).
#pragma once

#include "drive/srb.h"
#include "vdrive/cdrom_drive.h"
#include "vdrive/clock.h"
#include "vdrive/device.h"
#include "vdrive/disc_geometry.h"
#include "vdrive/disc_image.h"
#include "vdrive/other_device.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vdrive {

// One request as the bus saw it and answered it.
struct LoggedCommand {
    int adapter = 0;
    int target = 0;
    std::vector<uint8_t> cdb;    // the SRB_CDBLen bytes of the command block (at most 16)
    uint32_t dataLength = 0;     // SRB_BufLen as submitted
    uint8_t status = SS_PENDING; // SRB_Status as completed
    uint8_t targetStatus = STATUS_GOOD;
    std::optional<Sense> sense; // set for a check condition
    uint32_t transferred = 0;   // answer bytes written into the buffer

    uint8_t Opcode() const { return cdb.empty() ? 0 : cdb[0]; }
};

// How an injected fault answers. With a sense it is a check condition: SRB_TargStat 0x02, the
// sense in SenseArea and for the next REQUEST SENSE. The device does not run the command.
struct Fault {
    static constexpr int kAlways = -1;

    uint8_t status = SS_ERR; // SRB_Status to complete with; SS_PENDING counts as SS_ERR
    std::optional<Sense> sense;
    int times = kAlways; // how many commands fail before the fault goes away

    static Fault CheckCondition(Sense sense, int times = kAlways) { return {SS_ERR, sense, times}; }
    static Fault Status(uint8_t status, int times = kAlways) {
        return {status, std::nullopt, times};
    }
};

class Bus {
public:
    static constexpr int kMaxAdapters = 8;
    static constexpr size_t kLogLimit = 100000; // oldest entries go first beyond this

    explicit Bus(Clock& clock = DefaultClock());
    ~Bus();
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    Clock& GetClock() const { return clock_; }

    // Adapters 0 .. count-1 exist (count is kept within 0..8). Adding a device makes its adapter
    // exist; a bus with no adapter answers GetASPI32SupportInfo with SS_NO_ADAPTERS.
    void SetAdapterCount(int count);
    int AdapterCount() const;

    // Devices live as long as the bus: a reference stays valid after RemoveDevice or after
    // another device took the target. An address outside 8 adapters x 16 targets gives a
    // device that no request reaches.
    CdromDrive& AddDrive(int adapter, int target, std::optional<DiscImage> disc = std::nullopt,
                         DriveSetup setup = {});
    OtherDevice& AddOtherDevice(int adapter, int target, uint8_t peripheral, Identity identity);
    OtherDevice& AddDisk(int adapter, int target); // a direct-access disk, INQUIRY byte 0 = 0x00
    Device& AddDevice(int adapter, int target, std::unique_ptr<Device> device); // any other kind
    void RemoveDevice(int adapter, int target);
    Device* DeviceAt(int adapter, int target) const;
    CdromDrive* DriveAt(int adapter, int target) const; // nullptr: empty or not a CD-ROM drive

    // The two ASPI entries of this bus (while it is installed, LayerSlot<Bus>'s reach them).
    uint32_t GetSupportInfo() const;
    uint32_t SendCommand(void* request);

    // Makes this bus the one that answers to "WNASPI32.DLL" (InstallAspiLayer) until Uninstall,
    // another bus's Install or this bus's destruction.
    void Install();
    void Uninstall();
    bool Installed() const;

    const std::deque<LoggedCommand>& Log() const { return log_; }
    void ClearLog();
    // Every command is logged unless the log is left off (a fuzzer reads none of it).
    void KeepLog(bool keep);
    std::vector<uint8_t> LoggedOpcodes() const;
    size_t CountCommands(uint8_t opcode) const;

    // A fault for one operation code wins over one for the whole target. Faults also apply to
    // empty targets.
    void InjectFault(int adapter, int target, Fault fault);
    void InjectFault(int adapter, int target, uint8_t opcode, Fault fault);
    void Vanish(int adapter, int target); // SS_NO_DEVICE for everything from now on
    void ClearFaults();

private:
    static constexpr int kAnyOpcode = -1;
    struct FaultKey {
        int adapter;
        int target;
        int opcode;
        friend auto operator<=>(const FaultKey&, const FaultKey&) = default;
    };

    template <typename T> T& Attach(int adapter, int target, std::unique_ptr<T> device);
    uint8_t Execute(SRB_ExecSCSICmd& srb, LoggedCommand& entry);
    std::optional<Fault> TakeFault(int adapter, int target, uint8_t opcode);
    static void WriteSense(SRB_ExecSCSICmd& srb, Sense sense);

    Clock& clock_;
    std::atomic<bool> keepLog_{true}; // read by every command without the lock
    mutable std::mutex mutex_;        // guards everything below
    int adapterCount_ = 0;
    std::vector<std::unique_ptr<Device>> devices_;
    std::array<std::array<Device*, kTargetsPerAdapter>, kMaxAdapters> slots_{};
    std::map<FaultKey, Fault> faults_;
    std::deque<LoggedCommand> log_;
};

} // namespace vdrive
