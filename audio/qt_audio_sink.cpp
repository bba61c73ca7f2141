// The sound card sink. Qt's sound system (its PulseAudio engine on Linux) lives on one thread of
// its own for the whole program: the engine is made there and every output runs there. When the
// sound server goes away, Qt has its outputs close in a direct call before it lets go of its
// connection; with everything on one thread nothing touches an output meanwhile.
//
// That thread sleeps until an output is due for more sound. Each output asks for about a quarter
// of a second of buffer and is topped up every third of what it is granted (about 50 ms on
// PulseAudio, which grants 0.15 s for the request), so what is taken is heard within a fifth of
// a second, a jump as soon, and a late wake-up still finds sound queued. A Qt timer would instead
// wake the window's thread every 20 ms for the whole play (a pushed-to QAudioSink keeps one
// running), and each wake-up costs about as much as the sound it moves.
#include "audio/qt_audio_sink.h"

#include "drive/msf.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

namespace {

constexpr qsizetype kBufferFrames = 19; // asked for: about a quarter of a second
constexpr qint64 kShortestTickMs = 10;
constexpr qint64 kLongestTickMs = 100;

QAudioFormat CdFormat() {
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// One drive's output. Lives on the sound thread, and is only used there.
class Output {
public:
    explicit Output(PcmFeed& feed) : feed_(feed) {}
    ~Output() { Stop(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // How long this output may be left alone now; -1 while it does not play.
    qint64 TickMs() const { return running_ ? tickMs_ : -1; }

    void Start() {
        if (!output_) {
            output_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), CdFormat());
        }
        if (!device_) {
            // Asked for at every start: the output keeps what the sound system granted as what
            // it asks for next, and PulseAudio grants less than asked each time, so that after
            // a dozen starts the buffer no longer held one frame and the play stalled for good.
            output_->setBufferSize(kBufferFrames * static_cast<qsizetype>(kCdFrameBytes));
            device_ = output_->start();
            // The sound system may grant another buffer than was asked for: a third of it.
            const qint64 granted = output_->bufferSize() * 1000 /
                                   (kSampleRate * kChannels * static_cast<qint64>(sizeof(int16_t)));
            tickMs_ = std::clamp<qint64>(granted / 3, kShortestTickMs, kLongestTickMs);
        }
        if (!running_) {
            running_ = true;
            unheard_ = false;
        }
        Tick();
    }

    void Tick() {
        if (!running_) {
            return;
        }
        if (!feed_.Playing()) {
            Stop();
            return;
        }
        if (!device_ || output_->error() == QAudio::OpenError ||
            output_->error() == QAudio::FatalError) {
            // The sound server went away: the play goes on at its pace, unheard, so that the
            // window still moves and the play still ends. The pace counts from the moment the
            // sound stopped: counted from the output's start, the play jumped ahead by as long
            // as it had been heard.
            if (!unheard_) {
                unheard_ = true;
                clock_.start();
                framesWithoutOutput_ = 0;
            }
            const qint64 due = clock_.elapsed() * kFramesPerSecond / 1000 - framesWithoutOutput_;
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

private:
    void Stop() {
        running_ = false;
        if (output_) {
            output_->stop(); // what is queued is dropped: a pause is heard at once
        }
        device_ = nullptr;
    }

    PcmFeed& feed_;
    std::unique_ptr<QAudioSink> output_;
    QIODevice* device_ = nullptr; // the output's, while it runs
    bool running_ = false;
    qint64 tickMs_ = kShortestTickMs;
    std::vector<uint8_t> frames_;
    bool unheard_ = false;           // the output failed while this play ran
    QElapsedTimer clock_;            // since it failed
    qint64 framesWithoutOutput_ = 0; // taken unheard since then
};

// What a sink and the sound thread share; guarded by the thread's mutex.
struct Slot {
    PcmFeed* feed = nullptr;
    bool woken = false;             // a play started, resumed or jumped
    bool gone = false;              // the sink went: its output is to be destroyed
    bool ended = false;             // and it has been: the feed is no longer taken from
    std::unique_ptr<Output> output; // made, used and destroyed on the sound thread only
};

class SoundThread {
public:
    SoundThread() {
        thread_.reset(QThread::create([this] { Loop(); }));
        thread_->setObjectName(QStringLiteral("discolo-sound"));
        thread_->start();
    }
    ~SoundThread() { Stop(); }
    SoundThread(const SoundThread&) = delete;
    SoundThread& operator=(const SoundThread&) = delete;

    // Ends every output and the thread; from then on nothing runs there.
    void Stop() {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_->wait();
    }

    // Runs `call` on the sound thread and waits until it has run (or the thread has ended).
    void RunAndWait(std::function<void()> call) {
        std::unique_lock lock(mutex_);
        const uint64_t ticket = ++callsAsked_;
        calls_.push_back(std::move(call));
        changed_.notify_all();
        changed_.wait(lock, [&] { return callsRun_ >= ticket || stopped_; });
    }

    std::shared_ptr<Slot> Add(PcmFeed& feed) {
        auto slot = std::make_shared<Slot>();
        slot->feed = &feed;
        const std::lock_guard lock(mutex_);
        slots_.push_back(slot);
        return slot;
    }

    void Wake(Slot& slot) {
        {
            const std::lock_guard lock(mutex_);
            slot.woken = true;
        }
        changed_.notify_all();
    }

    // Destroys the slot's output on the sound thread; returns once it no longer takes.
    void Remove(Slot& slot) {
        std::unique_lock lock(mutex_);
        slot.gone = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return slot.ended || stopped_; });
    }

private:
    // With the lock held: whether there is work before the next tick.
    bool Pending() const {
        return quit_ || callsRun_ < callsAsked_ ||
               std::any_of(slots_.begin(), slots_.end(), [](const std::shared_ptr<Slot>& slot) {
                   return slot->woken || slot->gone;
               });
    }

    // With the lock held: how long until an output is due; -1 while none plays.
    qint64 NextTickMs() const {
        qint64 wait = -1;
        for (const auto& slot : slots_) {
            const qint64 tick = slot->output ? slot->output->TickMs() : -1;
            if (tick >= 0 && (wait < 0 || tick < wait)) {
                wait = tick;
            }
        }
        return wait;
    }

    // What Qt's engine posted for itself (a lost server) is delivered at every tick; its timers
    // (a new connection 3 s after a loss) are looked at once a second: a full pass of the event
    // loop costs as much as a tick.
    void LookAtQt() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTimersLook_ >= std::chrono::seconds(1)) {
            lastTimersLook_ = now;
            QCoreApplication::processEvents();
        } else {
            QCoreApplication::sendPostedEvents();
        }
    }

