// discolo --demo heard through a real sound server: a private PulseAudio with a null sink, whose
// monitor parec records while the demo plays. What is recorded must be the demo disc's music:
// not silence, and of the dominant frequency that the disc's own audio has where the play began;
// after a storm of commands from two bus clients, the disc's own frames. A server that dies
// leaves the play going on from where the sound stopped. A pause is heard at once, and the
// position shown is where the sound stopped.
#include "vdrive/demo_discs.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr size_t kWindow = 8192; // samples analysed: about 0.19 s
constexpr size_t kSettle = 2205; // from the first sound on, 50 ms pass before the window

// A process that the test started and always stops, however the test ends.
class Started {
public:
    Started(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment, const QString& output = {}) {
        process_.setProcessEnvironment(environment);
        if (!output.isEmpty()) {
            process_.setStandardOutputFile(output);
        }
        process_.start(program, arguments);
        started_ = process_.waitForStarted(10000);
    }
    ~Started() { Stop(); }
    bool Running() const { return started_ && process_.state() == QProcess::Running; }
    void Kill() {
        process_.kill();
        process_.waitForFinished();
    }
    void Stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished();
            }
        }
    }
    QByteArray Errors() { return process_.readAllStandardError(); }
    QByteArray ReadLine() {
        while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
        }
        return process_.readLine().trimmed();
    }

private:
    QProcess process_;
    bool started_ = false;
};

// Both channels of 16-bit little-endian stereo, as one.
std::vector<double> Mono(const QByteArray& bytes) {
    std::vector<double> samples;
    for (qsizetype at = 0; at + 3 < bytes.size(); at += 4) {
        const auto left = static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) |
                                               static_cast<uint8_t>(bytes[at + 1]) << 8);
        const auto right = static_cast<int16_t>(static_cast<uint8_t>(bytes[at + 2]) |
                                                static_cast<uint8_t>(bytes[at + 3]) << 8);
        samples.push_back((left + right) / 2.0);
    }
    return samples;
}

// Where the sound begins: the first sample above a tenth of the loudest; size() for silence.
size_t Onset(const std::vector<double>& samples) {
    double loudest = 0;
    for (double s : samples) {
        loudest = std::max(loudest, std::abs(s));
    }
    if (loudest < 100) {
        return samples.size();
    }
    return static_cast<size_t>(
        std::find_if(samples.begin(), samples.end(),
                     [loudest](double s) { return std::abs(s) > loudest / 10; }) -
        samples.begin());
}

// The frequency (Hz, in 1 Hz steps from 50 to 4000) with the most energy in the window that
// starts kSettle after the onset (Goertzel's algorithm at each step); 0 when there is no window.
double DominantFrequency(const std::vector<double>& samples) {
    const size_t from = Onset(samples) + kSettle;
    if (from + kWindow > samples.size()) {
        return 0;
    }
    double best = 0;
    double bestPower = -1;
    for (int hz = 50; hz <= 4000; ++hz) {
        const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / kRate);
        double previous = 0;
        double beforePrevious = 0;
        for (size_t i = 0; i < kWindow; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / kWindow);
            const double current =
                samples[from + i] * hann + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
        }
        const double power = previous * previous + beforePrevious * beforePrevious -
                             coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

// Where `heard` stops being `played`, in sample frames of `played`; "" when the first `frames`
// sample frames of the disc are all heard, in order. Silence before the play, and silence that a
// busy machine's late wake-up left in the sound server's output, are passed over: nothing else.
std::string Mismatch(const QByteArray& heard, const QByteArray& played, qsizetype frames) {
    const auto sample = [](const QByteArray& bytes, qsizetype frame) {
        return bytes.mid(frame * 4, 4);
    };
    const QByteArray silence(4, '\0');
    qsizetype from = 0;
    while (from < played.size() / 4 && sample(played, from) == silence) {
        ++from; // the disc's own silence at the start is not told from the silence before it
    }
    qsizetype at = 0;
    for (qsizetype source = from; source < from + frames; ++source) {
        while (at < heard.size() / 4 && sample(heard, at) != sample(played, source) &&
               sample(heard, at) == silence) {
            ++at;
        }
        if (at == heard.size() / 4) {
            return source == from ? "the recording is silence"
                                  : "only " + std::to_string(source - from) + " frames were heard";
        }
        if (sample(heard, at) != sample(played, source)) {
            return "differs at sample frame " + std::to_string(source - from);
        }
        ++at;
    }
    return "";
}

