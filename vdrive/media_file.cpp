// Measuring and reading the files a cue sheet names. libsndfile decodes every audio format it
// knows (WAV, AIFF, FLAC, Ogg ...) and libmpg123 MPEG audio (MP3) to 16-bit samples; raw sectors
// are read as they lie.
#include "vdrive/media_file.h"

#ifdef _WIN32
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <windows.h>
#endif
#include <mpg123.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
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

bool MpegSync(char first, char second) {
    return static_cast<uint8_t>(first) == 0xFF && (static_cast<uint8_t>(second) & 0xE0) == 0xE0;
}

// How a file starts: with the tag of a container libsndfile reads, with MPEG audio (a frame, or
// an ID3v2 tag and then a frame), or otherwise. Files of the last kind never reach a decoder,
// whose last guess would take raw samples for MPEG audio.
Start StartOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, 10> head{};
    in.read(head.data(), head.size());
    const std::streamsize got = in.gcount();
    if (got < 4) {
        return Start::kUnknown;
    }
    const std::string_view tag(head.data(), 4);
    if (tag.starts_with("ID3") && got == 10) {
        // The tag's size takes 7 bits of each of 4 bytes; a footer of 10 bytes may follow it.
        uint64_t size = 10 + ((head[5] & 0x10) != 0 ? 10 : 0);
        for (size_t at = 6; at < 10; ++at) {
            size += uint64_t(head[at] & 0x7F) << (7 * (9 - at));
        }
        std::array<char, 2> after{};
        in.clear();
        in.seekg(static_cast<std::streamoff>(size));
        in.read(after.data(), after.size());
        return in.gcount() == 2 && MpegSync(after[0], after[1]) ? Start::kMpegFrame
                                                                : Start::kContainer;
    }
    for (const std::string_view known :
         {"RIFF", "RIFX", "RF64", "FORM", "fLaC", "OggS", "caff", "riff", ".snd", "ID3"}) {
        if (tag.starts_with(known)) {
            return Start::kContainer;
        }
    }
    return MpegSync(head[0], head[1]) ? Start::kMpegFrame : Start::kUnknown;
}

