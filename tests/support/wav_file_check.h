// Test helper: whether a file is a whole WAV file of CD audio whose header tells its length.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// "" when `file` is a whole 44.1 kHz 16-bit stereo PCM WAV file whose sizes match its length.
inline std::string WavProblem(std::span<const uint8_t> file) {
    const auto text = [&file](size_t at, size_t length) {
        return std::string(file.begin() + static_cast<std::ptrdiff_t>(at),
                           file.begin() + static_cast<std::ptrdiff_t>(at + length));
    };
    const auto le32 = [&file](size_t at) {
        return file[at] | uint32_t{file[at + 1]} << 8 | uint32_t{file[at + 2]} << 16 |
               uint32_t{file[at + 3]} << 24;
    };
    if (file.size() < 44 || text(0, 4) != "RIFF" || text(8, 8) != "WAVEfmt " ||
        text(36, 4) != "data") {
        return "no WAV header";
    }
    if (le32(16) != 16 || le32(20) != (2u << 16 | 1u) || le32(24) != 44100 || le32(28) != 176400 ||
        le32(32) != (16u << 16 | 4u)) {
        return "not CD audio";
    }
    if (le32(4) != file.size() - 8 || le32(40) != file.size() - 44) {
        return "sizes " + std::to_string(le32(4)) + "/" + std::to_string(le32(40)) + " for " +
               std::to_string(file.size()) + " bytes";
    }
    return "";
}