// The demo disc's first `seconds` of audio, from its start; empty when it has none.
QByteArray DiscFromItsStart(int seconds) {
    const vdrive::DiscImage disc = vdrive::DemoCdTextDisc();
    QByteArray frames(qsizetype{seconds} * 75 * 2352, '\0');
    if (!disc.audio || disc.tracks.empty() || disc.tracks[0].start != 0 ||
        !disc.audio->ReadFrames(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(frames.data()),
                                                      size_t(frames.size())))) {
        return {};
    }
    return frames;
}

// How much of the disc a recording holds: where the disc's first sound begins in `heard`, and
// where the run of the disc's frames in order that starts there ends (both in sample frames of
// `heard`), and how many sample frames of `played` that run covers, its leading silence included.
struct HeardRun {
    qsizetype onset = 0;
    qsizetype end = 0;
    qsizetype frames = 0;
};
std::optional<HeardRun> DiscRun(const QByteArray& heard, const QByteArray& played) {
    const auto sample = [](const QByteArray& bytes, qsizetype frame) {
        return bytes.mid(frame * 4, 4);
    };
    const QByteArray silence(4, '\0');
    qsizetype from = 0;
    while (from < played.size() / 4 && sample(played, from) == silence) {
        ++from;
    }
    qsizetype at = 0;
    while (at < heard.size() / 4 && sample(heard, at) != sample(played, from)) {
        ++at;
    }
    if (at == heard.size() / 4) {
        return std::nullopt;
    }
    HeardRun run{at, at, from};
    while (run.end < heard.size() / 4 && run.frames < played.size() / 4 &&
           sample(heard, run.end) == sample(played, run.frames)) {
        ++run.end;
        ++run.frames;
    }
    return run;
}

// A client of discolo's media-bus player, on a connection of its own.
class MediaBusClient {
public:
    MediaBusClient(const QString& address, const QString& name)
        : name_(name), connection_(QDBusConnection::connectToBus(address, name)) {}
    ~MediaBusClient() { QDBusConnection::disconnectFromBus(name_); }
    MediaBusClient(const MediaBusClient&) = delete;
    MediaBusClient& operator=(const MediaBusClient&) = delete;

    bool Connected() const { return connection_.isConnected(); }
    // Whether the player answered the method (of the player's interface, or of `interface`).
    bool Call(const QString& method, const QString& interface = kPlayer) {
        const QDBusMessage reply = connection_.call(
            QDBusMessage::createMethodCall(kService, kPath, interface, method), QDBus::Block, 5000);
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    // The play position in microseconds into the track, as the bus shows it.
    std::optional<qlonglong> Position() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << kPlayer << QStringLiteral("Position");
        const QDBusMessage reply = connection_.call(get, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return std::nullopt;
        }
        return reply.arguments()[0].value<QDBusVariant>().variant().toLongLong();
    }

private:
    inline static const QString kService = QStringLiteral("org.mpris.MediaPlayer2.discolo");
    inline static const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
    inline static const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
    const QString name_;
    QDBusConnection connection_;
};

