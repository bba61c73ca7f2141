// discolo --demo heard through a real sound server: a private PulseAudio with a null sink, whose
// monitor parec records while the demo plays. What is recorded must be the demo disc's music:
// not silence, and of the dominant frequency that the disc's own audio has where the play began.
#include "vdrive/demo_discs.h"

#include <QByteArray>
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
            QStringList{
                QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=discolo_test"),
                QStringLiteral("-L"),
                QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket},
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

    QTemporaryDir folder_;
    QProcessEnvironment environment_;
    std::unique_ptr<Started> server_;
};

TEST_F(SoundServer, TheDemoIsHeardAsTheDemoDiscsOwnMusic) {
    const QString recording = folder_.filePath(QStringLiteral("heard.raw"));
    Started recorder(QStringLiteral("parec"),
                     {QStringLiteral("-d"), QStringLiteral("discolo_test.monitor"),
                      QStringLiteral("--raw"), QStringLiteral("--latency-msec=20"),
                      QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                      QStringLiteral("--channels=2")},
                     environment_, recording);
    ASSERT_TRUE(recorder.Running());

    QProcess discolo;
    StartDemo(discolo);
    ASSERT_TRUE(discolo.waitForFinished(60000));
    EXPECT_EQ(discolo.exitCode(), 0);
    EXPECT_EQ(discolo.readAllStandardError().toStdString(), "") << "a sound output was found";
    QThread::msleep(300);
    recorder.Stop();
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

} // namespace
