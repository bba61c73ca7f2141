// The Q sub-channel of one frame as READ CD delivers it formatted (sub-channel selection 010b): 16
// bytes after the frame's 2352, laid out as the disc holds them. The virtual drive writes it and
// the digital play reads it, each by these offsets; CD-Text packs are guarded by the same CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr size_t kFormattedQLength = 16;
// Byte 0 holds CONTROL in its high nibble and ADR in its low one (the other way round from the
// ADR/CONTROL byte of READ TOC and READ SUB-CHANNEL answers).
inline constexpr size_t kQControlAdrAt = 0;
// ADR 1: the position. Track and index, the track-relative time (counting down inside a pregap),
// a zero byte and the absolute time, each M, S, F; in BCD as the disc holds them, or in binary:
// drives differ.
inline constexpr size_t kQTrackAt = 1;
inline constexpr size_t kQIndexAt = 2;
inline constexpr size_t kQRelativeAt = 3;
inline constexpr size_t kQZeroAt = 6;
inline constexpr size_t kQAbsoluteAt = 7;
// ADR 2 and 3: the code from byte 1 on (13 BCD digits of the catalogue number; or the ISRC's
// five 6-bit characters, two zero bits, seven BCD digits and four zero bits), and the absolute
// frame number in byte 9.
inline constexpr size_t kQCodeAt = 1;
inline constexpr size_t kQAbsoluteFrameAt = 9;
// Bytes 10-11: the CRC of bytes 0-9 (drives that do not pass it on leave zeros).
inline constexpr size_t kQCrcAt = 10;
inline constexpr size_t kQCrcCovers = 10;

inline constexpr uint8_t kQAdrPosition = 1;
inline constexpr uint8_t kQAdrCatalog = 2; // media catalogue number (UPC/EAN)
inline constexpr uint8_t kQAdrIsrc = 3;

// The checksum of a Q sub-channel and of a CD-Text pack: CRC-16 x^16 + x^12 + x^5 + 1, start 0,
// MSB first, inverted.
inline uint16_t SubcodeCrc(std::span<const uint8_t> bytes) {
    uint32_t crc = 0;
    for (const uint8_t b : bytes) {
        crc ^= uint32_t{b} << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1;
        }
    }
    return static_cast<uint16_t>(~crc);
}
