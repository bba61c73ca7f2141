// Every item of every pack type from one walk of the packs, kept as the bytes each item's text
// is made of; the text rules are applied when an item is asked for.
#include "disc/disc_text_items.h"

#include "disc/cdtext.h"
#include "disc/cdtext_walk.h"

#include <string_view>

// Every pack type's items, the types in the order they first appear.
struct DiscTextItems::Walk {
    DiscTextItems& items;

    TypeItems* ItemsOf(uint8_t packType) {
        uint16_t& slot = items.slotOfType_[packType];
        if (slot == 0) {
            items.types_.emplace_back();
            slot = static_cast<uint16_t>(items.types_.size());
        }
        return &items.types_[slot - 1U];
    }
};

DiscTextItems::DiscTextItems(std::span<const uint8_t> response, int32_t length) {
    Walk walk{*this};
    WalkDiscTextItems(response, length, walk);
    // An item that never ended is not an item.
    for (TypeItems& items : types_) {
        items.bytes.resize(items.ends.empty() ? 0 : items.ends.back());
    }
}

std::string DiscTextItems::Item(uint8_t packType, int32_t itemIndex) const {
    const uint16_t slot = slotOfType_[packType];
    if (slot == 0) {
        return {};
    }
    const TypeItems& items = types_[slot - 1U];
    if (itemIndex < 0 || static_cast<size_t>(itemIndex) >= items.ends.size()) {
        return {};
    }
    const auto index = static_cast<size_t>(itemIndex);
    const size_t begin = index == 0 ? 0 : items.ends[index - 1];
    return ItemText(std::string_view(items.bytes).substr(begin, items.ends[index] - begin),
                    packType, itemIndex);
}
