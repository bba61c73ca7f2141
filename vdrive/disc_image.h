// A disc as the virtual drive holds it: the table of contents, the raw CD-Text packs and where
// its audio comes from. Built by hand in tests, by the demo discs and by the CUE loader. Cheap to
// copy: the audio source is shared.
#pragma once

#include "playback/disc_layout.h"
#include "vdrive/audio_source.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vdrive {

struct DiscImage {
    std::vector<playback::DiscTrack> tracks; // in track order
    int32_t leadOut = 0; // LBA of the lead-out: the first frame after the last track
    std::vector<uint8_t>
        cdText; // raw 18-byte packs as stored in the lead-in, no header; empty: none
    // The audio frames by LBA; none: every frame is silence.
    std::shared_ptr<const AudioSource> audio;
    // What the disc's Q sub-channel carries beside the position: the catalogue number (13
    // digits, "" for none) and each track's ISRC (by position in `tracks`; "" or missing: none).
    std::string catalog;
    std::vector<std::string> isrc;

    playback::DiscLayout Layout() const { return playback::DiscLayout{tracks, leadOut}; }
};

} // namespace vdrive
