// A disc as the virtual drive holds it: the table of contents, the raw CD-Text packs and where
// its audio comes from. Built by hand in tests, by the demo discs and by the CUE loader. Cheap to
// copy: the audio source is shared.
#pragma once

#include "audio/disc_layout.h"
#include "vdrive/audio_source.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vdrive {

using audio::DiscTrack;    // number, CONTROL nibble, start (INDEX 01) and pregap start (index 0)
using audio::kControlData; // CONTROL bit: data track
inline constexpr uint8_t kControlCopyAllowed = 0x02; // DCP
inline constexpr uint8_t kControlPreEmphasis = 0x01; // PRE
inline constexpr uint8_t kControlFourChannel = 0x08; // 4CH

struct DiscImage {
    std::vector<DiscTrack> tracks; // in track order
    int32_t leadOut = 0;           // LBA of the lead-out: the first frame after the last track
    std::vector<uint8_t>
        cdText; // raw 18-byte packs as stored in the lead-in, no header; empty: none
    // The audio frames by LBA; none: every frame is silence.
    std::shared_ptr<const AudioSource> audio;

    audio::DiscLayout Layout() const { return audio::DiscLayout{tracks, leadOut}; }
};

} // namespace vdrive
