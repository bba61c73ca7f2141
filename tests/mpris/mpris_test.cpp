// The player on a private session bus, driven by playerctl and watched by dbus-monitor: what
// they print, and what the window and the virtual drive did meanwhile.
#include "mpris/mpris_player.h"

#include "disc/toc.h"
#include "drive/scsi_opcodes.h"
#include "player/player_timers.h"
#include "tests/support/player_on_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <sys/prctl.h>

namespace player_test {
namespace {

constexpr int kWaitMs = 20000;

// Runs the event loop (the player answers the bus from it) until `done` or the time is up.
bool SpinUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(kWaitMs);
    while (!done() && !deadline.hasExpired()) {
        QTest::qWait(5);
    }
    return done();
}

// A program the test starts on the bus at `address`; it dies with the test, even one that
// crashes, and the process object stops it at the end of its scope.
void StartChild(QProcess& process, const QString& program, const QStringList& arguments,
                const QString& address = QString()) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

class MprisOnBus : public PlayerOnBus {
protected:
    void SetUp() override {
        StartChild(daemon, QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon.waitForStarted());
        ASSERT_TRUE(SpinUntil([this] { return daemon.canReadLine(); })) << "no bus address";
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("player")));
        ASSERT_TRUE(connection->isConnected());

        StartChild(monitor, QStringLiteral("dbus-monitor"),
                   {QStringLiteral("--address"), address,
                    QStringLiteral("type='signal',path='/org/mpris/MediaPlayer2'"),
                    QStringLiteral("type='signal',path='/marker'")});
        ASSERT_TRUE(monitor.waitForStarted());
        Mark(); // the monitor listens from here on

        drive = &AddDrive(vdrive::DemoCdTextDisc());
        Start();
        mpris = std::make_unique<MprisPlayer>(dialog->Controller(), *dialog, *connection);
        ASSERT_TRUE(mpris->Publish());
        EXPECT_EQ(mpris->ServiceName(), QString::fromLatin1(kMprisServiceName));
    }

    void TearDown() override {
        mpris.reset();
        connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("player"));
        for (QProcess* process : {&monitor, &daemon}) {
            process->kill();
            process->waitForFinished();
        }
        PlayerOnBus::TearDown();
    }

    // What a client printed, or "exit N" when it failed.
    std::string Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        StartChild(process, program, arguments, address);
        if (!SpinUntil([&] { return process.state() == QProcess::NotRunning; })) {
            process.kill();
            process.waitForFinished();
            return "did not end";
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            return "exit " + std::to_string(process.exitCode());
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed().toStdString();
    }
    // playerctl with the words of `command`, for this player.
    std::string Ctl(const char* command) {
        return Run(QStringLiteral("playerctl"),
                   QStringLiteral("-p discolo %1").arg(QLatin1String(command)).split(u' '));
    }

    // playerctl's metadata table, key by key.
    std::map<std::string, std::string> Metadata() {
        std::map<std::string, std::string> values;
        static const QRegularExpression line(QStringLiteral("^\\S+\\s+(\\S+)\\s+(.*)$"));
        for (const QString& row : QString::fromStdString(Ctl("metadata")).split(u'\n')) {
            const QRegularExpressionMatch match = line.match(row);
            if (match.hasMatch()) {
                values[match.captured(1).toStdString()] = match.captured(2).trimmed().toStdString();
            }
        }
        return values;
    }

    // Everything the monitor has printed until a new marker signal, sent now, comes through. The
    // marker goes again every 200 ms: a monitor that has just started may not listen yet.
    QString Mark() {
        const QString marker = QStringLiteral("Marker%1").arg(++markers);
        QDeadlineTimer resend;
        EXPECT_TRUE(SpinUntil([&] {
            if (resend.hasExpired()) {
                connection->send(QDBusMessage::createSignal(
                    QStringLiteral("/marker"), QStringLiteral("org.discolo.Test"), marker));
                resend.setRemainingTime(200);
            }
            watched += QString::fromUtf8(monitor.readAllStandardOutput());
            return watched.contains(QStringLiteral("member=") + marker);
        })) << "the monitor never saw "
            << marker.toStdString();
        return watched;
    }

    QProcess daemon;
    QProcess monitor;
    QString address;
    QString watched;
    int markers = 0;
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<MprisPlayer> mpris;
    vdrive::CdromDrive* drive = nullptr;
};

const QString kPropertiesChanged = QStringLiteral("member=PropertiesChanged");

