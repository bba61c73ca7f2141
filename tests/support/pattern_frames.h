// Reads CD-DA bytes back as the virtual drive's test pattern: stereo sample s of frame `lba`
// holds the word ((lba + 150) << 10) | s, high half left, low half right, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// "" when `bytes` are exactly the whole frames from `firstLba` on; otherwise where they differ.
inline std::string PatternMismatch(std::span<const uint8_t> bytes, int32_t firstLba) {
    constexpr size_t kFrameBytes = 2352;
    if (bytes.size() % kFrameBytes != 0) {
        return std::to_string(bytes.size()) + " bytes are no whole number of frames";
    }
    for (size_t at = 0; at < bytes.size(); at += 4) {
        const uint32_t left = bytes[at] | uint32_t{bytes[at + 1]} << 8;
        const uint32_t right = bytes[at + 2] | uint32_t{bytes[at + 3]} << 8;
        const uint32_t word = left << 16 | right;
        const int64_t lba = int64_t{word >> 10} - 150;
        const uint32_t sample = word & 0x3FF;
        const int64_t wantedLba = firstLba + static_cast<int64_t>(at / kFrameBytes);
        const uint32_t wantedSample = static_cast<uint32_t>(at % kFrameBytes / 4);
        if (lba != wantedLba || sample != wantedSample) {
            return "byte " + std::to_string(at) + " holds sample " + std::to_string(sample) +
                   " of frame " + std::to_string(lba) + " instead of sample " +
                   std::to_string(wantedSample) + " of frame " + std::to_string(wantedLba);
        }
    }
    return "";
}

// What `bytes` hold, frame by frame, as runs: "first+count" for consecutive frames of the pattern
// from `first` on, "silence+count" for frames of zeros, "noise+count" for anything else; e.g.
// "0+150 2000+75 silence+27".
inline std::string PatternRuns(std::span<const uint8_t> bytes) {
    constexpr size_t kFrameBytes = 2352;
    std::string runs;
    std::string kind; // of the current run
    int64_t next = 0; // the frame that would continue a pattern run
    int64_t count = 0;
    auto close = [&] {
        if (count > 0) {
            runs += (runs.empty() ? "" : " ") + kind + "+" + std::to_string(count);
        }
    };
    for (size_t at = 0; at + kFrameBytes <= bytes.size(); at += kFrameBytes) {
        const std::span<const uint8_t> frame = bytes.subspan(at, kFrameBytes);
        const uint32_t word =
            (frame[0] | uint32_t{frame[1]} << 8) << 16 | (frame[2] | uint32_t{frame[3]} << 8);
        const int64_t lba = int64_t{word >> 10} - 150;
        std::string frameKind = "noise";
        bool silent = true;
        for (uint8_t byte : frame) {
            silent = silent && byte == 0;
        }
        if (silent) {
            frameKind = "silence";
        } else if (PatternMismatch(frame, static_cast<int32_t>(lba)).empty()) {
            frameKind = "pattern";
        }
        const bool continues = frameKind == "pattern" ? (kind != "silence" && kind != "noise" &&
                                                         count > 0 && lba == next)
                                                      : frameKind == kind;
        if (!continues) {
            close();
            kind = frameKind == "pattern" ? std::to_string(lba) : frameKind;
            count = 0;
        }
        ++count;
        next = lba + 1;
    }
    close();
    return runs;
}
