// The CD-Text packs that give a disc without CD-Text of its own the names a lookup found: what a
// disc with CD-Text carries, as the window reads it. Titles (0x80) and performers (0x81) of the
// album and of every track, the size packs (0x8F), one block, ISO-8859-1, CRCs right.
#pragma once

#include "disc/toc.h"
#include "names/release_choice.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace names {

// Names for what the lookup left without one (MusicBrainz's own conventions). No item is ever
// empty: the window reads an empty item as the end of the one before it.
inline constexpr const char* kUntitled = "[untitled]";
inline constexpr const char* kUnknownArtist = "[unknown]";
inline constexpr const char* kDataTrack = "[data track]";

// The texts as the packs hold them (ISO-8859-1 bytes), one title and one performer per track of
// the table, in its order.
struct PackTexts {
    std::string albumTitle;
    std::string albumPerformer;
    std::vector<std::string> titles;
    std::vector<std::string> performers;
};

// The disc's texts romanized and cut to what the window shows whole: an album title of 199
// bytes, a title in the track selector of 93, a performer of 119 (an ampersand counted twice
// where the window doubles it). When all of them would need more than one block's packs, the
// longest texts are shortened first, all to the same length, so that every track keeps a name.
// A track the medium does not list is kUntitled (kDataTrack for a data track).
PackTexts FitNames(const DiscNames& names, const TrackTable& table);

// The packs for those texts (no header), at most 256 of 18 bytes; empty for a table without
// tracks.
std::vector<uint8_t> BuildNamePacks(const DiscNames& names, const TrackTable& table);

} // namespace names
