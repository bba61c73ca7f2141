// Cutting texts to the byte limits of the player's fields.
#include "disc/text_cut.h"

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence a lead byte opens; 0 for a byte that opens none.
size_t SequenceLength(unsigned char byte) {
    if ((byte & 0xE0) == 0xC0) {
        return 2;
    }
    if ((byte & 0xF0) == 0xE0) {
        return 3;
    }
    if ((byte & 0xF8) == 0xF0) {
        return 4;
    }
    return 0;
}

} // namespace

std::string CutText(std::string_view text, size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    // The first dropped byte continues a sequence when a lead byte at most three bytes back
    // opens one that reaches past the cut through continuation bytes only.
    size_t cut = limit;
    for (size_t back = 1; back <= 3 && back <= limit; ++back) {
        const auto byte = static_cast<unsigned char>(text[limit - back]);
        if (IsContinuation(byte)) {
            continue;
        }
        const size_t length = SequenceLength(byte);
        const size_t start = limit - back;
        if (length > back && start + length <= text.size()) {
            bool complete = true;
            for (size_t i = start + 1; i < start + length; ++i) {
                complete = complete && IsContinuation(static_cast<unsigned char>(text[i]));
            }
            if (complete) {
                cut = start;
            }
        }
        break;
    }
    return std::string(text.substr(0, cut));
}
