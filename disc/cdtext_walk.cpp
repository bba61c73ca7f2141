// The bounds of the pack walk and the text rules of one item.
#include "disc/cdtext_walk.h"

#include <algorithm>

namespace {

constexpr char kAmpersand = '&';

} // namespace

size_t WalkedPackCount(std::span<const uint8_t> response, int32_t length) {
    if (length < 0 || response.size() < kDiscTextHeaderLength) {
        return 0;
    }
    const size_t announced = static_cast<size_t>(length) / kPackLength;
    const size_t present = (response.size() - kDiscTextHeaderLength) / kPackLength;
    return std::min(announced, present);
}

std::string ItemText(std::string_view bytes, uint8_t packType, int32_t itemIndex) {
    bytes = bytes.substr(0, kKeptItemLength);
    // Track titles go into the selector's entries, which show an ampersand as it is.
    const bool doubleAmpersands = !(packType == kPackTypeTitle && itemIndex != 0);
    if (!doubleAmpersands || bytes.find(kAmpersand) == std::string_view::npos) {
        return std::string(bytes);
    }
    std::string text;
    text.reserve(std::min(2 * bytes.size(), kKeptItemLength));
    for (const char c : bytes) {
        const size_t width = c == kAmpersand ? 2 : 1;
        if (text.size() + width > kKeptItemLength) {
            break; // the item is full: nothing after the first character that does not fit
        }
        text.append(width, c);
    }
    return text;
}
