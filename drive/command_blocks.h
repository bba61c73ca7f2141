// One builder per command block the program sends: the player's command functions, discovery,
// the digital play and the Linux SG layer build theirs here. Each returns a zeroed block of its
// command's length with the named bytes set; none sends anything. Fields are big-endian, and a
// value wider than its field keeps its low bits.
#pragma once

#include "drive/big_endian.h"
#include "drive/msf.h"
#include "drive/scsi_opcodes.h"

#include <array>
#include <cstdint>

using Cdb6 = std::array<uint8_t, 6>;
using Cdb10 = std::array<uint8_t, 10>;
using Cdb12 = std::array<uint8_t, 12>;

// A PLAY start address of all ones: from the current position.
inline constexpr uint32_t kPlayFromCurrentPosition = 0xFFFFFFFF;

// Answer lengths the program asks for.
inline constexpr uint32_t kCapacityLength = 8;              // READ CAPACITY: last LBA, block length
inline constexpr uint32_t kPositionAnswerLength = 16;       // READ SUB-CHANNEL, current position
inline constexpr uint8_t kSubChannelCurrentPosition = 0x01; // sub-channel data format 01h
inline constexpr uint8_t kSubChannelCatalog = 0x02;         // 02h: the media catalogue number
inline constexpr uint8_t kSubChannelIsrc = 0x03;            // 03h: a track's ISRC
inline constexpr uint32_t kCodeAnswerLength = 24;           // READ SUB-CHANNEL of format 02h or 03h
// READ CD: the expected sector type CD-DA (byte 1, bits 2-4) and the main channel's user data
// (byte 9), which for CD-DA is the whole 2352-byte frame.
inline constexpr uint8_t kReadCdSectorCdda = 1;
inline constexpr uint8_t kReadCdUserData = 0x10;
// READ CD's sub-channel selection (byte 10, bits 0-2): none, or the formatted Q, 16 bytes after
// each frame (drive/sub_q_layout.h).
inline constexpr uint8_t kReadCdNoSubChannel = 0x00;
inline constexpr uint8_t kReadCdFormattedQ = 0x02;
// SET CD SPEED's speeds are in kB/s; all ones asks for the drive's fastest.
inline constexpr uint16_t kCdSpeedMaximum = 0xFFFF;

inline Cdb6 TestUnitReadyCdb() {
    return Cdb6{kOpTestUnitReady};
}

inline Cdb6 RequestSenseCdb(uint8_t allocationLength) {
    Cdb6 cdb{};
    cdb[0] = kOpRequestSense;
    cdb[4] = allocationLength; // allocation length
    return cdb;
}

inline Cdb6 InquiryCdb(uint8_t allocationLength) {
    Cdb6 cdb{};
    cdb[0] = kOpInquiry;
    cdb[1] = 0x00;             // EVPD 0: standard data
    cdb[2] = 0x00;             // page code
    cdb[4] = allocationLength; // allocation length
    return cdb;
}

// Immed 0: the command returns when the tray has moved.
inline Cdb6 StartStopUnitCdb(bool loadEject, bool start) {
    Cdb6 cdb{};
    cdb[0] = kOpStartStopUnit;
    cdb[1] = 0x00;                                            // Immed 0
    cdb[4] = static_cast<uint8_t>((loadEject ? 0x02 : 0x00) | // LoEj
                                  (start ? 0x01 : 0x00));     // Start
    return cdb;
}

inline Cdb10 ReadCapacityCdb() {
    return Cdb10{kOpReadCapacity};
}

inline Cdb10 SeekCdb(uint32_t lba) {
    Cdb10 cdb{};
    cdb[0] = kOpSeek10;
    WriteBe32(cdb, 2, lba); // logical block address
    return cdb;
}

// READ TOC in the LBA form from the first track, with the format in the top two bits of the
// control byte (the older placement of the field): bits 0-1 of `format` count.
inline Cdb10 ReadTocCdb(int format, uint32_t allocationLength) {
    Cdb10 cdb{};
    cdb[0] = kOpReadToc;
    cdb[1] = 0x00;                                       // MSF 0: LBA form
    cdb[6] = 0x00;                                       // from the first track
    WriteBe16(cdb, 7, allocationLength & 0xFFFFu);       // allocation length
    cdb[9] = static_cast<uint8_t>((format & 0x03) << 6); // format in the control byte's top bits
    return cdb;
}