TEST_F(MprisOnBus, PlayerctlPressesTheWindowsButtonsAndReadsWhatTheWindowShows) {
    const int32_t track2 = state.trackStart[2];
    Poll();
    bus.ClearLog();
    EXPECT_EQ(Ctl("status"), "Stopped");

    // Play: the window's Play, from where the drive stands.
    EXPECT_EQ(Ctl("play"), "");
    EXPECT_EQ(Sent(), (Opcodes{kOpReadSubChannel, kOpSeek10, kOpPlayAudio12}));
    EXPECT_EQ(Ctl("status"), "Playing");
    std::map<std::string, std::string> metadata = Metadata();
    EXPECT_EQ(metadata["mpris:trackid"], "'/org/discolo/track/1'");
    EXPECT_EQ(metadata["xesam:title"], "Harbour Lights at Four");
    EXPECT_EQ(metadata["xesam:album"], "Tides & Tin Roofs"); // as the title field draws it
    EXPECT_EQ(metadata["xesam:artist"], "The Marlow Vane Quartet");
    EXPECT_EQ(metadata["xesam:trackNumber"], "1");
    EXPECT_EQ(metadata["mpris:length"],
              std::to_string(int64_t{TrackLength(state, 1)} * 1000000 / kFramesPerSecond));

    // Next: the drive goes to track 2, and the window follows at the next poll.
    bus.ClearLog();
    Ctl("next");
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), track2);
    PollAfter(kPollIntervalMs);
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 1);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 2"));
    metadata = Metadata();
    EXPECT_EQ(metadata["mpris:trackid"], "'/org/discolo/track/2'");
    EXPECT_EQ(metadata["xesam:title"], "Salt & Cedar");

    // An absolute position is 30 s into the current track.
    Ctl("position 30");
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), track2 + 30 * kFramesPerSecond);
    Poll();
    EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:30"));
    EXPECT_EQ(Ctl("position").substr(0, 5), "30.00");

    // A position past the track's length, if only by a microsecond, changes nothing.
    bus.ClearLog();
    const int64_t length = FramesToMicroseconds(TrackLength(state, 2));
    EXPECT_EQ(Run(QStringLiteral("gdbus"),
                  {QStringLiteral("call"), QStringLiteral("--address"), address,
                   QStringLiteral("--dest"), mpris->ServiceName(), QStringLiteral("--object-path"),
                   QString::fromLatin1(kMprisObjectPath), QStringLiteral("--method"),
                   QStringLiteral("org.mpris.MediaPlayer2.Player.SetPosition"),
                   QStringLiteral("'/org/discolo/track/2'"), QString::number(length + 1)}),
              "()");
    EXPECT_EQ(Sent(), Opcodes{});

    // Previous more than 3 s into a track restarts it.
    Ctl("previous");
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), track2);

    // The window's own Pause button, and playerctl resumes: the bus follows both ways.
    QTest::mouseClick(dialog->pauseButton, Qt::LeftButton);
    EXPECT_EQ(LastOf(kOpPauseResume).cdb.at(8) & 0x01, 0) << "a pause";
    EXPECT_EQ(Ctl("status"), "Paused");
    Ctl("play-pause");
    EXPECT_EQ(LastOf(kOpPauseResume).cdb.at(8) & 0x01, 1) << "a resume";
    EXPECT_EQ(Ctl("status"), "Playing");

    bus.ClearLog();
    Ctl("stop");
    EXPECT_EQ(Sent(), Opcodes{kOpSeek10});
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 0);
    EXPECT_EQ(Ctl("status"), "Stopped");
    Poll(); // the selector follows the drive back to track 1

    // What the monitor saw: each change once, in order, and a jump's new position.
    const QString seen = Mark();
    EXPECT_EQ(seen.count(QStringLiteral("string \"Playing\"")), 2);
    EXPECT_EQ(seen.count(QStringLiteral("string \"Paused\"")), 1);
    EXPECT_EQ(seen.count(QStringLiteral("string \"Stopped\"")), 1);
    EXPECT_EQ(seen.count(QStringLiteral("object path \"/org/discolo/track/2\"")), 1);
    EXPECT_GT(seen.indexOf(QStringLiteral("/org/discolo/track/2")),
              seen.indexOf(QStringLiteral("string \"Playing\"")));
    EXPECT_TRUE(seen.contains(QStringLiteral("member=Seeked\n   int64 30000000")));

    // Ticks that change nothing tell the bus nothing.
    for (int tick = 0; tick < 5; ++tick) {
        Poll();
        RefreshTick();
    }
    EXPECT_EQ(Mark().count(kPropertiesChanged), seen.count(kPropertiesChanged));

    // Opening a file is refused with an error; the player stays.
    EXPECT_EQ(Ctl("open file:///tmp/x.wav"), "exit 1");
    EXPECT_EQ(Ctl("status"), "Stopped");

    // Next from a stop leaves the drive standing in track 2, which the bus shows as a pause; the
    // play-pause key finds nothing paused in the drive and plays, as Play does.
    Ctl("next");
    Poll();
    ASSERT_EQ(Ctl("status"), "Paused");
    bus.ClearLog();
    Ctl("play-pause");
    const Opcodes sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), kOpPauseResume), 0) << "nothing to resume";
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), kOpPlayAudio12);
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), track2);
    Poll();
    EXPECT_EQ(Ctl("status"), "Playing");
}

