// The WAV file output: a pump on a thread of its own takes what is due by the steady clock from
// every feed that plays, mixes it, and the file appends it.
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
constexpr auto kTick = std::chrono::milliseconds(20); // what is due is written this often
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

} // namespace

class WavFileOutput::File final : public PumpChannel {
public:
    explicit File(WavFileOutput& output) : output_(output) {}
    void Start() override {}
    void Stop() override {}
    std::optional<size_t> Room() override { return std::nullopt; } // in real time, by the clock
    void Write(std::span<const uint8_t> frames) override { output_.Write(frames); }
    size_t Unheard() override { return 0; }
    bool Draining() override { return true; }
    std::chrono::milliseconds Interval() override { return kTick; }

private:
    WavFileOutput& output_;
};

class WavFileOutput::Sink final : public AudioSink {
public:
    Sink(WavFileOutput& output, PcmFeed& feed) : output_(output), feed_(feed) {
        output_.pump_.AddFeed(output_.channel_, feed_);
    }
    // Once this returns, the pump takes from the feed no more.
    ~Sink() override { output_.pump_.RemoveFeed(output_.channel_, feed_); }
    void Wake() override { output_.pump_.Wake(output_.channel_); }

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
    channel_ = pump_.AddChannel(std::make_unique<File>(*this));
    pacer_ = std::thread([this] { pump_.Run(); });
}

WavFileOutput::~WavFileOutput() {
    pump_.Quit();
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

void WavFileOutput::Write(std::span<const uint8_t> frames) {
    const std::lock_guard lock(mutex_);
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
