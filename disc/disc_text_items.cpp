// One walk over the CD-Text packs that splits every pack type's stream into its items by the
// same null rule as ExtractDiscTextItem, keeping of each item the bytes its text is made of.
//
// Why the bytes of an item alone decide its text: the accumulator of the one-item walk is
// rewritten from the front for every item and read up to its first null, and the item's own
// null (or the null written where the item stopped fitting) always lies within what the item
// wrote. So the text is the item's bytes up to their first null, with ampersands doubled where
// the walk doubles them, cut where the next character no longer fits into 499 bytes. An empty
// item's null counts as the first byte of the item that ends next, exactly as there.
#include "disc/disc_text_items.h"

#include "disc/cdtext.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr size_t kResponseHeaderLength = 4;
constexpr auto kPackBytes = static_cast<size_t>(kPackLength);
constexpr auto kTextBytesPerPack = static_cast<size_t>(kPackTextLength);
// What an item keeps: the accumulator's last byte stays null.
constexpr size_t kKeptItemLength = kItemAccumulatorLength - 1;
constexpr char kAmpersand = '&';

// The packs ExtractDiscTextItem walks: as many as length covers, only whole packs inside the
// response, none for a negative length.
size_t WalkedPackCount(std::span<const uint8_t> response, int32_t length) {
    if (length < 0 || response.size() < kResponseHeaderLength) {
        return 0;
    }
    const auto announced = static_cast<size_t>(length / kPackLength);
    const size_t present = (response.size() - kResponseHeaderLength) / kPackBytes;
    return std::min(announced, present);
}

} // namespace

DiscTextItems::DiscTextItems(std::span<const uint8_t> response, int32_t length) {
    // The item in progress of each type: where its bytes start, and whether its text is complete
    // (a null came, or it holds all an item keeps) so that later bytes only count for its end.
    struct Progress {
        size_t itemStart = 0;
        bool textComplete = false;
    };
    std::vector<Progress> progress;

    const size_t packCount = WalkedPackCount(response, length);
    for (size_t k = 0; k < packCount; ++k) {
        const auto pack = response.subspan(kResponseHeaderLength + k * kPackBytes, kPackBytes);
        uint16_t& slot = slotOfType_[pack[0]];
        if (slot == 0) {
            types_.emplace_back();
            progress.emplace_back();
            slot = static_cast<uint16_t>(types_.size());
        }
        TypeItems& items = types_[slot - 1U];
        Progress& item = progress[slot - 1U];

        for (size_t l = 0; l < kTextBytesPerPack; ++l) {
            const uint8_t c = pack[4 + l];
            if (c != 0) {
                if (!item.textComplete) {
                    if (items.bytes.size() - item.itemStart < kKeptItemLength) {
                        items.bytes.push_back(static_cast<char>(c));
                    } else {
                        item.textComplete = true;
                    }
                }
                continue;
            }
            item.textComplete = true;
            // The byte before text byte l is pack[3 + l]: the previous text byte, or for the
            // first one the character-position byte.
            if (pack[3 + l] != 0) {
                items.ends.push_back(static_cast<uint32_t>(items.bytes.size()));
                item = Progress{items.bytes.size(), false};
            }
        }
    }
    // An item that never ended is not an item.
    for (TypeItems& items : types_) {
        items.bytes.resize(items.ends.empty() ? 0 : items.ends.back());
    }
}

const DiscTextItems::TypeItems* DiscTextItems::ItemsOf(uint8_t packType) const {
    const uint16_t slot = slotOfType_[packType];
    return slot == 0 ? nullptr : &types_[slot - 1U];
}

std::string DiscTextItems::Item(uint8_t packType, int32_t itemIndex) const {
    const TypeItems* items = ItemsOf(packType);
    if (!items || itemIndex < 0 || static_cast<size_t>(itemIndex) >= items->ends.size()) {
        return {};
    }
    const auto index = static_cast<size_t>(itemIndex);
    const size_t begin = index == 0 ? 0 : items->ends[index - 1];
    const std::string_view text(items->bytes.data() + begin, items->ends[index] - begin);

    // Track titles keep their ampersands single; every other text shows them doubled.
    const bool doubleAmpersands = !(packType == kPackTypeTitle && itemIndex != 0);
    if (!doubleAmpersands || text.find(kAmpersand) == std::string_view::npos) {
        return std::string(text);
    }
    // A doubled ampersand goes in whole or not at all, and nothing after it is kept.
    std::string doubled;
    doubled.reserve(std::min(2 * text.size(), kKeptItemLength));
    for (const char c : text) {
        const size_t width = c == kAmpersand ? 2 : 1;
        if (doubled.size() + width > kKeptItemLength) {
            break;
        }
        doubled.append(width, c);
    }
    return doubled;
}
