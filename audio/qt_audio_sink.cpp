// The sound card sink. A timer on the application's thread moves whole frames from the feed into
// the output as its buffer has room; the buffer is kept short, so that what is taken is heard
// within a tenth of a second and a jump is heard as soon.
#include "audio/qt_audio_sink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <vector>

namespace audio {

namespace {

constexpr int kTickMs = 10;
constexpr qsizetype kBufferFrames = 8; // about 0.1 s

QAudioFormat CdFormat() {
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

class SoundCardSink final : public QObject, public AudioSink {
public:
    explicit SoundCardSink(PcmFeed& feed) : feed_(feed) {
        timer_.setInterval(kTickMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    }
    ~SoundCardSink() override { Stop(); }

    void Wake() override {
        // From the thread that sent the PLAY; the output itself is touched on its own thread.
        QMetaObject::invokeMethod(
            this, [this] { Start(); }, Qt::AutoConnection);
    }

private:
    void Start() {
        if (!output_) {
            output_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), CdFormat());
            output_->setBufferSize(kBufferFrames * static_cast<qsizetype>(kCdFrameBytes));
        }
        if (!device_) {
            device_ = output_->start();
        }
        if (!timer_.isActive()) {
            timer_.start();
            clock_.start();
            framesWithoutOutput_ = 0;
        }
        Tick();
    }

    void Stop() {
        timer_.stop();
        if (output_) {
            output_->stop(); // what is queued is dropped: a pause is heard at once
        }
        device_ = nullptr;
    }

    void Tick() {
        if (!feed_.Playing()) {
            Stop();
            return;
        }
        if (!device_ || output_->error() == QAudio::OpenError ||
            output_->error() == QAudio::FatalError) {
            // The sound server went away: the play goes on at its pace, unheard, so that the
            // window still moves and the play still ends.
            const qint64 due = clock_.elapsed() * 75 / 1000 - framesWithoutOutput_;
            frames_.resize(static_cast<size_t>(std::max<qint64>(due, 0)) * kCdFrameBytes);
            framesWithoutOutput_ += static_cast<qint64>(feed_.Take(frames_));
            return;
        }
        const qsizetype room = output_->bytesFree() / static_cast<qsizetype>(kCdFrameBytes);
        if (room <= 0) {
            return;
        }
        frames_.resize(static_cast<size_t>(room) * kCdFrameBytes);
        const size_t taken = feed_.Take(frames_);
        if (taken > 0) {
            device_->write(reinterpret_cast<const char*>(frames_.data()),
                           static_cast<qint64>(taken * kCdFrameBytes));
        }
    }

    PcmFeed& feed_;
    QTimer timer_;
    std::unique_ptr<QAudioSink> output_;
    QIODevice* device_ = nullptr; // the output's, while it runs
    std::vector<uint8_t> frames_;
    QElapsedTimer clock_;            // since the output last started
    qint64 framesWithoutOutput_ = 0; // taken unheard while the output failed
};

} // namespace

std::string SoundOutputProblem() {
    // Qt says on its own that it cannot reach the sound server; the caller says it in one line.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const bool none = QMediaDevices::defaultAudioOutput().isNull();
    qInstallMessageHandler(previous);
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
