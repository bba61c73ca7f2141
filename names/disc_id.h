// The MusicBrainz disc ID of a disc, from its table of contents as a drive answers READ TOC
// (format 0, LBA form): the ID, the table a lookup sends with it and the URL at which anyone can
// add an unknown disc. libdiscid computes all three.
#pragma once

#include "disc/toc.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace names {

// MusicBrainz counts a disc's addresses from its very first frame: LBA + 150.
inline constexpr int32_t kAddressOffset = 150;
// An Enhanced CD's data session starts this far after the end of its audio: the audio session's
// lead-out (6750 frames), the data session's lead-in (4500) and its pregap (150).
inline constexpr int32_t kSessionGap = 11400;

// What MusicBrainz knows a disc by: only its audio session counts.
struct DiscIdentity {
    std::string id;               // 28 characters of [A-Za-z0-9._-]
    int firstTrack = 0;           // as the disc numbers them
    int lastTrack = 0;            // the last track of the audio session
    int32_t leadOut = 0;          // + 150
    std::vector<int32_t> offsets; // tracks firstTrack..lastTrack, each + 150
    std::string submissionUrl;    // where the disc can be added to MusicBrainz

    // "first+last+lead-out+offset1+...": the toc parameter of a lookup.
    std::string TocParameter() const;
    int TrackCount() const { return lastTrack - firstTrack + 1; }
};

// The identity of a decoded table: its trailing data tracks (an Enhanced CD's second session)
// are left out, and the lead-out is then the first of them's start less the session gap; a data
// track before the audio (a mixed-mode disc) counts as a track. Nothing for a table without an
// audio track, without a lead-out, or with addresses libdiscid refuses (out of order, past the
// lead-out).
std::optional<DiscIdentity> IdentifyTracks(const TrackTable& table);

// The same from a READ TOC answer (the bytes a drive returned, read as the player reads them).
std::optional<DiscIdentity> IdentifyDisc(std::span<const uint8_t> tocAnswer);

// Whether a text has the form of a disc ID (so that it may name a file).
bool IsDiscIdText(std::string_view text);

} // namespace names
