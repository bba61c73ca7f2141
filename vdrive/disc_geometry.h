// Where an address lies on a disc (track, index, track-relative address), the MSF form of
// addresses, and a quick way to lay out a disc of audio tracks for tests and demos.
#pragma once

#include "audio/disc_layout.h"
#include "drive/msf.h"
#include "vdrive/disc_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vdrive {

using audio::kFirstPregapLba; // the first track's pregap starts here

using audio::DiscPosition; // track, index (0 inside the pregap) and track-relative address
using audio::PregapStart;  // where the track's index 0 begins

// The position of the track that holds `lba`: the last one whose pregap begins at or before
// it; the first track for addresses in front of the first pregap. The disc must have a track.
size_t TrackIndexAt(const DiscImage& disc, int32_t lba);
DiscPosition PositionAt(const DiscImage& disc, int32_t lba);

// The start of the first data track at or after `lba`'s track (its pregap start), or the lead-out.
int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba);

// Four bytes `00 M S F` of an absolute address (the 150-frame offset added) ...
void WriteMsfAddress(std::span<uint8_t> bytes, size_t at, int32_t lba);
// ... and of a length of time (no offset; negative lengths count as their magnitude).
void WriteMsfTime(std::span<uint8_t> bytes, size_t at, int32_t frames);

// An audio disc whose tracks start at `starts` (INDEX 01, no pregaps beyond the first),
// numbered from `firstTrack`, ending at `leadOut`, its audio the test pattern
// (SharedPatternSource). Set `control` of a track for data.
DiscImage MakeAudioDisc(const std::vector<int32_t>& starts, int32_t leadOut, int firstTrack = 1);

} // namespace vdrive
