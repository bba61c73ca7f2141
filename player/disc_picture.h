// What one rebuild of the disc display reads from the drive, and what it makes of it: the track
// table, the disc end, the selector's entries, the performers and the album title. The decode
// is pure; the refresh reads the answers and applies the picture.
#pragma once

#include "disc/toc.h"
#include "player/track_texts.h"

#include <cstdint>
#include <optional>
#include <span>

// The drive's answers after the change check.
struct DiscAnswers {
    std::optional<int32_t> capacityDiscEnd; // READ CAPACITY's disc end, when it completed
    // The second table of contents, when it was read and describes a disc; only then is the
    // CD-Text read.
    std::optional<TrackTable> table;
    bool hasDiscText = false;          // the CD-Text read gave usable packs
    std::span<const uint8_t> discText; // the CD-Text answer, header included
    int32_t discTextLength = 0;
};

struct DiscPicture {
    std::optional<TrackTable> table; // empty: nothing but the reset display
    int32_t discEnd = 0;             // READ CAPACITY's, else where the lead-out starts
    bool hasAudio = false;
    bool hasDiscText = false;
    DiscTexts texts; // one entry per track of the table, and the album title
};

DiscPicture DecodeDiscPicture(const DiscAnswers& answers);
