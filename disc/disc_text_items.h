// Every CD-Text item of a response from one walk of its packs, for the disc refresh, which asks
// for up to three items per track: the same texts ExtractDiscTextItem gives, without walking
// the packs again for each of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Built once per CD-Text read; keeps nothing of the response it was built from.
//
//     int32_t discTextLength = 0;
//     const bool hasDiscText = FetchDiscText(adapter, target, response, discTextLength);
//     const DiscTextItems discText(response, discTextLength);
//     discText.Item(kPackTypeTitle, 7);
//     // the same text as ExtractDiscTextItem(kPackTypeTitle, 7, response, discTextLength)
class DiscTextItems {
public:
    DiscTextItems() = default; // no packs: every item is empty
    DiscTextItems(std::span<const uint8_t> response, int32_t length);

    // Exactly ExtractDiscTextItem(packType, itemIndex, response, length) for the response and
    // length this was built from, quirks included (see cdtext.h).
    std::string Item(uint8_t packType, int32_t itemIndex) const;

private:
    // The items of one pack type: for each, the bytes its text is made of, back to back.
    struct TypeItems {
        std::string bytes;
        std::vector<uint32_t> ends; // where item i's bytes end in `bytes`

        // What the walk of the packs hands over.
        void Add(uint8_t c) { bytes.push_back(static_cast<char>(c)); }
        bool End() {
            ends.push_back(static_cast<uint32_t>(bytes.size()));
            return true;
        }
    };
    struct Walk; // the walk's sink: every pack type's items

    std::array<uint16_t, 256> slotOfType_{}; // 0: no pack of that type; else 1 + index in types_
    std::vector<TypeItems> types_;
};
