// The player's picture of the disc: time units and their "mm:ss" text, the slider scale, the
// table-of-contents change check, and the decode of the track table and the disc end.
#pragma once

#include "drive/msf.h"
#include "drive/toc_layout.h"
#include "player/player_state.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr int32_t kLongestShownFrames = 360000; // 80 minutes; longer counts show "00:00"
inline constexpr int32_t kFramesPerSliderStep = 450;   // one slider step is 6 seconds

// "mm:ss" of a frame count, always five characters; below 0 or above 80 minutes "00:00".
// Frames below a whole second are dropped, never rounded.
std::string FormatFrames(int32_t frames);

// Slider scale: a frame address a sits at slider position a / 450; position p is address p * 450.
int32_t SliderPositionOf(int32_t frames);
int32_t FramesAtSliderPosition(int32_t position);

// Reads the table of contents (format 0, kTocImageSize bytes) into the buffer and tells whether the
// disc counts as changed against state.tocImage, the one cache for all drives, which it then
// replaces: by the buffer after a completed read, by 99s after a failed one (always a change).
bool CheckTocChange(PlayerState& state, int hostAdapter, int target,
                    std::span<uint8_t, kTocImageSize> buffer);

// One track of a decoded table of contents.
struct TrackEntry {
    int32_t number = 0;   // firstTrack + descriptor index; the descriptor's own number is not read
    int32_t start = 0;    // start address in frames: the descriptor's low three address bytes
    bool isAudio = false; // CONTROL bit 0x04 clear
    int32_t sliderTick = 0; // start / 450, where the track's tick mark goes
};

struct TrackTable {
    int32_t firstTrack = 0;
    int32_t lastTrack = 0;
    std::vector<TrackEntry> tracks; // firstTrack .. lastTrack, data tracks included, in order
    bool hasAudio = false;          // some track is an audio track
    int32_t leadOutStart = 0;       // the lead-out descriptor's start; 0 when it is not there
};

// Decodes a READ TOC format-0 answer (LBA form). Empty when the header cannot describe a disc:
// a first or last track number outside 1..99, a last below the first, or an answer too short to
// hold every track's descriptor. The caller treats an empty result like a failed read.
std::optional<TrackTable> DecodeTrackTable(std::span<const uint8_t> toc);

// The disc end READ CAPACITY reports: its bytes 1-3 (byte 0 and the block length are not read).
// 0 for an answer shorter than 4 bytes.
int32_t DiscEndFromCapacity(std::span<const uint8_t> capacity);

// The disc end the refresh uses: READ CAPACITY's when that command completed, otherwise the
// lead-out start of the table of contents (0 when there is none).
int32_t ResolveDiscEnd(std::optional<int32_t> capacityDiscEnd, const TrackTable& table);

// Writes a decoded table into the record: firstTrack, lastTrack, listBaseTrack = firstTrack,
// trackStart[t] for every track and trackStart[lastTrack + 1] = discEnd. Other entries keep
// what an earlier disc left in them.
void StoreTrackTable(PlayerState& state, const TrackTable& table, int32_t discEnd);

// trackStart[track + 1] - trackStart[track]; 0 for a track whose entries lie outside the table.
int32_t TrackLength(const PlayerState& state, int32_t track);
