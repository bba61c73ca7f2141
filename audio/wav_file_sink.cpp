// The WAV file output: a pacing thread takes what is due by the steady clock from every feed that
// plays, mixes it and appends it to the file.
#include "audio/wav_file_sink.h"

#include "drive/msf.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace audio {

namespace {

constexpr size_t kHeaderLength = 44;
constexpr auto kTick = std::chrono::milliseconds(20);
// After a stall (a suspended machine), no more than this is taken at once: the rest is skipped,
// as a sound card would.
constexpr int64_t kMostFramesAtOnce = kFramesPerSecond;
// The 32-bit sizes of the header end here: the file stops growing (about 6.7 hours).
constexpr uint64_t kMostDataBytes = 0xFFFFFFFFu - (kHeaderLength - 8);

void PutLe(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

std::array<uint8_t, kHeaderLength> Header(uint32_t dataBytes) {
    std::array<uint8_t, kHeaderLength> header{};
    std::memcpy(header.data(), "RIFF", 4);
    PutLe(&header[4], dataBytes + (kHeaderLength - 8), 4); // RIFF chunk size
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLe(&header[16], 16, 4);                          // fmt chunk size
    PutLe(&header[20], 1, 2);                           // PCM
    PutLe(&header[22], kChannels, 2);                   // channels
    PutLe(&header[24], kSampleRate, 4);                 // sample rate
    PutLe(&header[28], kSampleRate * kChannels * 2, 4); // byte rate
    PutLe(&header[32], kChannels * 2, 2);               // block align
    PutLe(&header[34], 16, 2);                          // bits per sample
    std::memcpy(&header[36], "data", 4);
    PutLe(&header[40], dataBytes, 4); // data chunk size
    return header;
}

// Cuts the file to `length` bytes, as far as the system lets it.
void Truncate(std::FILE* file, uint64_t length) {
#ifdef _WIN32
    _chsize_s(_fileno(file), static_cast<__int64>(length));
#else
    [[maybe_unused]] const int cut = ftruncate(fileno(file), static_cast<off_t>(length));
#endif
}

// Adds `frames` into `sum`, sample by sample (16-bit little-endian).
void MixInto(std::vector<int32_t>& sum, std::span<const uint8_t> frames) {
    for (size_t i = 0; i + 1 < frames.size(); i += 2) {
        sum[i / 2] += static_cast<int16_t>(frames[i] | frames[i + 1] << 8);
    }
}

} // namespace

class WavFileOutput::Sink final : public AudioSink {
public:
    Sink(WavFileOutput& output, PcmFeed& feed) : output_(output), feed_(feed) {
        output_.Attach(&feed_);
    }
    ~Sink() override { output_.Detach(&feed_); }
    void Wake() override { output_.Wake(); }

private:
    WavFileOutput& output_;
    PcmFeed& feed_;
};

std::unique_ptr<WavFileOutput> WavFileOutput::Open(const std::string& path, std::string& error,
                                                   Notice notice) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write the sound to " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // Unbuffered: a write that fails says so at once, and nothing of it is left in a buffer to
    // reach the file later, so the header can always be set to what the file holds.
    std::setvbuf(file, nullptr, _IONBF, 0);
    const auto header = Header(0);
    if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
        error = "cannot write the sound to " + path + ": " + std::strerror(errno);
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<WavFileOutput>(new WavFileOutput(file, path, std::move(notice)));
}

WavFileOutput::WavFileOutput(std::FILE* file, std::string path, Notice notice)
    : file_(file), path_(std::move(path)), notice_(std::move(notice)) {
    pacer_ = std::thread([this] { Run(); });
}

WavFileOutput::~WavFileOutput() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    woken_.notify_all();
    pacer_.join();
    WriteSizes();
    std::fclose(file_);
}

SinkFactory WavFileOutput::Factory() {
    return [this](PcmFeed& feed) -> std::unique_ptr<AudioSink> {
        return std::make_unique<Sink>(*this, feed);
    };
}

uint64_t WavFileOutput::FramesWritten() const {
    const std::lock_guard lock(mutex_);
    return framesWritten_;
}

void WavFileOutput::Attach(PcmFeed* feed) {
    const std::lock_guard lock(mutex_);
    feeds_.push_back(feed);
}

void WavFileOutput::Detach(PcmFeed* feed) {
    // The pacer holds the lock while it takes, so once this returns it takes from the feed no more.
    const std::lock_guard lock(mutex_);
    std::erase(feeds_, feed);
}

