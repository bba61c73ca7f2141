// The audio command set: each function takes its command block from the builder of its command
// and runs it once through the transport.
#include "drive/commands.h"

#include "drive/aspi.h"
#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"

namespace {

// Runs the command with the first `length` bytes of the buffer, or refuses when it is shorter.
int32_t Exec(int hostAdapter, int target, std::span<const uint8_t> cdb, std::span<uint8_t> buffer,
             uint32_t length) {
    if (buffer.size() < length) {
        return -1;
    }
    return ExecScsiCommand(hostAdapter, target, cdb, buffer.first(length));
}

// SEEK(10) and PLAY AUDIO(12) send addresses and lengths of 24 bits: a CD never reaches 2^24
// frames, and the field's top byte stays 0.
uint32_t Low24(int32_t value) {
    return static_cast<uint32_t>(value) & 0xFFFFFFu;
}

} // namespace

int32_t ReadCapacity(int hostAdapter, int target, std::span<uint8_t> buffer) {
    return Exec(hostAdapter, target, ReadCapacityCdb(), buffer, kCapacityLength);
}

int32_t ReadToc(int hostAdapter, int target, int format, uint32_t allocationLength,
                std::span<uint8_t> buffer) {
    const uint32_t length = allocationLength & 0xFFFFu; // the field and the transfer are 16 bits
    return Exec(hostAdapter, target, ReadTocCdb(format, length), buffer, length);
}

int32_t ReadDiscText(int hostAdapter, int target, uint32_t allocationLength,
                     std::span<uint8_t> buffer) {
    return Exec(hostAdapter, target, ReadCdTextCdb(allocationLength), buffer, allocationLength);
}

int32_t ReadSubChannel(int hostAdapter, int target, int subQ, int msf, int format, int track,
                       uint32_t allocationLength, std::span<uint8_t> buffer) {
    return Exec(hostAdapter, target, ReadSubChannelCdb(subQ, msf, format, track, allocationLength),
                buffer, allocationLength);
}

int32_t RequestSense(int hostAdapter, int target, std::span<uint8_t> buffer) {
    return Exec(hostAdapter, target, RequestSenseCdb(kFixedSenseLength), buffer, kFixedSenseLength);
}

int32_t TestUnitReady(int hostAdapter, int target) {
    return ExecScsiCommand(hostAdapter, target, TestUnitReadyCdb(), {});
}

int32_t SeekLba(int hostAdapter, int target, int32_t address) {
    return ExecScsiCommand(hostAdapter, target, SeekCdb(Low24(address)), {});
}

int32_t PlayAudioLba(int hostAdapter, int target, int32_t start, int32_t length) {
    return ExecScsiCommand(hostAdapter, target, PlayAudio12Cdb(Low24(start), Low24(length)), {});
}

int32_t PauseAudio(int hostAdapter, int target) {
    return ExecScsiCommand(hostAdapter, target, PauseResumeCdb(false), {});
}

int32_t ResumeAudio(int hostAdapter, int target) {
    return ExecScsiCommand(hostAdapter, target, PauseResumeCdb(true), {});
}

int32_t EjectMedium(int hostAdapter, int target) {
    return ExecScsiCommand(hostAdapter, target, StartStopUnitCdb(true, false), {});
}

int32_t LoadMedium(int hostAdapter, int target) {
    return ExecScsiCommand(hostAdapter, target, StartStopUnitCdb(true, true), {});
}
