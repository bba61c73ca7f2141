// The sound card sink. Qt's sound system (its PulseAudio engine on Linux) lives on one thread of
// its own for the whole program: the engine is made there, and every output is a channel of the
// pump (audio/pump.h) that runs there. When the sound server goes away, Qt has its outputs close
// in a direct call before it lets go of its connection; with everything on one thread nothing
// touches an output meanwhile.
//
// Each output asks the sound server to hold a second and a half: PulseAudio then keeps about half
// of it in the stream's buffer and half in the device's latency. The pump comes back once the
// stream's buffer has had the time to play out (or sooner, once what is held is down to
// Pump::kMargin) and fills it again: the sound thread wakes once for each 0.75 s the server takes
// (a rest of three quarters of that often found no room yet, and came back for nothing). A jump
// does not wait for what the server holds: a play that starts, stops or jumps restarts the output,
// which drops it, so it is heard as soon as the server's device latency allows. The position is
// what the server says it has played (its latency taken off), not what it was given. A Qt timer
// would instead wake the window's thread every 20 ms for the whole play (a pushed-to QAudioSink
// keeps one running).
#include "audio/qt_audio_sink.h"

#include "audio/pump.h"
#include "drive/msf.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace audio {

namespace {

constexpr qint64 kBytesPerSecond = kSampleRate * kChannels * static_cast<qint64>(sizeof(int16_t));
// Asked for: a second and a half. PulseAudio grants about half of it as the stream's buffer and
// keeps the rest as the device's latency. (Two seconds, as paplay asks, would make a new play wait
// about 0.7 s for the server to start it.)
constexpr qsizetype kBufferBytes = 3 * kBytesPerSecond / 2;
constexpr std::chrono::milliseconds kLongestInterval(1000);

QAudioFormat CdFormat() {
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// One drive's output: a stream to the sound server. Made, used and destroyed on the sound thread.
class CardChannel final : public PumpChannel {
public:
    CardChannel() = default;
    ~CardChannel() override { Stop(); }
    CardChannel(const CardChannel&) = delete;
    CardChannel& operator=(const CardChannel&) = delete;

    void Start() override {
        if (!output_) {
            output_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), CdFormat());
        }
        if (device_) {
            output_->stop(); // a jump: what the server holds of the play before is dropped
        }
        // Asked for at every start: the output keeps what the sound system granted as what it
        // asks for next, and PulseAudio grants less than asked each time, so that after a dozen
        // starts the buffer no longer held one frame and the play stalled for good.
        output_->setBufferSize(kBufferBytes);
        device_ = output_->start();
        written_ = 0;
        const auto granted =
            std::chrono::milliseconds(output_->bufferSize() * 1000 / kBytesPerSecond);
        interval_ = std::clamp(granted, Pump::kRefill, kLongestInterval);
    }

    void Stop() override {
        if (output_) {
            output_->stop(); // what is queued is dropped: a pause is heard at once
        }
        device_ = nullptr;
    }

    std::optional<size_t> Room() override {
        if (Failed()) {
            // The sound server went away: the play goes on at its pace, unheard, so that the
            // window still moves and the play still ends.
            return std::nullopt;
        }
        return static_cast<size_t>(std::max<qsizetype>(output_->bytesFree(), 0)) / kCdFrameBytes;
    }

    void Write(std::span<const uint8_t> frames) override {
        if (Failed()) {
            return; // played unheard: the device is gone with the server
        }
        const qint64 wrote = device_->write(reinterpret_cast<const char*>(frames.data()),
                                            static_cast<qint64>(frames.size()));
        written_ += static_cast<size_t>(std::max<qint64>(wrote, 0)) / kCdFrameBytes;
    }

    size_t Unheard() override {
        const auto played = static_cast<size_t>(FramesInMs(output_->processedUSecs() / 1000));
        return written_ > played ? written_ - played : 0;
    }

    bool Draining() override {
        return output_->state() == QAudio::ActiveState && output_->processedUSecs() > 0;
    }

    std::chrono::milliseconds Interval() override { return interval_; }

private:
    bool Failed() const {
        return !device_ || output_->error() == QAudio::OpenError ||
               output_->error() == QAudio::FatalError;
    }