// READ TOC/PMA/ATIP with format 0101b, CD-TEXT, in the Format field of byte 2.
inline Cdb10 ReadCdTextCdb(uint32_t allocationLength) {
    Cdb10 cdb{};
    cdb[0] = kOpReadToc;
    cdb[1] = 0x00;                                 // MSF 0
    cdb[2] = 0x05;                                 // format 0101b: CD-TEXT
    WriteBe16(cdb, 7, allocationLength & 0xFFFFu); // allocation length, low 16 bits
    cdb[9] = 0x00;                                 // control
    return cdb;
}

// Bit 0 of `subQ` and of `msf` count, and the low byte of `format` and `track`.
inline Cdb10 ReadSubChannelCdb(int subQ, int msf, int format, int track,
                               uint32_t allocationLength) {
    Cdb10 cdb{};
    cdb[0] = kOpReadSubChannel;
    cdb[1] = static_cast<uint8_t>((msf & 1) << 1);  // MSF
    cdb[2] = static_cast<uint8_t>((subQ & 1) << 6); // SubQ
    cdb[3] = static_cast<uint8_t>(format);          // sub-channel data format
    cdb[6] = static_cast<uint8_t>(track);           // track number
    WriteBe16(cdb, 7, allocationLength & 0xFFFFu);  // allocation length, low 16 bits
    return cdb;
}

// READ SUB-CHANNEL as the position poll sends it: SubQ, LBA form, the current position, 16 bytes.
inline Cdb10 ReadPositionCdb() {
    return ReadSubChannelCdb(1, 0, kSubChannelCurrentPosition, 0, kPositionAnswerLength);
}

// PLAY AUDIO MSF from `startLba` up to `endLba`, the first frame not played. Both must lie
// within what M/S/F can name (LBA -150 to kLastMsfFrame - 150).
inline Cdb10 PlayAudioMsfCdb(int32_t startLba, int32_t endLba) {
    Cdb10 cdb{};
    cdb[0] = kOpPlayAudioMsf;
    WriteMsf(cdb, 3, int64_t{startLba} + kMsfLbaOffset); // starting M, S, F
    WriteMsf(cdb, 6, int64_t{endLba} + kMsfLbaOffset);   // ending M, S, F
    return cdb;
}

inline Cdb10 PauseResumeCdb(bool resume) {
    Cdb10 cdb{};
    cdb[0] = kOpPauseResume;
    cdb[8] = resume ? 0x01 : 0x00; // Resume 1: resume; 0: pause
    return cdb;
}

inline Cdb10 StopPlayScanCdb() {
    return Cdb10{kOpStopPlayScan};
}

inline Cdb12 PlayAudio12Cdb(uint32_t lba, uint32_t length) {
    Cdb12 cdb{};
    cdb[0] = kOpPlayAudio12;
    WriteBe32(cdb, 2, lba);    // starting logical block address
    WriteBe32(cdb, 6, length); // play length in frames
    return cdb;
}

// READ CD of `frames` CD-DA frames from `lba`, their user data: 2352 bytes a frame, followed by
// the sub-channel data that `subChannel` selects.
inline Cdb12 ReadCdCdb(uint32_t lba, uint32_t frames, uint8_t subChannel = kReadCdNoSubChannel) {
    Cdb12 cdb{};
    cdb[0] = kOpReadCd;
    cdb[1] = kReadCdSectorCdda << 2;                   // expected sector type
    WriteBe32(cdb, 2, lba);                            // starting logical block address
    WriteBe24(cdb, 6, frames);                         // transfer length in frames
    cdb[9] = kReadCdUserData;                          // main channel: user data only
    cdb[10] = static_cast<uint8_t>(subChannel & 0x07); // sub-channel data selection
    return cdb;
}

// SET CD SPEED: the read speed in kB/s (kCdSpeedMaximum: the drive's fastest), the write speed
// left to the drive.
inline Cdb12 SetCdSpeedCdb(uint16_t readSpeed) {
    Cdb12 cdb{};
    cdb[0] = kOpSetCdSpeed;
    cdb[1] = 0x00;                      // rotational control 00b: constant linear velocity
    WriteBe16(cdb, 2, readSpeed);       // logical unit read speed, kB/s
    WriteBe16(cdb, 4, kCdSpeedMaximum); // logical unit write speed: the drive's fastest
    return cdb;
}
