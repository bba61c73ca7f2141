// Which release of a lookup's answer is the disc in the drive, and the names it gives the disc.
//
// The rule, in order:
// 1. A medium that lists this disc's ID among its submitted discs is this disc.
// 2. Otherwise (an answer to a lookup by table of contents), a medium with a submitted disc of
//    the same number of tracks whose every track starts within kOffsetTolerance frames of this
//    disc's, and whose lead-out lies within kLeadOutTolerance frames. Media without submitted
//    discs, and releases that only share the track count, are never this disc.
// 3. Among several such media: the one with the most titled tracks, then the release with the
//    earliest date (a release without a date comes last; a year alone counts as that year's
//    start), then the lowest release MBID, then the lowest medium position.
// A medium that lists no tracks names nothing and is passed over.
#pragma once

#include "names/disc_id.h"
#include "names/release.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace names {

inline constexpr int32_t kOffsetTolerance = 6;    // frames: the same pressing read by another drive
inline constexpr int32_t kLeadOutTolerance = 300; // frames: lead-outs are read less alike

struct ReleaseChoice {
    size_t release = 0; // index into the answer's releases
    size_t medium = 0;  // index into that release's media
    bool exact = false; // matched by disc ID, not by table of contents
    std::string why;    // one line, e.g. "disc ID on medium 2 of 4 candidates"
};

std::optional<ReleaseChoice> ChooseRelease(const std::vector<Release>& releases,
                                           const DiscIdentity& disc);

// The names of a disc, in full Unicode (UTF-8): what the cache keeps.
struct TrackNames {
    std::string title;
    std::string performer; // empty: the album's
};

struct DiscNames {
    std::string releaseId;
    std::string match; // why this release (ReleaseChoice::why)
    std::string albumTitle;
    std::string albumPerformer;
    std::vector<TrackNames> tracks; // the medium's tracks in order: the disc's from its first
};

// The album title is the release's, or for a release of several media the medium's own title
// when it has one, else "Release title (disc N)". The performer of the album is the release's
// artist credit; a track's is its own credit when it differs from the release's.
DiscNames NamesOf(const Release& release, size_t medium, const std::string& match);

} // namespace names
