// A disc as the virtual drive holds it: the table of contents and the raw CD-Text packs.
// Built by hand in tests, by the demo discs and by the CUE loader.
#pragma once

#include <cstdint>
#include <vector>

namespace vdrive {

inline constexpr uint8_t kControlData = 0x04;        // CONTROL bit: data track
inline constexpr uint8_t kControlCopyAllowed = 0x02; // DCP
inline constexpr uint8_t kControlPreEmphasis = 0x01; // PRE
inline constexpr uint8_t kControlFourChannel = 0x08; // 4CH

struct DiscTrack {
    int number = 1;          // 1..99; consecutive on one disc, the first need not be 1
    uint8_t control = 0x00;  // CONTROL nibble: kControlData set for a data track
    int32_t start = 0;       // LBA of INDEX 01, as the table of contents gives it
    int32_t pregapStart = 0; // LBA where the track's pregap (index 0) begins; == start without one
};

struct DiscImage {
    std::vector<DiscTrack> tracks; // in track order
    int32_t leadOut = 0;           // LBA of the lead-out: the first frame after the last track
    std::vector<uint8_t>
        cdText; // raw 18-byte packs as stored in the lead-in, no header; empty: none
};

} // namespace vdrive