    std::unique_ptr<QAudioSink> output_;
    QIODevice* device_ = nullptr; // the output's, while it runs
    size_t written_ = 0;          // frames written since the start
    std::chrono::milliseconds interval_ = Pump::kRefill;
};

// The program's sound thread: a QThread (Qt's engine needs one that Qt started) that runs the
// pump of every sound card output.
class SoundThread {
public:
    SoundThread() : pump_(Settings(*this)) {
        thread_.reset(QThread::create([this] { pump_.Run(); }));
        thread_->setObjectName(QStringLiteral("discolo-sound"));
        thread_->start();
    }
    ~SoundThread() { Stop(); }
    SoundThread(const SoundThread&) = delete;
    SoundThread& operator=(const SoundThread&) = delete;

    // Ends every output and the thread; from then on nothing runs there.
    void Stop() {
        pump_.Quit();
        thread_->wait();
    }

    Pump& ThePump() { return pump_; }

private:
    static PumpSettings Settings(SoundThread& thread) {
        PumpSettings settings;
        settings.beforePass = [&thread] { thread.LookAtQt(); };
        return settings;
    }

    // What Qt's engine posted for itself (a lost server) is delivered at every pass; its timers
    // (a new connection 3 s after a loss) are looked at once a second: a full pass of the event
    // loop costs as much as a pass of the pump.
    void LookAtQt() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTimersLook_ >= std::chrono::seconds(1)) {
            lastTimersLook_ = now;
            QCoreApplication::processEvents();
        } else {
            QCoreApplication::sendPostedEvents();
        }
    }

    Pump pump_;
    std::unique_ptr<QThread> thread_;
    std::chrono::steady_clock::time_point lastTimersLook_; // used on the sound thread only
};

std::mutex soundThreadMutex;
std::shared_ptr<SoundThread> soundThread; // while the application lives

void EndSoundThread() {
    std::shared_ptr<SoundThread> ending;
    {
        const std::lock_guard lock(soundThreadMutex);
        ending = std::move(soundThread);
    }
    if (ending) {
        ending->Stop();
    }
}

// The program's sound thread, started on first use; it ends with the application.
std::shared_ptr<SoundThread> TheSoundThread() {
    const std::lock_guard lock(soundThreadMutex);
    if (!soundThread) {
        soundThread = std::make_shared<SoundThread>();
        qAddPostRoutine(&EndSoundThread);
    }
    return soundThread;
}

class SoundCardSink final : public AudioSink {
public:
    explicit SoundCardSink(PcmFeed& feed)
        : thread_(TheSoundThread()), feed_(feed),
          channel_(thread_->ThePump().AddChannel(std::make_unique<CardChannel>())) {
        thread_->ThePump().AddFeed(channel_, feed_);
    }
    // The output is destroyed on the sound thread; once this returns it no longer takes.
    ~SoundCardSink() override { thread_->ThePump().RemoveChannel(channel_); }
    SoundCardSink(const SoundCardSink&) = delete;
    SoundCardSink& operator=(const SoundCardSink&) = delete;

    // From the thread that sent the command; the output itself is touched on the sound thread.
    void Wake() override { thread_->ThePump().Wake(channel_); }

private:
    const std::shared_ptr<SoundThread> thread_;
    PcmFeed& feed_;
    const Pump::ChannelId channel_;
};

} // namespace

std::string SoundOutputProblem() {
    // Asked on the sound thread, so that Qt's sound engine is made there. Qt says on its own that
    // it cannot reach the sound server; the caller says it in one line.
    bool none = true;
    TheSoundThread()->ThePump().Call([&none] {
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        none = QMediaDevices::defaultAudioOutput().isNull();
        qInstallMessageHandler(previous);
    });
    if (none) {
        return "no sound output (no sound server or sound device)";
    }
    return "";
}

SinkFactory SoundCardSinks() {
    return [](PcmFeed& feed) -> std::unique_ptr<AudioSink> {
        return std::make_unique<SoundCardSink>(feed);
    };
}

} // namespace audio
