// SCSI/MMC operation codes of the commands the player sends and the virtual drive answers, and of
// the few others whose allocation length the virtual drive honours, named once for the command
// functions, the virtual drive and the Linux SG layer; and the length of a command block, which
// follows from its operation code.
#pragma once

#include <cstdint>

inline constexpr uint8_t kOpTestUnitReady = 0x00;
inline constexpr uint8_t kOpRequestSense = 0x03;
inline constexpr uint8_t kOpInquiry = 0x12;
inline constexpr uint8_t kOpModeSense6 = 0x1A;
inline constexpr uint8_t kOpStartStopUnit = 0x1B;
inline constexpr uint8_t kOpReadCapacity = 0x25;
inline constexpr uint8_t kOpSeek10 = 0x2B;
inline constexpr uint8_t kOpReadSubChannel = 0x42;
inline constexpr uint8_t kOpReadToc = 0x43;
inline constexpr uint8_t kOpPlayAudio10 = 0x45;
inline constexpr uint8_t kOpGetConfiguration = 0x46;
inline constexpr uint8_t kOpPlayAudioMsf = 0x47;
inline constexpr uint8_t kOpGetEventStatusNotification = 0x4A;
inline constexpr uint8_t kOpPauseResume = 0x4B;
inline constexpr uint8_t kOpStopPlayScan = 0x4E;
inline constexpr uint8_t kOpReadDiscInformation = 0x51;
inline constexpr uint8_t kOpModeSense10 = 0x5A;
inline constexpr uint8_t kOpPlayAudio12 = 0xA5;
inline constexpr uint8_t kOpSetCdSpeed = 0xBB;
inline constexpr uint8_t kOpReadCd = 0xBE;

// The length of the command block that an operation code's group gives, as the program sends
// every command: 6 bytes for 00h-1Fh (group 0), 10 for 20h-5Fh (groups 1 and 2), 12 for every
// code from 60h up. That takes the 16-byte group 80h-9Fh for 12 bytes too: the program never
// sends one.
constexpr int CommandLength(uint8_t operationCode) {
    if (operationCode < 0x20) {
        return 6;
    }
    return operationCode < 0x60 ? 10 : 12;
}

// What a device that receives a command block can know of its length: the same, but 16 bytes for
// the group 80h-9Fh (the virtual drive takes those whole), and 0 for the reserved and
// vendor-specific groups 60h-7Fh and C0h-FFh, whose length no device can tell from the code.
constexpr int ReceivedCommandLength(uint8_t operationCode) {
    const int group = operationCode >> 5;
    if (group == 4) {
        return 16;
    }
    return group == 3 || group >= 6 ? 0 : CommandLength(operationCode);
}
