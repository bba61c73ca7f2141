// The texts the disc refresh gives each track (its selector entry and its performer row) and
// the album title, from the table of contents and the disc's CD-Text, and the texts of the
// total and track number fields. No window is involved: the refresh puts the result into the
// view, the performer table and the title field.
#pragma once

#include "disc/disc_text_items.h"
#include "disc/toc.h"
#include "player/player_state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The refresh's text buffers, in bytes without their null.
inline constexpr size_t kItemTextLimit = 199;  // one CD-Text item, the album title among them
inline constexpr size_t kLabelTitleLimit = 93; // a title after the "[nn]  " of a selector entry
inline constexpr size_t kPerformerTextLimit = kPerformerMaxLength; // one trackPerformer row

// Texts are the disc's bytes (single-byte Latin-1).
struct TrackText {
    int32_t track = 0;
    std::string entry; // "[07]  Intro" with CD-Text, "Track 07" without
    std::string title; // the track's name in its entry: "Intro", or "Track 07" without CD-Text
    // The performer row with CD-Text; without, the row keeps "unknown artist".
    std::optional<std::string> performer;
};

struct DiscTexts {
    std::vector<TrackText> tracks; // one per track of the table, in its order
    std::string albumTitle;        // with CD-Text: item 0 of the titles; else empty
};

// discText: the disc's CD-Text items, nullptr when it has no usable CD-Text.
//
// Item 0 is the disc's and the items after it belong to the disc's tracks in order, so track t's
// item is t - firstTrack + 1: on a disc numbered from 3, track 3 has item 1. A title or performer
// stored as a TAB means "the same as the previous track", as disc writers store repeats (a TAB
// title on the first track is empty, a TAB performer there the disc's). A track without a
// performer has the disc's. Every item is cut to 199 bytes, a title in an entry to 93, a
// performer to 119.
DiscTexts MakeDiscTexts(const TrackTable& table, const DiscTextItems* discText);

// "Total disc time: 13:19", "Total track time: 04:26", "Track 3".
std::string DiscTotalText(int32_t frames);
std::string TrackTotalText(int32_t frames);
std::string TrackNumberText(int32_t track);