TEST_F(MprisOnBus, ReadsTheControllerWithoutADriveCommandAndFollowsARefreshAskedFromOutside) {
    Poll();
    bus.ClearLog();
    const std::string all =
        Run(QStringLiteral("gdbus"),
            {QStringLiteral("call"), QStringLiteral("--address"), address, QStringLiteral("--dest"),
             mpris->ServiceName(), QStringLiteral("--object-path"),
             QString::fromLatin1(kMprisObjectPath), QStringLiteral("--method"),
             QStringLiteral("org.freedesktop.DBus.Properties.GetAll"),
             QString::fromLatin1(kMprisPlayerInterface)});
    EXPECT_NE(all.find("'PlaybackStatus': <'Stopped'>"), std::string::npos) << all;
    EXPECT_NE(all.find("'xesam:title': <'Harbour Lights at Four'>"), std::string::npos) << all;
    EXPECT_EQ(Metadata()["xesam:album"], "Tides & Tin Roofs");
    EXPECT_EQ(Ctl("position").substr(0, 4), "0.00");
    EXPECT_TRUE(Sent().empty()) << "a property is answered from what the player knows";

    // Another disc: a rebuild asked for from outside the window (as the disc-names layer does
    // when names arrive) reaches the bus from the controller's own notification, with no tick.
    drive->InsertDisc(vdrive::DemoMixedDisc());
    for (int call = 0; call < 2; ++call) {
        dialog->RefreshDisc(); // the first read reports the new medium, which counts as a change
    }
    ASSERT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    EXPECT_TRUE(Mark().contains(QStringLiteral("string \"Audio CD\"")));
    std::map<std::string, std::string> metadata = Metadata();
    EXPECT_EQ(metadata["xesam:album"], "Audio CD");
    EXPECT_EQ(metadata["xesam:title"], "Track 01"); // a disc without CD-Text names its tracks so
}

// Without a digital play (--analog) the bus shows a volume of 1 that setting does not change;
// with one, playerctl sets the play's volume, reads it back, and the bus announces the change.
TEST_F(MprisOnBus, TheVolumeIsTheDigitalPlaysAndFullWithoutOne) {
    EXPECT_EQ(Ctl("volume 0.5"), "");
    EXPECT_EQ(Ctl("volume"), "1.000000");
    EXPECT_FALSE(Mark().contains(QStringLiteral("\"Volume\"")));

    double played = 1.0; // the digital play's volume, as the layer keeps it
    mpris->volume = [&played] { return played; };
    mpris->setVolume = [&played](double volume) { played = volume; };
    EXPECT_EQ(Ctl("volume 0.5"), "");
    EXPECT_EQ(played, 0.5);
    EXPECT_EQ(Ctl("volume"), "0.500000");
    EXPECT_TRUE(Mark().contains(
        QStringLiteral("string \"Volume\"\n         variant             double 0.5")))
        << watched.toStdString();
}

TEST_F(MprisOnBus, ASecondPlayerTakesAnInstanceNameAndQuitClosesTheWindow) {
    auto second = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, QStringLiteral("second")));
    {
        PlayerState otherState;
        CPlayerDlg otherWindow(otherState);
        MprisPlayer other(otherWindow.Controller(), otherWindow, *second);
        ASSERT_TRUE(other.Publish());
        const QString instance =
            QString::fromLatin1(kMprisServiceName) +
            QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        EXPECT_EQ(other.ServiceName(), instance);
        EXPECT_EQ(Run(QStringLiteral("playerctl"), {QStringLiteral("-l")}),
                  "discolo\n" + instance.mid(23).toStdString());
    }
    second.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("second"));

    // Quit takes the close box's way: the drive stops, the timers end, the window goes.
    state.pollTimer = static_cast<uint32_t>(dialog->startTimer(kPollIntervalMs));
    bus.ClearLog();
    EXPECT_EQ(Run(QStringLiteral("gdbus"),
                  {QStringLiteral("call"), QStringLiteral("--address"), address,
                   QStringLiteral("--dest"), mpris->ServiceName(), QStringLiteral("--object-path"),
                   QString::fromLatin1(kMprisObjectPath), QStringLiteral("--method"),
                   QStringLiteral("org.mpris.MediaPlayer2.Quit")}),
              "()");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Sent(), Opcodes{kOpSeek10});
    EXPECT_EQ(state.pollTimer, 0u);
}

} // namespace
} // namespace player_test
