// The wave output sink. Each drive that plays digitally gets a wave output, a channel of a pump
// (audio/pump.h) on a thread of its own. The output keeps up to eight buffers of 8 frames (about
// 0.85 s) queued on the device; the pump tops them up as the device hands them back, and sleeps
// in between, so the thread wakes a few times a second. The device is asked how much it has
// played (waveOutGetPosition), so that the play's position is what has been heard.
//
// A play that starts, stops or jumps drops what is queued (waveOutReset), so it is heard at once.
// When the device cannot be opened or fails, the pump goes on by its clock: the play goes on
// unheard at its own pace, so the window still moves and the play still ends.
#include "audio/waveout_sink.h"

#include "audio/pump.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace audio {

namespace {

constexpr size_t kBuffers = 8;
constexpr size_t kFramesPerBuffer = 8;
constexpr std::chrono::milliseconds kInterval(400); // about half of what is queued

WAVEFORMATEX CdFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kChannels;
    format.nSamplesPerSec = kSampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(kChannels * 2);
    format.nAvgBytesPerSec = kSampleRate * format.nBlockAlign;
    return format;
}

// One drive's wave output. Made, used and destroyed on its pump's thread.
class WaveOutChannel final : public PumpChannel {
public:
    WaveOutChannel() {
        for (auto& buffer : data_) {
            buffer.resize(kFramesPerBuffer * kCdFrameBytes);
        }
    }
    ~WaveOutChannel() override { Close(); }
    WaveOutChannel(const WaveOutChannel&) = delete;
    WaveOutChannel& operator=(const WaveOutChannel&) = delete;

    void Start() override {
        if (!Open()) {
            return;
        }
        Drop(); // a jump: what is queued of the play before is dropped
    }

    void Stop() override { Drop(); }

    std::optional<size_t> Room() override {
        if (device_ == nullptr || failed_) {
            return std::nullopt; // no device: the pump's clock says what is due
        }
        size_t free = 0;
        for (size_t i = 0; i < kBuffers; ++i) {
            free += Free(i) ? kFramesPerBuffer : 0;
        }
        return free;
    }

    void Write(std::span<const uint8_t> frames) override {
        for (size_t i = 0; i < kBuffers && !frames.empty() && !failed_; ++i) {
            if (!Free(i)) {
                continue;
            }
            const size_t bytes = std::min(frames.size(), data_[i].size());
            std::copy_n(frames.begin(), bytes, data_[i].begin());
            frames = frames.subspan(bytes);
            headers_[i].dwBufferLength = static_cast<DWORD>(bytes);
            headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            if (waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                failed_ = true; // the device went away: the play goes on unheard
                return;
            }
            queued_[i] = true;
            written_ += bytes / kCdFrameBytes;
        }
    }

    size_t Unheard() override {
        MMTIME position{};
        position.wType = TIME_BYTES;
        if (waveOutGetPosition(device_, &position, sizeof(position)) == MMSYSERR_NOERROR &&
            position.wType == TIME_BYTES) {
            const size_t played = position.u.cb / kCdFrameBytes;
            return written_ > played ? written_ - played : 0;
        }
        // A driver that cannot say: every buffer not handed back yet is not heard yet.
        size_t unheard = 0;
        for (size_t i = 0; i < kBuffers; ++i) {
            unheard += Free(i) ? 0 : headers_[i].dwBufferLength / kCdFrameBytes;
        }
        return unheard;
    }

    bool Draining() override { return written_ > 0; } // the device plays what it is given at once

    std::chrono::milliseconds Interval() override { return kInterval; }

private:
    bool Free(size_t i) const { return !queued_[i] || (headers_[i].dwFlags & WHDR_DONE) != 0; }

    bool Open() {
        if (device_ != nullptr || failed_) {
            return device_ != nullptr && !failed_;
        }
        WAVEFORMATEX format = CdFormat();
        if (waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            device_ = nullptr;
            failed_ = true;
            return false;
        }
        for (size_t i = 0; i < kBuffers; ++i) {
            headers_[i] = WAVEHDR{};
            headers_[i].lpData = reinterpret_cast<LPSTR>(data_[i].data());
            headers_[i].dwBufferLength = static_cast<DWORD>(data_[i].size());
            waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        }
        return true;
    }

    // Drops what is queued; the device's position starts again from 0.
    void Drop() {
        if (device_ != nullptr) {
            waveOutReset(device_);
        }
        queued_.fill(false);
        written_ = 0;
    }

    void Close() {
        if (device_ == nullptr) {
            return;
        }
        waveOutReset(device_);
        for (auto& header : headers_) {
            waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
        }
        waveOutClose(device_);
        device_ = nullptr;
    }

    HWAVEOUT device_ = nullptr;
    bool failed_ = false;
    std::array<WAVEHDR, kBuffers> headers_{};
    std::array<std::vector<uint8_t>, kBuffers> data_;
    std::array<bool, kBuffers> queued_{};
    size_t written_ = 0; // frames written since the last drop
};

class WaveOutSink final : public AudioSink {
public:
    explicit WaveOutSink(PcmFeed& feed)
        : channel_(pump_.AddChannel(std::make_unique<WaveOutChannel>())) {
        pump_.AddFeed(channel_, feed);
        thread_ = std::thread([this] { pump_.Run(); });
    }

    // The output is closed on its thread; once this returns the feed is not used.
    ~WaveOutSink() override {
        pump_.Quit();
        thread_.join();
    }

    WaveOutSink(const WaveOutSink&) = delete;
    WaveOutSink& operator=(const WaveOutSink&) = delete;

    void Wake() override { pump_.Wake(channel_); }

private:
    Pump pump_;
    const Pump::ChannelId channel_;
    std::thread thread_;
};

} // namespace

std::string SoundOutputProblem() {
    if (waveOutGetNumDevs() == 0) {
        return "no sound output (no sound device)";
    }
    return "";
}

SinkFactory SoundCardSinks() {
    return [](PcmFeed& feed) -> std::unique_ptr<AudioSink> {
        return std::make_unique<WaveOutSink>(feed);
    };
}

} // namespace audio
