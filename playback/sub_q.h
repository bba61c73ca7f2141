// The Q sub-channel: what it says of each frame of a disc, and the 16 bytes in which READ CD
// delivers it formatted. The virtual drive encodes its discs' Q; the digital play layer decodes
// what a drive delivers beside the audio, which it does not trust: drives pass the fields on in
// BCD or in binary, some leave the CRC out, and a Q can be garbage.
#pragma once

#include "drive/sub_q_layout.h"
#include "playback/disc_layout.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace playback {

// What a position Q says of its frame: the CONTROL nibble, the track and index, and the address
// relative to the track's INDEX 01 (negative inside its pregap, where the time counts down).
struct QPosition {
    uint8_t control = 0x00;
    int track = 1;
    int index = 1;
    int32_t relative = 0;

    friend bool operator==(const QPosition&, const QPosition&) = default;
};

// The position the disc's Q carries at `lba`: the track whose pregap or body holds it, index 0 in
// a pregap, and CONTROL with the bits only the Q carries. `tracks` must not be empty.
QPosition QPositionAt(std::span<const DiscTrack> tracks, int32_t lba);

// One frame's Q: its position, or in some frames instead the disc's catalogue number or the
// track's ISRC. Every mode carries CONTROL.
struct QFrame {
    enum class Mode { Unusable, Position, Catalog, Isrc };
    Mode mode = Mode::Unusable;
    uint8_t control = 0x00;
    QPosition position; // Position
    std::string code;   // Catalog: 13 digits; Isrc: 12 characters; "" for one that names none
};

// The catalogue numbers and ISRCs a Q can carry: 13 digits; 5 digits or capital letters then 7
// digits. All zeros is what discs without one carry, and counts as none.
bool IsCatalogNumber(std::string_view code);
bool IsIsrc(std::string_view code);

// The 16 bytes a drive delivers with frame `lba`: fields in BCD as the disc holds them (or in
// binary, as some drives pass them on), with the CRC.
std::array<uint8_t, kFormattedQLength> EncodeQ(const QFrame& frame, int32_t lba,
                                               bool binary = false);

// What the 16 bytes a drive delivered with frame `lba` of `disc` (its table of contents) say, or
// Unusable: a CRC that does not match (zeros pass: drives that do not pass it on), fields that are
// neither BCD nor binary of an address within two frames of `lba` (a lagging sub-channel is taken
// back to `lba`), a track number the table of contents does not allow there, a relative address
// that does not lead to the track's start, a code of characters a Q cannot hold.
QFrame DecodeQ(std::span<const uint8_t> q, int32_t lba, const DiscLayout& disc);

} // namespace playback