// A private PulseAudio with one null sink, reached through its own socket; stopped by the test.
class SoundServer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        const QString socket = folder_.filePath(QStringLiteral("native"));
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("HOME"), folder_.path());
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder_.path());
        environment_.insert(QStringLiteral("PULSE_RUNTIME_PATH"),
                            folder_.filePath(QStringLiteral("pulse")));
        environment_.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        server_ = std::make_unique<Started>(
            QStringLiteral("pulseaudio"),
            QStringList{QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                        // Without rewinds the monitor records every frame once: a sink that rewinds
                        // hands what it had mixed to its monitor again.
                        QStringLiteral("-L"),
                        QStringLiteral("module-null-sink sink_name=discolo_test norewinds=1"),
                        QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                            socket},
            environment_);
        ASSERT_TRUE(server_->Running()) << "pulseaudio does not start";
        bool ready = false;
        for (int tries = 0; tries < 100 && !ready; ++tries) {
            QProcess info;
            info.setProcessEnvironment(environment_);
            info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            ready = info.waitForFinished(5000) && info.exitCode() == 0;
            if (!ready) {
                QThread::msleep(100);
            }
        }
        ASSERT_TRUE(ready) << server_->Errors().toStdString();
    }

    // discolo --demo for the two seconds of --screenshot, then its own way out.
    void StartDemo(QProcess& discolo) {
        discolo.setProcessEnvironment(environment_);
        discolo.start(QStringLiteral(DISCOLO_BINARY),
                      {QStringLiteral("--demo"), QStringLiteral("--screenshot"),
                       folder_.filePath(QStringLiteral("shot.png"))});
    }

    // A private session bus, and discolo --demo on it until the test ends it (its media-bus
    // player answers once the bus shows it).
    void StartDemoOnBus(QProcess& discolo) {
        bus_ = std::make_unique<Started>(QStringLiteral("dbus-daemon"),
                                         QStringList{QStringLiteral("--session"),
                                                     QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")},
                                         environment_);
        ASSERT_TRUE(bus_->Running()) << "dbus-daemon does not start";
        address_ = QString::fromUtf8(bus_->ReadLine());
        ASSERT_FALSE(address_.isEmpty()) << "no bus address";
        environment_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        discolo.setProcessEnvironment(environment_);
        discolo.start(QStringLiteral(DISCOLO_BINARY), {QStringLiteral("--demo")});
        ASSERT_TRUE(discolo.waitForStarted(10000));
        MediaBusClient probe(address_, QStringLiteral("probe"));
        ASSERT_TRUE(probe.Connected());
        QElapsedTimer waited;
        waited.start();
        while (!probe.Position() && waited.elapsed() < 20000) {
            QThread::msleep(100);
        }
        ASSERT_TRUE(probe.Position()) << "discolo is not on the bus";
    }

    // parec on the null sink's monitor, into `file` until it is stopped.
    std::unique_ptr<Started> Record(const QString& file) {
        return std::make_unique<Started>(
            QStringLiteral("parec"),
            QStringList{QStringLiteral("-d"), QStringLiteral("discolo_test.monitor"),
                        QStringLiteral("--raw"), QStringLiteral("--latency-msec=20"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                        QStringLiteral("--channels=2")},
            environment_, file);
    }

    QTemporaryDir folder_;
    QProcessEnvironment environment_;
    std::unique_ptr<Started> server_;
    std::unique_ptr<Started> bus_;
    QString address_;
};

TEST_F(SoundServer, TheDemoIsHeardAsTheDemoDiscsOwnMusic) {
    const QString recording = folder_.filePath(QStringLiteral("heard.raw"));
    const std::unique_ptr<Started> recorder = Record(recording);
    ASSERT_TRUE(recorder->Running());

    QProcess discolo;
    StartDemo(discolo);
    ASSERT_TRUE(discolo.waitForFinished(60000));
    EXPECT_EQ(discolo.exitCode(), 0);
    EXPECT_EQ(discolo.readAllStandardError().toStdString(), "") << "a sound output was found";
    QThread::msleep(300);
    recorder->Stop();
    server_->Stop();

    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<double> heard = Mono(file.readAll());
    ASSERT_LT(Onset(heard), heard.size()) << "the recording is silence";

    // The disc's own audio where the demo plays: the start of its second track.
    const vdrive::DiscImage disc = vdrive::DemoCdTextDisc();
    ASSERT_TRUE(disc.audio) << "the demo disc has no music";
    QByteArray source(2 * 75 * 2352, '\0');
    ASSERT_TRUE(disc.audio->ReadFrames(
        disc.tracks[1].start,
        std::span<uint8_t>(reinterpret_cast<uint8_t*>(source.data()), size_t(source.size()))));
    const double expected = DominantFrequency(Mono(source));
    ASSERT_GT(expected, 0) << "the demo disc's second track starts with silence";
    EXPECT_NEAR(DominantFrequency(heard), expected, expected * 0.02);
}

// The server goes away while the demo plays: the play goes on unheard and the program still ends
// by its own way, without a crash, having taken its picture.
TEST_F(SoundServer, AServerThatGoesAwayMidPlayLeavesTheProgramRunning) {
    QProcess discolo;
    StartDemo(discolo);
    ASSERT_TRUE(discolo.waitForStarted(10000));
    QThread::msleep(800);
    server_->Stop();
    ASSERT_TRUE(discolo.waitForFinished(60000));
    EXPECT_EQ(discolo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(discolo.exitCode(), 0) << discolo.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(folder_.filePath(QStringLiteral("shot.png"))));
}

// Two media-bus clients press Play, Stop, Next, Pause and Previous at once, many times over and
// in every interleaving; then Stop and Play must start a play that is heard and moves: what the
// sink records is the disc's own frames from its start, bit for bit.
TEST_F(SoundServer, AStormOfCommandsFromTwoClientsLeavesAPlayThatIsHeard) {
    QProcess discolo;
    StartDemoOnBus(discolo);
    if (HasFatalFailure()) {
        return;
    }
    const auto storm = [this](int seed) {
        MediaBusClient client(address_, QStringLiteral("client%1").arg(seed));
        ASSERT_TRUE(client.Connected());
        std::mt19937 random(static_cast<unsigned>(seed));
        const QString ends[] = {QStringLiteral("Stop"),     QStringLiteral("Pause"),
                                QStringLiteral("Next"),     QStringLiteral("PlayPause"),
                                QStringLiteral("Previous"), QStringLiteral("Stop")};
        // Short cycles, some shorter than the sound output's wake-ups and some longer.
        const auto pause = [&random] {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 80));
        };
        for (int cycle = 0; cycle < 50; ++cycle) {
            EXPECT_TRUE(client.Call(QStringLiteral("Play"))) << cycle;
            pause();
            EXPECT_TRUE(client.Call(ends[random() % std::size(ends)])) << cycle;
            pause();
        }
    };
    std::thread first(storm, 1);
    std::thread second(storm, 2);
    first.join();
    second.join();

    MediaBusClient client(address_, QStringLiteral("listener"));
    ASSERT_TRUE(client.Call(QStringLiteral("Stop")));
    QThread::msleep(300); // what was queued is dropped: the sink falls silent
    const QString recording = folder_.filePath(QStringLiteral("after-the-storm.raw"));
    std::unique_ptr<Started> recorder = Record(recording);
    ASSERT_TRUE(recorder->Running());
    QThread::msleep(300);
    ASSERT_TRUE(client.Call(QStringLiteral("Play")));
    QThread::msleep(3500);
    const std::optional<qlonglong> position = client.Position();
    recorder->Stop();
    EXPECT_TRUE(client.Call(QStringLiteral("Quit"), QStringLiteral("org.mpris.MediaPlayer2")));
    EXPECT_TRUE(discolo.waitForFinished(20000));
    EXPECT_EQ(discolo.exitCode(), 0);

    ASSERT_TRUE(position);
    EXPECT_GT(*position, 2500000) << "the play moves";
    const QByteArray played = DiscFromItsStart(4);
    ASSERT_FALSE(played.isEmpty());
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(Mismatch(file.readAll(), played, 2 * 44100), "");
}

