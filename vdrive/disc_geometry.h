// Where an address lies on a disc image (track, index, track-relative address), and a quick way
// to lay out a disc of audio tracks for tests and demos.
#pragma once

#include "playback/sub_q.h"
#include "vdrive/disc_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vdrive {

// The position of the track that holds `lba`: the last one whose pregap begins at or before
// it; the first track for addresses in front of the first pregap. The disc must have a track.
size_t TrackIndexAt(const DiscImage& disc, int32_t lba);
playback::DiscPosition PositionAt(const DiscImage& disc, int32_t lba);

// The start of the first data track at or after `lba`'s track (its pregap start), or the lead-out.
int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba);

// The Q sub-channel of frame `lba`: its position, except that once a second (where neither the
// track nor the index changes) the disc's catalogue number or the track's ISRC stands instead, as
// discs carry them. The disc must have a track.
playback::QFrame QFrameAt(const DiscImage& disc, int32_t lba);

// An audio disc whose tracks start at `starts` (INDEX 01, no pregaps beyond the first),
// numbered from `firstTrack`, ending at `leadOut`, its audio the test pattern
// (SharedPatternSource). Set `control` of a track for data.
DiscImage MakeAudioDisc(const std::vector<int32_t>& starts, int32_t leadOut, int firstTrack = 1);

} // namespace vdrive
