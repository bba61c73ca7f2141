// Measuring and reading the files a cue sheet names. libsndfile decodes every audio format it
// knows (WAV, AIFF, FLAC, MP3, Ogg ...) to 16-bit samples; raw sectors are read as they lie.
#include "vdrive/media_file.h"

#ifdef _WIN32
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <windows.h>
#endif
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <string_view>
#include <system_error>

namespace vdrive {
namespace {

namespace fs = std::filesystem;

constexpr int kCdRate = 44100;
constexpr uint64_t kBytesPerSampleFrame = 4; // 16-bit stereo

// libsndfile keeps the reason of a failed open in one variable for the whole program.
std::mutex& OpenMutex() {
    static std::mutex mutex;
    return mutex;
}

SNDFILE* OpenSound(const fs::path& path, SF_INFO& info, std::string* problem) {
    const std::lock_guard<std::mutex> lock(OpenMutex());
    info = {};
#ifdef _WIN32
    SNDFILE* sound = sf_wchar_open(path.c_str(), SFM_READ, &info);
#else
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
#endif
    if (sound == nullptr && problem != nullptr) {
        std::string reason = sf_strerror(nullptr);
        while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) {
            reason.pop_back();
        }
        *problem = reason;
    }
    return sound;
}

enum class Start { kUnknown, kContainer, kMpegFrame };

// How a file starts: with the tag of a container libsndfile reads, with an MPEG frame, or
// otherwise. Files of the last kind never reach libsndfile, whose last guess takes raw samples
// for MPEG audio (and lets its decoder talk on standard error).
Start StartOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, 4> head{};
    in.read(head.data(), head.size());
    if (in.gcount() < static_cast<std::streamsize>(head.size())) {
        return Start::kUnknown;
    }
    const std::string_view tag(head.data(), head.size());
    for (const std::string_view known :
         {"RIFF", "RIFX", "RF64", "FORM", "fLaC", "OggS", "caff", "riff", ".snd", "ID3"}) {
        if (tag.starts_with(known)) {
            return Start::kContainer;
        }
    }
    const auto first = static_cast<uint8_t>(head[0]);
    const auto second = static_cast<uint8_t>(head[1]);
    return first == 0xFF && (second & 0xE0) == 0xE0 ? Start::kMpegFrame : Start::kUnknown;
}

// Samples beyond full scale are held there, not wrapped round to the other sign (a crack).
uint16_t Sample16(float sample) {
    const long scaled = std::lround(double{sample} * 32768.0);
    return static_cast<uint16_t>(static_cast<int16_t>(std::clamp(scaled, -32768L, 32767L)));
}

std::string Channels(int channels) {
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

} // namespace

bool MeasureMediaFile(const fs::path& path, const std::string& fileType, MediaFileContent& content,
                      std::string& problem) {
    content = {};
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        problem = "is a folder, not a file";
        return false;
    }
    const uint64_t size = fs::file_size(path, ec);
    if (ec || !std::ifstream(path, std::ios::binary)) {
        problem = "cannot be read";
        return false;
    }
    const Start start = StartOf(path);
    if ((fileType == "BINARY" || fileType == "MOTOROLA") && start != Start::kContainer) {
        content.bytes = size;
        content.bigEndian = fileType == "MOTOROLA";
        return true;
    }
    if (start == Start::kUnknown) {
        problem = "is not a WAV, AIFF, FLAC or MP3 file as its FILE type " + fileType + " says";
        return false;
    }
    SF_INFO info{};
    std::string reason;
    SNDFILE* sound = OpenSound(path, info, &reason);
    if (sound == nullptr) {
        problem = "cannot be read as audio: " + reason;
        return false;
    }
    sf_close(sound);
    if (info.samplerate != kCdRate || (info.channels != 1 && info.channels != 2)) {
        problem = "is " + std::to_string(info.samplerate) + " Hz, " + Channels(info.channels) +
                  ": a disc holds 44100 Hz audio, stereo or mono";
        return false;
    }
    if (info.frames < 0 || info.frames == SF_COUNT_MAX) {
        problem = "does not tell how long its audio is";
        return false;
    }
    content.bytes = static_cast<uint64_t>(info.frames) * kBytesPerSampleFrame;
    content.decodedAudio = true;
    content.channels = info.channels;
    return true;
}