void WavFileOutput::Wake() {
    {
        const std::lock_guard lock(mutex_);
        wakeful_ = true;
    }
    woken_.notify_all();
}

void WavFileOutput::Run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    std::vector<uint8_t> frames;
    std::vector<int32_t> sum;
    std::vector<uint8_t> mixed;
    Clock::time_point anchor;
    int64_t framesSinceAnchor = 0;
    bool pacing = false;
    while (!quit_) {
        if (!pacing) {
            woken_.wait(lock, [this] { return quit_ || wakeful_; });
            wakeful_ = false;
            pacing = true;
            anchor = Clock::now();
            framesSinceAnchor = 0;
            continue;
        }
        woken_.wait_for(lock, kTick, [this] { return quit_; });
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - anchor).count();
        int64_t due = elapsed * kFramesPerSecond / 1000 - framesSinceAnchor;
        if (due > kMostFramesAtOnce) {
            framesSinceAnchor += due - kMostFramesAtOnce;
            due = kMostFramesAtOnce;
        }
        bool anyPlaying = false;
        size_t longest = 0;
        frames.resize(static_cast<size_t>(std::max<int64_t>(due, 0)) * kCdFrameBytes);
        sum.assign(frames.size() / 2, 0);
        for (PcmFeed* feed : feeds_) {
            if (!feed->Playing()) {
                continue;
            }
            anyPlaying = true;
            const size_t taken = feed->Take(frames);
            if (taken > 0) {
                longest = std::max(longest, taken);
                MixInto(sum, std::span<const uint8_t>(frames).first(taken * kCdFrameBytes));
            }
        }
        framesSinceAnchor += due > 0 ? due : 0;
        if (longest > 0) {
            mixed.resize(longest * kCdFrameBytes);
            for (size_t i = 0; i < mixed.size() / 2; ++i) {
                const int32_t sample = std::clamp(sum[i], -32768, 32767); // one feed: as it is
                mixed[2 * i] = static_cast<uint8_t>(sample);
                mixed[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
            }
            Write(mixed);
        }
        if (!anyPlaying && !wakeful_) {
            pacing = false; // nothing plays: wait for the next play without writing silence
        }
        wakeful_ = false;
    }
}

void WavFileOutput::Write(std::span<const uint8_t> frames) {
    if (full_) {
        return;
    }
    const uint64_t room = kMostDataBytes - framesWritten_ * kCdFrameBytes;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(frames.size(), room)) /
                          kCdFrameBytes * kCdFrameBytes;
    if (length > 0) {
        // A write cut short (the disk or the file size limit reached within these frames) keeps
        // the whole frames it wrote: the file ends with every frame that fitted.
        const size_t written = std::fwrite(frames.data(), 1, length, file_);
        if (written != length) {
            framesWritten_ += written / kCdFrameBytes;
            StopGrowing(std::strerror(errno));
            return;
        }
        framesWritten_ += length / kCdFrameBytes;
        if (const int error = WriteSizes(); error != 0) {
            framesWritten_ -= length / kCdFrameBytes; // the frames the header can still be set to
            StopGrowing(std::strerror(error));
            return;
        }
    }
    if (length < frames.size()) {
        StopGrowing("a WAV file holds at most 4 GiB");
    }
}

int WavFileOutput::WriteSizes() {
    // The sizes in the header follow the data at once, so that the file is whole whenever the
    // program ends.
    const auto header = Header(static_cast<uint32_t>(framesWritten_ * kCdFrameBytes));
    int error = 0;
    if (std::fseek(file_, 4, SEEK_SET) != 0 || std::fwrite(&header[4], 1, 4, file_) != 4 ||
        std::fseek(file_, 40, SEEK_SET) != 0 || std::fwrite(&header[40], 1, 4, file_) != 4) {
        error = errno;
    }
    std::fseek(file_, 0, SEEK_END);
    return error;
}

void WavFileOutput::StopGrowing(const std::string& reason) {
    full_ = true;
    // A write cut short leaves part of a frame in the file, and a header write that failed may
    // leave sizes of neither count: the file goes back to the whole frames, the header with it
    // (cutting frees room, and the header is rewritten in place).
    std::clearerr(file_);
    Truncate(file_, kHeaderLength + framesWritten_ * kCdFrameBytes);
    WriteSizes();
    if (notice_) {
        notice_("cannot write more sound to " + path_ + ": " + reason +
                "; the play goes on unheard");
    }
}

} // namespace audio
