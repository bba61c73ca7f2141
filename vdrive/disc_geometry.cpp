// Addresses on a disc image. The image comes from outside (a CUE sheet, a test), so every
// lookup stays inside its track list whatever the numbers say.
#include "vdrive/disc_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace vdrive {

size_t TrackIndexAt(const DiscImage& disc, int32_t lba) {
    return audio::TrackIndexAt(disc.tracks, lba);
}

DiscPosition PositionAt(const DiscImage& disc, int32_t lba) {
    return audio::PositionAt(disc.tracks, lba);
}

int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba) {
    return audio::DataBoundaryAfter(disc.tracks, disc.leadOut, lba);
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
    disc.audio = SharedPatternSource();
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