// playerctl sets the digital play's volume: what the sound server plays is the disc's own frames
// at half their level, each sample halved.
TEST_F(SoundServer, PlayerctlVolumeHalvesWhatIsHeard) {
    QProcess discolo;
    StartDemoOnBus(discolo);
    if (HasFatalFailure()) {
        return;
    }
    MediaBusClient client(address_, QStringLiteral("listener"));
    ASSERT_TRUE(client.Call(QStringLiteral("Stop")));
    QProcess playerctl;
    playerctl.setProcessEnvironment(environment_);
    playerctl.start(QStringLiteral("playerctl"), {QStringLiteral("-p"), QStringLiteral("discolo"),
                                                  QStringLiteral("volume"), QStringLiteral("0.5")});
    ASSERT_TRUE(playerctl.waitForFinished(10000));
    ASSERT_EQ(playerctl.exitCode(), 0);
    QThread::msleep(300); // what was queued is dropped: the sink falls silent
    const QString recording = folder_.filePath(QStringLiteral("half.raw"));
    std::unique_ptr<Started> recorder = Record(recording);
    ASSERT_TRUE(recorder->Running());
    QThread::msleep(300);
    ASSERT_TRUE(client.Call(QStringLiteral("Play")));
    QThread::msleep(2500);
    recorder->Stop();
    EXPECT_TRUE(client.Call(QStringLiteral("Quit"), QStringLiteral("org.mpris.MediaPlayer2")));
    EXPECT_TRUE(discolo.waitForFinished(20000));

    QByteArray half = DiscFromItsStart(3);
    ASSERT_FALSE(half.isEmpty());
    for (qsizetype at = 0; at + 1 < half.size(); at += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(half[at]) |
                                                 static_cast<uint8_t>(half[at + 1]) << 8);
        const auto halved = static_cast<uint16_t>(std::lround(sample * 0.5));
        half[at] = static_cast<char>(halved & 0xFF);
        half[at + 1] = static_cast<char>(halved >> 8);
    }
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(Mismatch(file.readAll(), half, 44100 + 44100 / 2), "");
}

