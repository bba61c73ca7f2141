// Decoding of the table of contents for the digital play. Only what the answer holds within its
// own length and the bytes received is read.
#include "playback/toc_decode.h"

#include "drive/big_endian.h"
#include "drive/toc_layout.h"

#include <algorithm>

namespace playback {

namespace {

constexpr auto kHeaderLength = static_cast<size_t>(kTocHeaderLength);
constexpr auto kDescriptorLength = static_cast<size_t>(kTocDescriptorLength);
// Addresses beyond this are no CD's: 24 bits of frames are over 62 hours.
constexpr int32_t kHighestAddress = 0xFFFFFF;

} // namespace

std::optional<DiscLayout> DecodeToc(std::span<const uint8_t> answer) {
    if (answer.size() < kHeaderLength) {
        return std::nullopt;
    }
    const size_t length = std::min<size_t>(answer.size(), ReadBe16(answer, 0) + size_t{2});
    const int first = answer[2];
    const int last = answer[3];
    if (first < 1 || last > 99 || first > last) {
        return std::nullopt;
    }
    DiscLayout layout;
    bool leadOut = false;
    for (size_t at = kHeaderLength; at + kDescriptorLength <= length && !leadOut;
         at += kDescriptorLength) {
        const uint8_t adrControl = answer[at + 1];
        const uint8_t number = answer[at + 2];
        const auto start = static_cast<int32_t>(ReadBe32(answer, at + 4));
        if (start < kFirstPregapLba || start > kHighestAddress ||
            (!layout.tracks.empty() && start <= layout.tracks.back().start)) {
            return std::nullopt;
        }
        if (number == kLeadOutTrackNumber) {
            layout.leadOut = start;
            leadOut = true;
        } else if (number == first + static_cast<int>(layout.tracks.size()) && number <= last) {
            layout.tracks.push_back(TocTrack(number, adrControl & 0x0F, start));
        } else {
            return std::nullopt;
        }
    }
    if (!leadOut || layout.tracks.size() != static_cast<size_t>(last - first + 1)) {
        return std::nullopt;
    }
    return layout;
}

bool SameLayout(const DiscLayout& a, const DiscLayout& b) {
    return a.leadOut == b.leadOut &&
           std::equal(a.tracks.begin(), a.tracks.end(), b.tracks.begin(), b.tracks.end(),
                      [](const DiscTrack& x, const DiscTrack& y) {
                          return x.number == y.number && x.control == y.control &&
                                 x.start == y.start;
                      });
}

} // namespace playback
