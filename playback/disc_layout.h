// A disc as a play needs to know it: where each track starts, whether it holds audio, where the
// disc ends. The virtual drive keeps its images in this form; the digital play layer decodes it
// from the drive's table of contents. Every lookup stays inside the track list, whatever the
// numbers say.
#pragma once

#include "drive/msf.h"
#include "drive/toc_layout.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace playback {

inline constexpr int32_t kFirstPregapLba = -kMsfLbaOffset; // the first track's pregap starts here

struct DiscTrack {
    int number = 1;          // 1..99; consecutive on one disc, the first need not be 1
    uint8_t control = 0x00;  // CONTROL nibble: kControlData set for a data track
    int32_t start = 0;       // LBA of INDEX 01, as the table of contents gives it
    int32_t pregapStart = 0; // LBA where the track's pregap (index 0) begins; == start without one
    // CONTROL bits that only the track's own Q sub-channel carries, not the table of contents
    // (some discs flag pre-emphasis only there); never known from a table of contents.
    uint8_t qOnlyControl = 0x00;
};

// A track as a table of contents gives it: no pregap is known, so none is assumed. (Leaving
// pregapStart at 0 would put every later track's pregap at the start of the disc.)
inline DiscTrack TocTrack(int number, uint8_t control, int32_t start) {
    return DiscTrack{number, control, start, start, 0x00};
}

struct DiscLayout {
    std::vector<DiscTrack> tracks; // in track order
    int32_t leadOut = 0;           // LBA of the lead-out: the first frame after the last track
};

// The ADR/CONTROL byte a drive reports for the track: ADR 1 (position) and its CONTROL nibble.
uint8_t AdrControl(const DiscTrack& track);

// Where the track's index 0 begins: its pregap start, or its start when the layout says less.
int32_t PregapStart(const DiscTrack& track);

// The position of the track that holds `lba`: the last one whose pregap begins at or before
// it; the first track for addresses in front of the first pregap (and 0 without tracks).
size_t TrackIndexAt(std::span<const DiscTrack> tracks, int32_t lba);

struct DiscPosition {
    const DiscTrack* track = nullptr;
    int index = 1;        // 0 inside the pregap, 1 from the track's start on
    int32_t relative = 0; // lba - track start: negative inside the pregap
};
// `tracks` must not be empty.
DiscPosition PositionAt(std::span<const DiscTrack> tracks, int32_t lba);

// The start of the first data track at or after `lba`'s track (its pregap start), or `leadOut`.
int32_t DataBoundaryAfter(std::span<const DiscTrack> tracks, int32_t leadOut, int32_t lba);

} // namespace playback