    void Loop() {
        std::unique_lock lock(mutex_);
        while (true) {
            // The outputs of sinks that went, on this thread where they were made.
            for (auto at = slots_.begin(); at != slots_.end();) {
                if (!(*at)->gone && !quit_) {
                    ++at;
                    continue;
                }
                const std::shared_ptr<Slot> slot = *at;
                at = slots_.erase(at);
                std::unique_ptr<Output> output = std::move(slot->output);
                lock.unlock();
                output.reset();
                lock.lock();
                slot->ended = true;
                changed_.notify_all();
            }
            if (quit_) {
                break;
            }
            if (!calls_.empty()) {
                std::vector<std::function<void()>> calls = std::move(calls_);
                calls_.clear();
                lock.unlock();
                for (const auto& call : calls) {
                    call();
                }
                lock.lock();
                callsRun_ += calls.size();
                changed_.notify_all();
                continue;
            }
            const qint64 wait = NextTickMs();
            if (wait < 0) {
                changed_.wait(lock, [this] { return Pending(); });
            } else {
                changed_.wait_for(lock, std::chrono::milliseconds(wait),
                                  [this] { return Pending(); });
            }
            if (quit_ || callsRun_ < callsAsked_) {
                continue;
            }
            std::vector<std::pair<Output*, bool>> due;
            for (const auto& slot : slots_) {
                if (slot->gone) {
                    continue; // ended at the top of the loop
                }
                if (!slot->output) {
                    slot->output = std::make_unique<Output>(*slot->feed);
                }
                due.emplace_back(slot->output.get(), std::exchange(slot->woken, false));
            }
            lock.unlock();
            LookAtQt();
            for (const auto& [output, woken] : due) {
                if (woken) {
                    output->Start();
                } else {
                    output->Tick();
                }
            }
            lock.lock();
        }
        stopped_ = true;
        changed_.notify_all();
    }

    std::unique_ptr<QThread> thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<std::shared_ptr<Slot>> slots_;
    std::vector<std::function<void()>> calls_;
    uint64_t callsAsked_ = 0;
    uint64_t callsRun_ = 0;
    bool quit_ = false;
    bool stopped_ = false;
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
    explicit SoundCardSink(PcmFeed& feed) : thread_(TheSoundThread()), slot_(thread_->Add(feed)) {}
    ~SoundCardSink() override { thread_->Remove(*slot_); }
    SoundCardSink(const SoundCardSink&) = delete;
    SoundCardSink& operator=(const SoundCardSink&) = delete;

    // From the thread that sent the PLAY; the output itself is touched on the sound thread.
    void Wake() override { thread_->Wake(*slot_); }

private:
    const std::shared_ptr<SoundThread> thread_;
    const std::shared_ptr<Slot> slot_;
};

} // namespace

std::string SoundOutputProblem() {
    // Asked on the sound thread, so that Qt's sound engine is made there. Qt says on its own that
    // it cannot reach the sound server; the caller says it in one line.
    bool none = true;
    TheSoundThread()->RunAndWait([&none] {
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
