// Addresses on a disc image. The image comes from outside (a CUE sheet, a test), so every
// lookup stays inside its track list whatever the numbers say.
#include "vdrive/disc_geometry.h"

#include "drive/msf.h"

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

playback::QFrame QFrameAt(const DiscImage& disc, int32_t lba) {
    // Within each hundred frames: the catalogue number at the 50th, the ISRC at the 25th.
    constexpr int64_t kCycle = 100;
    constexpr int64_t kCatalogFrame = 50;
    constexpr int64_t kIsrcFrame = 25;
    playback::QFrame frame;
    frame.mode = playback::QFrame::Mode::Position;
    frame.position = playback::QPositionAt(disc.tracks, lba);
    frame.control = frame.position.control;
    const playback::QPosition before = playback::QPositionAt(disc.tracks, lba - 1);
    if (before.track != frame.position.track || before.index != frame.position.index) {
        return frame; // where the track or the index changes, the position is told
    }
    const int64_t inCycle = ((int64_t{lba} + kMsfLbaOffset) % kCycle + kCycle) % kCycle;
    const size_t track = TrackIndexAt(disc, lba);
    if (inCycle == kCatalogFrame && !disc.catalog.empty()) {
        frame.mode = playback::QFrame::Mode::Catalog;
        frame.code = disc.catalog;
    } else if (inCycle == kIsrcFrame && frame.position.index > 0 && track < disc.isrc.size() &&
               !disc.isrc[track].empty()) {
        frame.mode = playback::QFrame::Mode::Isrc; // not in a pregap
        frame.code = disc.isrc[track];
    }
    return frame;
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
