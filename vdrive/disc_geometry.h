// Where an address lies on a disc (track, index, track-relative address), the MSF form of
// addresses, and a quick way to lay out a disc of audio tracks for tests and demos.
#pragma once

#include "drive/msf.h"
#include "vdrive/disc_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vdrive {

inline constexpr int32_t kFirstPregapLba = -kMsfLbaOffset; // the first track's pregap starts here

// Where the track's index 0 begins: its pregap start, or its start when the image says less.
int32_t PregapStart(const DiscTrack& track);

// The position of the track that holds `lba`: the last one whose pregap begins at or before
// it; the first track for addresses in front of the first pregap. The disc must have a track.
size_t TrackIndexAt(const DiscImage& disc, int32_t lba);

struct DiscPosition {
    const DiscTrack* track = nullptr;
    int index = 1;        // 0 inside the pregap, 1 from the track's start on
    int32_t relative = 0; // lba - track start: negative inside the pregap
};
DiscPosition PositionAt(const DiscImage& disc, int32_t lba);

// The start of the first data track at or after `lba`'s track (its pregap start), or the lead-out.
int32_t DataBoundaryAfter(const DiscImage& disc, int32_t lba);

// Four bytes `00 M S F` of an absolute address (the 150-frame offset added) ...
void WriteMsfAddress(std::span<uint8_t> bytes, size_t at, int32_t lba);
// ... and of a length of time (no offset; negative lengths count as their magnitude).
void WriteMsfTime(std::span<uint8_t> bytes, size_t at, int32_t frames);

// An audio disc whose tracks start at `starts` (INDEX 01, no pregaps beyond the first),
// numbered from `firstTrack`, ending at `leadOut`. Set `control` of a track for data.
DiscImage MakeAudioDisc(const std::vector<int32_t>& starts, int32_t leadOut, int firstTrack = 1);

} // namespace vdrive
