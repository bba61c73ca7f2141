// The audio of a disc loaded from a cue sheet: where each stretch of the disc lies in the files
// the sheet names. The files are read only when frames are asked for, never held in memory.
#pragma once

#include "vdrive/audio_source.h"
#include "vdrive/media_file.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace vdrive {

// A stretch of the disc whose frames follow one another in one file.
struct SheetAudioPiece {
    int32_t lba = 0; // its first frame on the disc
    int32_t frames = 0;
    size_t file = 0;               // into the source's files
    uint64_t offset = 0;           // byte of its first frame in the file's audio
    uint32_t stride = kFrameBytes; // bytes from one frame to the next there (2448 for CD+G)
};

struct SheetAudioFile {
    std::filesystem::path path; // empty: the file was not found, its frames cannot be read
    MediaFileContent content;
};

class SheetAudioSource final : public AudioSource {
public:
    // `pieces` in disc order and apart; frames outside every piece (PREGAP, POSTGAP) are silence.
    SheetAudioSource(const std::vector<SheetAudioFile>& files, std::vector<SheetAudioPiece> pieces);

    bool ReadFrames(int32_t lba, std::span<uint8_t> frames) const override;

private:
    bool ReadPiece(const SheetAudioPiece& piece, int32_t from, std::span<uint8_t> frames) const;
    MediaFileReader* Reader(size_t file) const;

    std::vector<SheetAudioPiece> pieces_;
    // Readers are shared by every drive that holds a copy of the image and by every thread that
    // reads it: one at a time.
    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<MediaFileReader>> readers_; // null: a missing file
    mutable std::vector<uint64_t> lastUse_;
    mutable uint64_t uses_ = 0;
};

} // namespace vdrive
