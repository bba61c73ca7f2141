// The CD-Text pack walk and the rules of an item's text, in one place for both decoders: the
// walk for one item (ExtractDiscTextItem) and the walk for every item (DiscTextItems) read a
// disc the same way because they are the same walk.
#pragma once

#include "disc/cdtext.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr size_t kDiscTextHeaderLength = 4; // data length, 2 reserved bytes
inline constexpr size_t kKeptItemLength = kItemAccumulatorLength - 1; // its last byte stays null

// The packs a walk reads: as many as length covers (the 2 reserved header bytes counted in
// length vanish in the division), and only whole packs inside the response; none for a
// negative length or a response without room for its header.
size_t WalkedPackCount(std::span<const uint8_t> response, int32_t length);

// The text of item itemIndex of packType from the bytes it is made of (what WalkDiscTextItems
// hands over for it). Ampersands are doubled, so that a label shows them rather than taking them
// as a mnemonic, except in track titles (packType 0x80, itemIndex != 0). The text keeps at most
// 499 bytes; a doubled ampersand that does not fit whole is dropped whole, with all after it.
std::string ItemText(std::string_view bytes, uint8_t packType, int32_t itemIndex);

// Walks the packs in buffer order and splits the text stream of each pack type into its items.
//
// The null rule: a null ends an item only when the byte before it is not null (the previous text
// byte, or for a pack's first text byte the pack's character-position byte). An item's text is
// made of its bytes before its first null, at most 499: a null that ends nothing (an empty
// item's) thus stays the first byte of the item that ends next, which then reads empty.
//
// The sink is asked once per pack for the items of the pack's type, `ItemsOf(packType)`, which
// gives a pointer to an object with `void Add(uint8_t)` (the next byte of the text of the item
// in progress) and `bool End()` (the item in progress ends; false ends the walk), or nullptr to
// skip the pack.
template <typename Sink>
void WalkDiscTextItems(std::span<const uint8_t> response, int32_t length, Sink& sink) {
    // The item in progress of each pack type: the bytes its text holds so far, and whether its
    // text is complete (a null came) so that later bytes count only for where it ends.
    struct Progress {
        uint16_t kept = 0;
        bool complete = false;
    };
    std::array<Progress, 256> progress{};

    constexpr size_t kCharacterPositionByte = 3;
    const size_t packCount = WalkedPackCount(response, length);
    for (size_t k = 0; k < packCount; ++k) {
        const auto pack =
            response.subspan(kDiscTextHeaderLength + k * kPackLength).first<kPackLength>();
        auto* items = sink.ItemsOf(pack[0]);
        if (items == nullptr) {
            continue;
        }
        Progress& item = progress[pack[0]];
        for (size_t l = 0; l < kPackTextLength; ++l) {
            const size_t at = kCharacterPositionByte + 1 + l;
            const uint8_t c = pack[at];
            if (c != 0) {
                if (!item.complete && item.kept < kKeptItemLength) {
                    items->Add(c);
                    ++item.kept;
                }
                continue;
            }
            item.complete = true;
            // For the first text byte the byte before is the character position.
            if (pack[at - 1] != 0) {
                item = Progress{};
                if (!items->End()) {
                    return;
                }
            }
        }
    }
}
