// The audio command set: a zeroed command block, one line per byte, one transport call.
#include "drive/commands.h"

#include "drive/aspi.h"
#include "drive/big_endian.h"

#include <array>

namespace {

// Runs the command with the first `length` bytes of the buffer, or refuses when it is shorter.
int32_t Exec(int hostAdapter, int target, std::span<const uint8_t> cdb, std::span<uint8_t> buffer,
             uint32_t length) {
    if (buffer.size() < length) {
        return -1;
    }
    return ExecScsiCommand(hostAdapter, target, cdb, buffer.first(length));
}

uint32_t Low24(int32_t value) {
    return static_cast<uint32_t>(value) & 0xFFFFFFu;
}

} // namespace

int32_t ReadCapacity(int hostAdapter, int target, std::span<uint8_t> buffer) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpReadCapacity;
    return Exec(hostAdapter, target, cdb, buffer, kCapacityLength);
}

int32_t ReadToc(int hostAdapter, int target, int format, uint32_t allocationLength,
                std::span<uint8_t> buffer) {
    const uint32_t length = allocationLength & 0xFFFFu; // the field and the transfer are 16 bits
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpReadToc;
    cdb[1] = 0x00;                                       // MSF 0: LBA form
    cdb[6] = 0x00;                                       // from the first track
    WriteBe16(cdb, 7, length);                           // allocation length
    cdb[9] = static_cast<uint8_t>((format & 0x03) << 6); // format in the control byte's top bits
    return Exec(hostAdapter, target, cdb, buffer, length);
}

int32_t ReadDiscText(int hostAdapter, int target, uint32_t allocationLength,
                     std::span<uint8_t> buffer) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpReadToc;
    cdb[1] = 0x00;                                 // MSF 0
    cdb[2] = 0x05;                                 // format 0101b: CD-TEXT
    WriteBe16(cdb, 7, allocationLength & 0xFFFFu); // allocation length, low 16 bits
    cdb[9] = 0x00;                                 // control
    return Exec(hostAdapter, target, cdb, buffer, allocationLength);
}

int32_t ReadSubChannel(int hostAdapter, int target, int subQ, int msf, int format, int track,
                       uint32_t allocationLength, std::span<uint8_t> buffer) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpReadSubChannel;
    cdb[1] = static_cast<uint8_t>((msf & 1) << 1);  // MSF
    cdb[2] = static_cast<uint8_t>((subQ & 1) << 6); // SubQ
    cdb[3] = static_cast<uint8_t>(format);          // sub-channel data format
    cdb[6] = static_cast<uint8_t>(track);           // track number
    WriteBe16(cdb, 7, allocationLength & 0xFFFFu);  // allocation length, low 16 bits
    return Exec(hostAdapter, target, cdb, buffer, allocationLength);
}

int32_t RequestSense(int hostAdapter, int target, std::span<uint8_t> buffer) {
    std::array<uint8_t, 6> cdb{};
    cdb[0] = kOpRequestSense;
    cdb[4] = static_cast<uint8_t>(kSenseLength); // allocation length
    return Exec(hostAdapter, target, cdb, buffer, kSenseLength);
}

int32_t TestUnitReady(int hostAdapter, int target) {
    std::array<uint8_t, 6> cdb{};
    cdb[0] = kOpTestUnitReady;
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t SeekLba(int hostAdapter, int target, int32_t address) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpSeek10;
    cdb[2] = 0x00;                     // address bits 24-31: never sent
    WriteBe24(cdb, 3, Low24(address)); // address bits 0-23
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t PlayAudioLba(int hostAdapter, int target, int32_t start, int32_t length) {
    std::array<uint8_t, 12> cdb{};
    cdb[0] = kOpPlayAudio12;
    cdb[2] = 0x00;                    // start bits 24-31: never sent
    WriteBe24(cdb, 3, Low24(start));  // start bits 0-23
    cdb[6] = 0x00;                    // length bits 24-31: never sent
    WriteBe24(cdb, 7, Low24(length)); // length bits 0-23
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t PauseAudio(int hostAdapter, int target) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpPauseResume;
    cdb[8] = 0x00; // Resume 0: pause
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t ResumeAudio(int hostAdapter, int target) {
    std::array<uint8_t, 10> cdb{};
    cdb[0] = kOpPauseResume;
    cdb[8] = 0x01; // Resume 1: resume
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t EjectMedium(int hostAdapter, int target) {
    std::array<uint8_t, 6> cdb{};
    cdb[0] = kOpStartStopUnit;
    cdb[1] = 0x00; // Immed 0: return when the tray has moved
    cdb[4] = 0x02; // LoEj 1, Start 0: eject
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}

int32_t LoadMedium(int hostAdapter, int target) {
    std::array<uint8_t, 6> cdb{};
    cdb[0] = kOpStartStopUnit;
    cdb[1] = 0x00; // Immed 0
    cdb[4] = 0x03; // LoEj 1, Start 1: load
    return ExecScsiCommand(hostAdapter, target, cdb, {});
}
