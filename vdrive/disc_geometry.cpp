// Addresses on a disc image. The image comes from outside (a CUE sheet, a test), so every
// lookup stays inside its track list whatever the numbers say.
#include "vdrive/disc_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace vdrive {

int32_t PregapStart(const DiscTrack& track) {
    return std::min(track.pregapStart, track.start);
}

size_t TrackIndexAt(const DiscImage& disc, int32_t lba) {
    size_t found = 0;
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        if (PregapStart(disc.tracks[i]) <= lba) {
            found = i;
        }
    }
    return found;
}

DiscPosition PositionAt(const DiscImage& disc, int32_t lba) {
    const DiscTrack& track = disc.tracks[TrackIndexAt(disc, lba)];
    const int64_t relative = int64_t{lba} - track.start;
    return DiscPosition{&track, relative < 0 ? 0 : 1,
                        static_cast<int32_t>(std::clamp<int64_t>(relative, INT32_MIN, INT32_MAX))};
}

int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba) {
    for (size_t i = TrackIndexAt(disc, lba); i < disc.tracks.size(); ++i) {
        const DiscTrack& track = disc.tracks[i];
        if ((track.control & kControlData) != 0 && PregapStart(track) > lba) {
            return PregapStart(track);
        }
    }
    return disc.leadOut;
}

void WriteMsfTime(std::span<uint8_t> bytes, size_t at, int32_t frames) {
    bytes[at] = 0x00; // reserved
    WriteMsf(bytes, at + 1, std::llabs(int64_t{frames}));
}

void WriteMsfAddress(std::span<uint8_t> bytes, size_t at, int32_t lba) {
    WriteMsfTime(bytes, at,
                 static_cast<int32_t>(std::max<int64_t>(0, int64_t{lba} + kMsfLbaOffset)));
}

DiscImage MakeAudioDisc(const std::vector<int32_t>& starts, int32_t leadOut, int firstTrack) {
    DiscImage disc;
    disc.leadOut = leadOut;
    for (size_t i = 0; i < starts.size(); ++i) {
        DiscTrack track;
        track.number = firstTrack + static_cast<int>(i);
        track.start = starts[i];
        track.pregapStart = starts[i];
        disc.tracks.push_back(track);
    }
    return disc;
}

} // namespace vdrive
