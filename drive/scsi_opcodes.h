// SCSI/MMC operation codes of the commands the player sends and the virtual drive answers, and of
// the few others whose allocation length the virtual drive honours, named once for the command
// functions, the virtual drive and the Linux SG layer.
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
inline constexpr uint8_t kOpReadCd = 0xBE;