MediaFileReader::MediaFileReader(fs::path path, const MediaFileContent& content)
    : path_(std::move(path)), content_(content) {}

MediaFileReader::~MediaFileReader() {
    Close();
}

void MediaFileReader::Close() {
    if (sound_ != nullptr) {
        sf_close(sound_);
        sound_ = nullptr;
    }
    raw_.close();
    raw_.clear();
    position_ = 0;
}

bool MediaFileReader::Open() {
    if (IsOpen()) {
        return true;
    }
    if (!content_.decodedAudio) {
        raw_.open(path_, std::ios::binary);
        return raw_.is_open();
    }
    SF_INFO info{};
    sound_ = OpenSound(path_, info, nullptr);
    if (sound_ == nullptr) {
        return false;
    }
    // Replaced by audio of another rate or layout since it was measured: that would play as
    // noise.
    if (info.samplerate != kCdRate || info.channels != content_.channels) {
        Close();
        return false;
    }
    position_ = 0;
    return true;
}

bool MediaFileReader::Read(uint64_t offset, std::span<uint8_t> into) {
    const uint64_t held =
        offset < content_.bytes ? std::min<uint64_t>(into.size(), content_.bytes - offset) : 0;
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(held), into.end(), uint8_t{0});
    if (held == 0) {
        return true;
    }
    const std::span<uint8_t> part = into.first(static_cast<size_t>(held));
    const bool ok =
        Open() && (content_.decodedAudio ? ReadDecoded(offset, part) : ReadRaw(offset, part));
    if (!ok) {
        Close();
    }
    return ok;
}

bool MediaFileReader::ReadRaw(uint64_t offset, std::span<uint8_t> into) {
    raw_.clear();
    raw_.seekg(static_cast<std::streamoff>(offset));
    raw_.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
    if (static_cast<size_t>(raw_.gcount()) != into.size()) {
        return false;
    }
    if (content_.bigEndian) {
        for (size_t at = 0; at + 1 < into.size(); at += 2) {
            std::swap(into[at], into[at + 1]);
        }
    }
    return true;
}

bool MediaFileReader::ReadDecoded(uint64_t offset, std::span<uint8_t> into) {
    if (offset % kBytesPerSampleFrame != 0 || into.size() % kBytesPerSampleFrame != 0) {
        return false; // frames start on whole samples
    }
    const auto first = static_cast<sf_count_t>(offset / kBytesPerSampleFrame);
    const auto count = static_cast<sf_count_t>(into.size() / kBytesPerSampleFrame);
    // Play reads one chunk after the other: seek only on a jump, decoders seek slowly.
    if (first != position_) {
        if (sf_seek(sound_, first, SEEK_SET) != first) {
            return false;
        }
        position_ = first;
    }
    const auto channels = static_cast<size_t>(content_.channels);
    samples_.resize(static_cast<size_t>(count) * channels);
    // As floats, full scale 1.0, whatever the file holds: libsndfile hands over floating-point
    // files as 16-bit samples unscaled (1.0 as 1), which would play as silence. 16-bit samples
    // come back exactly as they were.
    const sf_count_t got = sf_readf_float(sound_, samples_.data(), count);
    if (got != count) {
        return false;
    }
    position_ += got;
    size_t at = 0;
    for (size_t frame = 0; frame < static_cast<size_t>(count); ++frame) {
        const uint16_t left = Sample16(samples_[frame * channels]);
        const uint16_t right = Sample16(samples_[frame * channels + channels - 1]);
        into[at++] = static_cast<uint8_t>(left);
        into[at++] = static_cast<uint8_t>(left >> 8);
        into[at++] = static_cast<uint8_t>(right);
        into[at++] = static_cast<uint8_t>(right >> 8);
    }
    return true;
}

} // namespace vdrive
