// Addresses on a disc layout. The layout comes from outside (an image, a drive's answer), so every
// lookup stays inside its track list.
#include "playback/disc_layout.h"

#include <algorithm>
#include <limits>

namespace playback {

uint8_t AdrControl(const DiscTrack& track) {
    return static_cast<uint8_t>(kAdrPosition | (track.control & 0x0F));
}

int32_t PregapStart(const DiscTrack& track) {
    return std::min(track.pregapStart, track.start);
}

size_t TrackIndexAt(std::span<const DiscTrack> tracks, int32_t lba) {
    size_t found = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (PregapStart(tracks[i]) <= lba) {
            found = i;
        }
    }
    return found;
}

DiscPosition PositionAt(std::span<const DiscTrack> tracks, int32_t lba) {
    const DiscTrack& track = tracks[TrackIndexAt(tracks, lba)];
    const int64_t relative = int64_t{lba} - track.start;
    constexpr int64_t kLowest = std::numeric_limits<int32_t>::min();
    constexpr int64_t kHighest = std::numeric_limits<int32_t>::max();
    return DiscPosition{&track, relative < 0 ? 0 : 1,
                        static_cast<int32_t>(std::clamp(relative, kLowest, kHighest))};
}

int32_t DataBoundaryAfter(std::span<const DiscTrack> tracks, int32_t leadOut, int32_t lba) {
    for (size_t i = TrackIndexAt(tracks, lba); i < tracks.size(); ++i) {
        const DiscTrack& track = tracks[i];
        if ((track.control & kControlData) != 0 && PregapStart(track) > lba) {
            return PregapStart(track);
        }
    }
    return leadOut;
}

} // namespace playback
