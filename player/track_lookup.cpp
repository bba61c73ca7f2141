// Track lookups: every read of trackStart and trackPerformer checks its index first, because
// the numbers come from drive answers and selector positions that nothing else bounds.
#include "player/track_lookup.h"

#include <algorithm>

namespace {

constexpr int32_t kHighestTrackWithEntries = kTrackTableSize - 2; // its end is the last entry

bool InTable(int32_t index) {
    return index >= 0 && index < kTrackTableSize;
}

} // namespace

bool HasTrackEntries(int32_t track) {
    return track >= 0 && track <= kHighestTrackWithEntries;
}

int32_t TrackStartAt(const PlayerState& state, int32_t track) {
    return InTable(track) ? state.trackStart[static_cast<size_t>(track)] : 0;
}

int32_t DiscEndOf(const PlayerState& state) {
    // lastTrack never exceeds 99 on a decoded disc; the check covers a record set up otherwise.
    return state.lastTrack < kTrackTableSize ? TrackStartAt(state, state.lastTrack + 1) : 0;
}

const std::string& PerformerAt(const PlayerState& state, int32_t track) {
    static const std::string kNone;
    return InTable(track) ? state.trackPerformer[static_cast<size_t>(track)] : kNone;
}

bool IsDiscTrack(const PlayerState& state, int32_t track) {
    return track >= state.firstTrack && track <= state.lastTrack && HasTrackEntries(track);
}

int32_t TrackInTable(int32_t track) {
    return std::clamp(track, int32_t{0}, kHighestTrackWithEntries);
}

int32_t ShownTrack(const PlayerState& state, bool playing, int32_t reportedTrack) {
    if (playing && IsDiscTrack(state, reportedTrack)) {
        return reportedTrack;
    }
    return TrackInTable(state.currentTrack);
}

int32_t TrackBelowTarget(const PlayerState& state, int32_t target, int32_t current) {
    const int32_t first = std::max(state.firstTrack, int32_t{0});
    const int32_t last = std::min(state.lastTrack, kHighestTrackWithEntries);
    int32_t track = current;
    for (int32_t t = first; t <= last; ++t) {
        if (target > TrackStartAt(state, t)) {
            track = t;
        }
    }
    return track;
}
