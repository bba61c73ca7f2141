// Addresses on a disc image. The image comes from outside (a CUE sheet, a test), so every
// lookup stays inside its track list whatever the numbers say.
#include "vdrive/disc_geometry.h"

namespace vdrive {

size_t TrackIndexAt(const DiscImage& disc, int32_t lba) {
    return playback::TrackIndexAt(disc.tracks, lba);
}

playback::DiscPosition PositionAt(const DiscImage& disc, int32_t lba) {
    return playback::PositionAt(disc.tracks, lba);
}

int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba) {
    return playback::DataBoundaryAfter(disc.tracks, disc.leadOut, lba);
}

DiscImage MakeAudioDisc(const std::vector<int32_t>& starts, int32_t leadOut, int firstTrack) {
    DiscImage disc;
    disc.leadOut = leadOut;
    disc.audio = SharedPatternSource();
    for (size_t i = 0; i < starts.size(); ++i) {
        playback::DiscTrack track;
        track.number = firstTrack + static_cast<int>(i);
        track.start = starts[i];
        track.pregapStart = starts[i];
        disc.tracks.push_back(track);
    }
    return disc;
}

} // namespace vdrive
