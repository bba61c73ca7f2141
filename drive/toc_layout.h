// The table of contents as READ TOC format 0 answers it, and the ADR/CONTROL byte that its track
// descriptors and the position of READ SUB-CHANNEL share. Drives write it, the player and the
// digital play read it: each by these offsets and values.
#pragma once

#include <cstdint>

inline constexpr int kTocHeaderLength = 4; // data length (2 bytes), first and last track number
inline constexpr int kTocDescriptorLength = 8;
// The image the player asks for and keeps: the header and room for 100 descriptors, the 99
// tracks a disc can hold and the lead-out.
inline constexpr uint32_t kTocImageSize = kTocHeaderLength + kTocDescriptorLength * 100;
inline constexpr uint8_t kLeadOutTrackNumber = 0xAA; // the track number of the lead-out

// ADR in the high nibble: 1, the Q sub-channel encodes the current position.
inline constexpr uint8_t kAdrPosition = 0x10;
// CONTROL, the low nibble: what a track holds and how it may be played.
inline constexpr uint8_t kControlPreEmphasis = 0x01; // PRE
inline constexpr uint8_t kControlCopyAllowed = 0x02; // DCP
inline constexpr uint8_t kControlData = 0x04;        // a data track, not audio
inline constexpr uint8_t kControlFourChannel = 0x08; // 4CH