struct MpegCloser {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using MpegHandle = std::unique_ptr<mpg123_handle, MpegCloser>;

struct MpegFormat {
    long rate = kCdRate;
    int channels = 2;
    int64_t frames = 0; // sample frames
};

// MPEG audio opened for decoding to floats, with its length scanned frame by frame (the Xing
// header of a file cut short tells the length of the whole). The decoder is told to keep quiet:
// through libsndfile it wrote its warnings about a damaged stream on the user's terminal. A file
// without one whole frame opens with no frames; nullptr with `problem` when it cannot be read.
MpegHandle OpenMpeg(const fs::path& path, MpegFormat& format, std::string& problem) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    format = {};
    int error = MPG123_OK;
    MpegHandle handle(mpg123_new(nullptr, &error));
    if (!handle) {
        problem = mpg123_plain_strerror(error);
        return nullptr;
    }
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT,
                 0.0);
    mpg123_param(handle.get(), MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
#ifdef _WIN32
    const std::string name(reinterpret_cast<const char*>(path.u8string().c_str()));
#else
    const std::string name = path.string();
#endif
    int encoding = 0;
    if (mpg123_open(handle.get(), name.c_str()) != MPG123_OK) {
        problem = mpg123_strerror(handle.get());
        return nullptr;
    }
    const int found = mpg123_getformat(handle.get(), &format.rate, &format.channels, &encoding);
    if (found == MPG123_DONE) {
        format = {}; // not one whole frame: no audio
        return handle;
    }
    if (found != MPG123_OK || mpg123_scan(handle.get()) != MPG123_OK) {
        problem = mpg123_strerror(handle.get());
        return nullptr;
    }
    format.frames = mpg123_length(handle.get());
    return handle;
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
        problem = "is not an audio file (WAV, AIFF, FLAC, MP3, Ogg ...) as its FILE type " +
                  fileType + " says";
        return false;
    }
    int64_t rate = 0;
    int channels = 0;
    int64_t frames = 0;
    if (start == Start::kMpegFrame) {
        MpegFormat format;
        std::string reason;
        if (!OpenMpeg(path, format, reason)) {
            problem = "cannot be read as MPEG audio: " + reason;
            return false;
        }
        rate = format.rate;
        channels = format.channels;
        frames = format.frames;
        content.mpeg = true;
    } else {
        SF_INFO info{};
        std::string reason;
        SNDFILE* sound = OpenSound(path, info, &reason);
        if (sound == nullptr) {
            problem = "cannot be read as audio: " + reason;
            return false;
        }
        sf_close(sound);
        rate = info.samplerate;
        channels = info.channels;
        frames = info.frames == SF_COUNT_MAX ? -1 : info.frames;
    }
    if (rate != kCdRate || (channels != 1 && channels != 2)) {
        problem = "is " + std::to_string(rate) + " Hz, " + Channels(channels) +
                  ": a disc holds 44100 Hz audio, stereo or mono";
        return false;
    }
    if (frames < 0) {
        problem = "does not tell how long its audio is";
        return false;
    }
    content.bytes = static_cast<uint64_t>(frames) * kBytesPerSampleFrame;
    content.decodedAudio = true;
    content.channels = channels;
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
    if (mpeg_ != nullptr) {
        mpg123_delete(mpeg_);
        mpeg_ = nullptr;
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
    // Replaced by audio of another kind, rate or layout since it was measured: that would play as
    // noise.
    position_ = 0;
    if (content_.mpeg) {
        MpegFormat format;
        std::string problem;
        MpegHandle handle = OpenMpeg(path_, format, problem);
        if (!handle || format.rate != kCdRate || format.channels != content_.channels) {
            return false;
        }
        mpeg_ = handle.release();
        return true;
    }
    SF_INFO info{};
    sound_ = OpenSound(path_, info, nullptr);
    if (sound_ == nullptr) {
        return false;
    }
    if (info.samplerate != kCdRate || info.channels != content_.channels) {
        Close();
        return false;
    }
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
    const auto first = static_cast<int64_t>(offset / kBytesPerSampleFrame);
    const auto count = static_cast<int64_t>(into.size() / kBytesPerSampleFrame);
    if (!Decode(first, count)) {
        return false;
    }
    const auto channels = static_cast<size_t>(content_.channels);
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

bool MediaFileReader::Decode(int64_t first, int64_t count) {
    samples_.resize(static_cast<size_t>(count) * static_cast<size_t>(content_.channels));
    // Play reads one chunk after the other: seek only on a jump, decoders seek slowly.
    if (first != position_) {
        const int64_t at = content_.mpeg
                               ? int64_t{mpg123_seek(mpeg_, static_cast<off_t>(first), SEEK_SET)}
                               : int64_t{sf_seek(sound_, first, SEEK_SET)};
        if (at != first) {
            return false;
        }
        position_ = first;
    }
    // As floats, full scale 1.0, whatever the file holds: libsndfile hands over floating-point
    // files as 16-bit samples unscaled (1.0 as 1), which would play as silence. 16-bit samples
    // come back exactly as they were.
    if (content_.mpeg) {
        auto* const out = reinterpret_cast<unsigned char*>(samples_.data());
        const size_t wanted = samples_.size() * sizeof(float);
        size_t got = 0;
        int result = MPG123_OK;
        while (got < wanted && (result == MPG123_OK || result == MPG123_NEW_FORMAT)) {
            size_t done = 0;
            result = mpg123_read(mpeg_, out + got, wanted - got, &done);
            got += done;
        }
        if (got != wanted) {
            return false;
        }
    } else if (sf_readf_float(sound_, samples_.data(), count) != count) {
        return false;
    }
    position_ += count;
    return true;
}

} // namespace vdrive
