// Measures the files a cue sheet names: how many bytes of audio samples or sectors they hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vdrive {

struct MediaFileContent {
    uint64_t bytes = 0;        // sample or sector bytes, headers left out
    bool decodedAudio = false; // WAV, FLAC, AIFF: 2352 bytes a frame whatever the track type says
};

// `fileType` is the type the sheet gives (BINARY, MOTOROLA, WAVE, AIFF, FLAC, MP3). The content
// decides how the file is read: a WAV file stays a WAV file whatever the sheet calls it. A file
// that is neither WAV, FLAC nor AIFF counts as raw bytes when the sheet calls it BINARY or
// MOTOROLA. Returns false with a short reason when the length cannot be told.
bool MeasureMediaFile(const std::filesystem::path& path, const std::string& fileType,
                      MediaFileContent& content, std::string& problem);

} // namespace vdrive
