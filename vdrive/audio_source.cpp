// The test pattern source.
#include "vdrive/audio_source.h"

namespace vdrive {

bool PatternSource::ReadFrames(int32_t lba, std::span<uint8_t> frames) const {
    const size_t count = frames.size() / kFrameBytes;
    size_t at = 0;
    for (size_t frame = 0; frame < count; ++frame) {
        // Unsigned arithmetic: the word wraps instead of overflowing for addresses no disc has.
        const uint32_t mark = (static_cast<uint32_t>(lba) + static_cast<uint32_t>(frame) + 150u)
                              << 10;
        for (uint32_t sample = 0; sample < kSamplesPerFrame; ++sample) {
            const uint32_t word = mark | sample;
            frames[at++] = static_cast<uint8_t>(word >> 16); // left, low byte first
            frames[at++] = static_cast<uint8_t>(word >> 24);
            frames[at++] = static_cast<uint8_t>(word); // right
            frames[at++] = static_cast<uint8_t>(word >> 8);
        }
    }
    return true;
}

std::shared_ptr<const AudioSource> SharedPatternSource() {
    static const std::shared_ptr<const AudioSource> pattern = std::make_shared<PatternSource>();
    return pattern;
}

} // namespace vdrive