// The sound server dies three seconds into the play: the play goes on unheard at its own pace,
// from where the sound stopped, skipping nothing ahead.
TEST_F(SoundServer, APlayGoesOnFromWhereTheSoundStoppedWhenTheServerDies) {
    QProcess discolo;
    StartDemoOnBus(discolo);
    if (HasFatalFailure()) {
        return;
    }
    MediaBusClient client(address_, QStringLiteral("watcher"));
    QThread::msleep(3000);
    QElapsedTimer clock;
    clock.start();
    const std::optional<qlonglong> before = client.Position();
    server_->Kill();
    QThread::msleep(2000);
    const std::optional<qlonglong> after = client.Position();
    const qint64 elapsedUs = clock.elapsed() * 1000;
    EXPECT_TRUE(client.Call(QStringLiteral("Quit"), QStringLiteral("org.mpris.MediaPlayer2")));
    EXPECT_TRUE(discolo.waitForFinished(20000));
    EXPECT_EQ(discolo.exitCode(), 0);

    ASSERT_TRUE(before && after);
    // The readouts follow the play at the poll's pace, a third of a second either way; a busy
    // machine may add as much again. The jump was the three seconds heard before.
    EXPECT_NEAR(double(*after - *before), double(elapsedUs), 1000000.0);
}

// With the sound server holding more than a second, a jump is still heard at once (the server
// drops what it holds), and the readouts show what is heard, not what the server was given: a
// play from the start of the disc, paused after three seconds, is heard from the moment Play is
// pressed until the moment Pause is, and the position the paused player shows is where the sound
// stopped.
TEST_F(SoundServer, AJumpIsHeardAtOnceAndThePositionIsWhatWasHeard) {
    QProcess discolo;
    StartDemoOnBus(discolo);
    if (HasFatalFailure()) {
        return;
    }
    MediaBusClient client(address_, QStringLiteral("listener"));
    ASSERT_TRUE(client.Call(QStringLiteral("Stop")));
    QThread::msleep(300);
    const QString recording = folder_.filePath(QStringLiteral("jump.raw"));
    std::unique_ptr<Started> recorder = Record(recording);
    ASSERT_TRUE(recorder->Running());
    QElapsedTimer clock;
    clock.start();
    QThread::msleep(500);
    const qint64 playMs = clock.elapsed();
    ASSERT_TRUE(client.Call(QStringLiteral("Play")));
    QThread::msleep(3000);
    const qint64 pauseMs = clock.elapsed();
    ASSERT_TRUE(client.Call(QStringLiteral("Pause")));
    QThread::msleep(1000);
    const std::optional<qlonglong> position = client.Position();
    recorder->Stop();
    EXPECT_TRUE(client.Call(QStringLiteral("Quit"), QStringLiteral("org.mpris.MediaPlayer2")));
    EXPECT_TRUE(discolo.waitForFinished(20000));

    const QByteArray played = DiscFromItsStart(6);
    ASSERT_FALSE(played.isEmpty());
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray heard = file.readAll();
    const std::optional<HeardRun> run = DiscRun(heard, played);
    ASSERT_TRUE(run) << "the disc is not heard";
    const double soundFrom = double(run->onset) / kRate - double(playMs) / 1000;
    const double soundTo = double(run->end) / kRate - double(pauseMs) / 1000;
    // The recording starts a few tens of milliseconds after the clock: both figures come out a
    // little early. On a quiet machine both are well under a quarter of a second; the bounds
    // here are what tells a server that dropped what it held (and a play that did not wait for
    // the server to fill) from one that played out its 1.5 s, with room for a loaded machine's
    // delays, which reach 0.75 s with every core busy.
    EXPECT_LT(soundFrom, 1.0) << "Play is heard late (s)";
    EXPECT_LT(soundTo, 1.0) << "Pause is heard late (s)";
    EXPECT_GT(soundTo, -0.25) << "Pause is heard early (s)";
    ASSERT_TRUE(position);
    EXPECT_NEAR(double(*position) / 1e6, double(run->frames) / kRate, 0.1)
        << "the paused readout is not where the sound stopped";
}

} // namespace
