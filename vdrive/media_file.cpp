// Lengths of WAV (RIFF chunks walked, not a fixed header size), FLAC (STREAMINFO), AIFF (COMM)
// and raw files. Compressed audio other than FLAC would need decoding and is refused.
#include "vdrive/media_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

namespace vdrive {
namespace {

constexpr uint32_t kCdRate = 44100;
constexpr uint32_t kCdChannels = 2;
constexpr uint32_t kCdBits = 16;
constexpr uint64_t kBytesPerSampleFrame = 4; // 16-bit stereo

using Bytes = std::array<uint8_t, 64>;

bool ReadAt(std::ifstream& in, uint64_t offset, uint8_t* into, size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
    return static_cast<size_t>(in.gcount()) == count;
}

uint32_t Le16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}
uint32_t Be16(const uint8_t* p) {
    return uint32_t{p[0]} << 8 | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return Be16(p) << 16 | Be16(p + 2);
}

bool Tag(const uint8_t* p, const char* tag) {
    return p[0] == tag[0] && p[1] == tag[1] && p[2] == tag[2] && p[3] == tag[3];
}

std::string NotCdAudio(uint32_t rate, uint32_t bits, uint32_t channels) {
    return "holds " + std::to_string(rate) + " Hz, " + std::to_string(bits) + "-bit, " +
           std::to_string(channels) + "-channel audio, not CD audio (44100 Hz, 16-bit, 2 channels)";
}

bool MeasureWav(std::ifstream& in, uint64_t size, MediaFileContent& content, std::string& problem) {
    Bytes b{};
    bool haveFormat = false;
    for (uint64_t at = 12; at + 8 <= size;) {
        if (!ReadAt(in, at, b.data(), 8)) {
            break;
        }
        const uint64_t chunkSize = Le32(b.data() + 4);
        if (Tag(b.data(), "fmt ")) {
            if (chunkSize < 16 || !ReadAt(in, at + 8, b.data(), 16)) {
                problem = "has a damaged fmt chunk";
                return false;
            }
            const uint32_t tag = Le16(b.data());
            const uint32_t channels = Le16(b.data() + 2);
            const uint32_t rate = Le32(b.data() + 4);
            const uint32_t bits = Le16(b.data() + 14);
            if (tag != 0x0001 && tag != 0xFFFE) {
                problem = "holds compressed audio (format " + std::to_string(tag) + "), not PCM";
                return false;
            }
            if (channels != kCdChannels || rate != kCdRate || bits != kCdBits) {
                problem = NotCdAudio(rate, bits, channels);
                return false;
            }
            haveFormat = true;
        } else if (Tag(b.data(), "data")) {
            if (!haveFormat) {
                problem = "has no fmt chunk before its data";
                return false;
            }
            // A streamed file may claim more than it holds (0xFFFFFFFF): the file size wins.
            content.bytes = std::min(chunkSize, size - (at + 8));
            content.decodedAudio = true;
            return true;
        }
        at += 8 + chunkSize + (chunkSize & 1); // chunks are padded to an even size
    }
    problem = "is a WAV file without a data chunk";
    return false;
}

bool MeasureFlac(std::ifstream& in, uint64_t at, MediaFileContent& content, std::string& problem) {
    Bytes b{};
    // "fLaC", then the STREAMINFO block header and its 34 bytes.
    if (!ReadAt(in, at, b.data(), 4 + 4 + 34) || (b[4] & 0x7F) != 0) {
        problem = "is a FLAC file without STREAMINFO";
        return false;
    }
    const uint8_t* info = b.data() + 8;
    const uint32_t rate = uint32_t{info[10]} << 12 | uint32_t{info[11]} << 4 | info[12] >> 4;
    const uint32_t channels = ((info[12] >> 1) & 0x07u) + 1;
    const uint32_t bits = (((info[12] & 0x01u) << 4) | (info[13] >> 4)) + 1;
    const uint64_t samples = uint64_t{info[13] & 0x0Fu} << 32 | Be32(info + 14);
    if (channels != kCdChannels || rate != kCdRate || bits != kCdBits) {
        problem = NotCdAudio(rate, bits, channels);
        return false;
    }
    if (samples == 0) {
        problem = "is a FLAC file that does not record its length";
        return false;
    }
    content.bytes = samples * kBytesPerSampleFrame;
    content.decodedAudio = true;
    return true;
}

bool MeasureAiff(std::ifstream& in, uint64_t size, MediaFileContent& content,
                 std::string& problem) {
    // 44100 as the 80-bit extended float of the COMM chunk.
    constexpr std::array<uint8_t, 10> kRate44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    Bytes b{};
    for (uint64_t at = 12; at + 8 <= size;) {
        if (!ReadAt(in, at, b.data(), 8)) {
            break;
        }
        const uint64_t chunkSize = Be32(b.data() + 4);
        if (Tag(b.data(), "COMM")) {
            if (chunkSize < 18 || !ReadAt(in, at + 8, b.data(), 18)) {
                problem = "has a damaged COMM chunk";
                return false;
            }
            const uint32_t channels = Be16(b.data());
            const uint32_t bits = Be16(b.data() + 6);
            const bool cdRate = std::equal(kRate44100.begin(), kRate44100.end(), b.begin() + 8);
            if (channels != kCdChannels || bits != kCdBits || !cdRate) {
                problem =
                    "is an AIFF file that does not hold CD audio (44100 Hz, 16-bit, 2 channels)";
                return false;
            }
            content.bytes = uint64_t{Be32(b.data() + 2)} * kBytesPerSampleFrame;
            content.decodedAudio = true;
            return true;
        }
        at += 8 + chunkSize + (chunkSize & 1);
    }
    problem = "is an AIFF file without a COMM chunk";
    return false;
}

} // namespace

bool MeasureMediaFile(const std::filesystem::path& path, const std::string& fileType,
                      MediaFileContent& content, std::string& problem) {
    content = {};
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        problem = "is a folder, not a file";
        return false;
    }
    const uint64_t size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) {
        problem = "cannot be read";
        return false;
    }
    Bytes head{};
    const bool haveHead = ReadAt(in, 0, head.data(), 12);
    if (haveHead && Tag(head.data(), "RIFF") && Tag(head.data() + 8, "WAVE")) {
        return MeasureWav(in, size, content, problem);
    }
    if (haveHead && Tag(head.data(), "FORM") &&
        (Tag(head.data() + 8, "AIFF") || Tag(head.data() + 8, "AIFC"))) {
        return MeasureAiff(in, size, content, problem);
    }
    uint64_t flacAt = 0;
    if (haveHead && head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
        // An ID3v2 tag in front: its size is a 28-bit "syncsafe" number after a 10-byte header.
        flacAt = 10 + (uint64_t{head[6] & 0x7Fu} << 21 | uint64_t{head[7] & 0x7Fu} << 14 |
                       uint64_t{head[8] & 0x7Fu} << 7 | (head[9] & 0x7Fu));
    }
    std::array<uint8_t, 4> magic{};
    if (ReadAt(in, flacAt, magic.data(), 4) && Tag(magic.data(), "fLaC")) {
        return MeasureFlac(in, flacAt, content, problem);
    }
    if (fileType == "BINARY" || fileType == "MOTOROLA") {
        content.bytes = size;
        return true;
    }
    if (fileType == "MP3") {
        problem = "is MP3 audio, whose exact length cannot be told without decoding it";
    } else {
        problem = "is not a WAV, FLAC or AIFF file as its FILE type " + fileType + " says";
    }
    return false;
}

} // namespace vdrive
