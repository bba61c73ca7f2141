// Where a disc image's audio comes from: frames by LBA, as READ CD delivers CD-DA. The test
// pattern lives here; cue sheets read their files and the demo discs synthesize their music
// through the same interface. An image without a source is silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vdrive {

inline constexpr size_t kSamplesPerFrame = 588; // stereo samples in 1/75 s at 44.1 kHz
inline constexpr size_t kFrameBytes = 2352;     // 588 samples x 2 channels x 16 bits

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Fills `frames`, a whole number of kFrameBytes, with the audio from `lba` on: per frame 588
    // stereo samples, left then right, 16-bit little-endian. False when the audio cannot be read
    // (a missing or short file, an injected fault); `frames` may then hold anything. Called from
    // any thread, also from several at once: images are copied, so drives share their source.
    virtual bool ReadFrames(int32_t lba, std::span<uint8_t> frames) const = 0;
};

// The test pattern, which tells every frame and every sample in it from any other: stereo
// sample s (0-587) of frame `lba` holds the 32-bit word ((lba + 150) << 10) | s, its high half
// as the left sample and its low half as the right one.
class PatternSource final : public AudioSource {
public:
    bool ReadFrames(int32_t lba, std::span<uint8_t> frames) const override;
};

// One pattern source that every image made by MakeAudioDisc shares.
std::shared_ptr<const AudioSource> SharedPatternSource();

} // namespace vdrive
