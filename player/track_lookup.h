// Track lookups the player's handlers share: reads of the track table that stay inside it
// whatever a drive or a selector reported, and which track a position or a slider target means.
#pragma once

#include "player/player_state.h"

#include <cstdint>
#include <string>

// True for a track number whose start and end (trackStart[t] and trackStart[t + 1]) both lie
// in the table: 0 to 118.
bool HasTrackEntries(int32_t track);

// trackStart[track]; 0 for a number outside the table.
int32_t TrackStartAt(const PlayerState& state, int32_t track);

// Where the disc ends: trackStart[lastTrack + 1]; 0 when that entry is outside the table.
int32_t DiscEndOf(const PlayerState& state);

// trackPerformer[track]; the empty text for a number outside the table.
const std::string& PerformerAt(const PlayerState& state, int32_t track);

// A track of the disc in the selected drive: between firstTrack and lastTrack, with its entries
// in the table.
bool IsDiscTrack(const PlayerState& state, int32_t track);

// The track number itself, kept to the entries of the table (0 to 118). It is not moved onto the
// disc: Stop makes currentTrack 1 on every disc, and on a disc numbered from 3 the window then
// measures from track 1's entry and shows "Track 1" until the drive or the user moves it on.
int32_t TrackInTable(int32_t track);

// The track the poll shows: the drive's own track number while it plays and names a track of
// the disc, otherwise currentTrack (kept to the table).
int32_t ShownTrack(const PlayerState& state, bool playing, int32_t reportedTrack);

// The highest track from firstTrack to lastTrack whose start lies strictly below target;
// `current` when none does. A target exactly at a track's start counts to the track before it.
int32_t TrackBelowTarget(const PlayerState& state, int32_t target, int32_t current);
