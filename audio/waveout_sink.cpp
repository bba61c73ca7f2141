// The wave output sink. Each drive that plays digitally gets an output and a thread of its own
// that keeps four buffers of about 67 ms queued on the device (a quarter of a second, as the Qt
// build asks for), refilling each as the device hands it back. The device signals an event when
// a buffer is done, and a wake-up sets the same event, so the thread sleeps until there is work
// or a tick of 20 ms has passed (a feed that had nothing ready is asked again then).
//
// A pause or a stop drops what is queued (waveOutReset), so it is heard at once. When the device
// cannot be opened or fails, the play goes on unheard at its own pace, so the window still moves
// and the play still ends.
#include "audio/waveout_sink.h"

#include "drive/msf.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace audio {

namespace {

constexpr size_t kBuffers = 4;
constexpr size_t kFramesPerBuffer = 5; // 1/15 s
constexpr DWORD kTickMs = 20;

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

class WaveOutSink final : public AudioSink {
public:
    explicit WaveOutSink(PcmFeed& feed)
        : feed_(feed), event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        for (auto& buffer : data_) {
            buffer.resize(kFramesPerBuffer * kCdFrameBytes);
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~WaveOutSink() override {
        quit_ = true;
        SetEvent(event_);
        thread_.join();
        Close();
        CloseHandle(event_);
    }

    WaveOutSink(const WaveOutSink&) = delete;
    WaveOutSink& operator=(const WaveOutSink&) = delete;

    void Wake() override {
        woken_ = true;
        SetEvent(event_);
    }

private:
    void Run() {
        bool running = false;
        while (!quit_) {
            WaitForSingleObject(event_, running ? kTickMs : INFINITE);
            if (quit_) {
                break;
            }
            if (woken_.exchange(false) && !running) {
                running = true;
                unheardSince_.reset();
            }
            if (!running) {
                continue;
            }
            if (!feed_.Playing()) {
                Drop(); // what is queued is dropped: a pause is heard at once
                running = false;
                continue;
            }
            if (!Open() || failed_) {
                TakeUnheard();
            } else {
                Refill();
            }
        }
    }

    bool Open() {
        if (device_ != nullptr || failed_) {
            return device_ != nullptr;
        }
        WAVEFORMATEX format = CdFormat();
        if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                        CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            device_ = nullptr;
            failed_ = true;
            return false;
        }
        for (size_t i = 0; i < kBuffers; ++i) {
            headers_[i] = WAVEHDR{};
            headers_[i].lpData = reinterpret_cast<LPSTR>(data_[i].data());
            headers_[i].dwBufferLength = static_cast<DWORD>(data_[i].size());
            waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
            queued_[i] = false;
        }
        return true;
    }

    void Refill() {
        for (size_t i = 0; i < kBuffers; ++i) {
            if (queued_[i] && (headers_[i].dwFlags & WHDR_DONE) == 0) {
                continue;
            }
            queued_[i] = false;
            const size_t taken = feed_.Take(data_[i]);
            if (taken == 0) {
                return; // the reader is behind: asked again at the next tick
            }
            headers_[i].dwBufferLength = static_cast<DWORD>(taken * kCdFrameBytes);
            headers_[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            if (waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                failed_ = true; // the device went away: the play goes on unheard
                return;
            }
            queued_[i] = true;
        }
    }

    // Takes what is due by the clock since the output failed or the play started without one.
    void TakeUnheard() {
        const auto now = std::chrono::steady_clock::now();
        if (!unheardSince_) {
            unheardSince_ = std::make_unique<std::chrono::steady_clock::time_point>(now);
            framesUnheard_ = 0;
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - *unheardSince_).count();
        const int64_t due = elapsed * kFramesPerSecond / 1000 - framesUnheard_;
        if (due <= 0) {
            return;
        }
        scratch_.resize(static_cast<size_t>(due) * kCdFrameBytes);
        framesUnheard_ += static_cast<int64_t>(feed_.Take(scratch_));
    }

    void Drop() {
        unheardSince_.reset();
        if (device_ != nullptr) {
            waveOutReset(device_);
            queued_.fill(false);
        }
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

    PcmFeed& feed_;
    HANDLE event_; // the device's buffer-done signal, and the wake-up
    std::atomic<bool> woken_{false};
    std::atomic<bool> quit_{false};
    // Used on the sink's thread only, and by the destructor after it has ended.
    HWAVEOUT device_ = nullptr;
    bool failed_ = false;
    std::array<WAVEHDR, kBuffers> headers_{};
    std::array<std::vector<uint8_t>, kBuffers> data_;
    std::array<bool, kBuffers> queued_{};
    std::unique_ptr<std::chrono::steady_clock::time_point> unheardSince_;
    int64_t framesUnheard_ = 0;
    std::vector<uint8_t> scratch_;
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
