// discolo itself, run as a user runs it: its options, its refusals before any window opens, and
// the picture --screenshot leaves in each drive mode.
#include "app/command_line.h"
#include "player/player_dlg.h"
#include "player/player_state.h"
#include "tests/support/image_files.h"
#include "tests/support/lookup_server.h"
#include "tests/support/wav_file_check.h"
#include "vdrive/cue_sheet.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <span>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr char kNoSound[] = "discolo: no sound output (no sound server or sound device); the "
                            "drives play on their own audio path\n";

struct Finished {
    int exitCode = -1;
    bool crashed = true;
    std::string out;
    std::string err;
};

class DiscoloBinary : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.isValid() && pictures.isValid()); }

    // Runs discolo on the offscreen platform (or `platform`); a run that has not ended after a
    // minute is killed and reported.
    Finished Run(const std::vector<std::string>& arguments,
                 const QString& platform = QStringLiteral("offscreen")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           runtime.path()); // Qt warns without one
        // No sound server answers there: the drives play on their own, and discolo says so.
        environment.insert(QStringLiteral("PULSE_SERVER"),
                           QStringLiteral("unix:") + runtime.filePath(QStringLiteral("none")));
        // A disc without CD-Text is looked up: never on the internet from a test, only at the
        // test's own server (or at a port where nothing listens), with a cache of the test's.
        environment.insert(QStringLiteral("DISCOLO_MUSICBRAINZ_URL"), webRoot + "/ws/2");
        environment.insert(QStringLiteral("DISCOLO_COVERART_URL"), webRoot + "/caa");
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           runtime.filePath(QStringLiteral("cache")));
        QProcess process;
        process.setProcessEnvironment(environment);
        if (fileSizeLimit > 0) {
            // A disk that fills up: writes past the limit fail (with EFBIG, not a signal).
            process.setChildProcessModifier([limit = fileSizeLimit] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit size{limit, limit};
                setrlimit(RLIMIT_FSIZE, &size);
            });
        }
        QStringList list;
        for (const std::string& argument : arguments) {
            list << QString::fromStdString(argument);
        }
        process.start(QStringLiteral(DISCOLO_BINARY), list);
        Finished finished;
        if (!process.waitForStarted() || !process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "discolo did not end";
            return finished;
        }
        finished.exitCode = process.exitCode();
        finished.crashed = process.exitStatus() != QProcess::NormalExit;
        finished.out = process.readAllStandardOutput().toStdString();
        finished.err = process.readAllStandardError().toStdString();
        return finished;
    }

    std::string GoodSheet() {
        folder.Wav("disc.wav", 3000);
        return folder.Write("disc.cue", "TITLE \"Offscreen\"\n"
                                        "FILE \"disc.wav\" WAVE\n"
                                        "  TRACK 01 AUDIO\n"
                                        "    TITLE \"One\"\n"
                                        "    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n"
                                        "    TITLE \"Two\"\n"
                                        "    INDEX 01 00:20:00\n");
    }

    std::string PicturePath() const {
        return pictures.filePath(QStringLiteral("shot.png")).toStdString();
    }

    // The size of the player window as this platform and its fonts lay it out.
    static QSize PlayerWindowSize() {
        PlayerState state;
        CPlayerDlg player(state);
        return player.size() * player.devicePixelRatio();
    }

    // A disc without CD-Text: the rip of a real disc that the recorded answer names.
    std::string RipSheet() {
        folder.Raw("rip.bin", uint64_t{338952 - 150} * 2352);
        std::string sheet = "FILE \"rip.bin\" BINARY\n";
        const int offsets[] = {150,    18064,  34719,  48510,  64506,  82409,  99569,
                               117860, 137646, 147539, 166275, 184290, 205587, 223455,
                               241522, 258378, 275550, 294931, 320173};
        for (int i = 0; i < 19; ++i) {
            const int frame = offsets[i] - 150;
            char track[64];
            std::snprintf(track, sizeof track, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n",
                          i + 1, frame / 4500, frame / 75 % 60, frame % 75);
            sheet += track;
        }
        return folder.Write("rip.cue", sheet);
    }

    QTemporaryDir runtime;
    QTemporaryDir pictures;
    ImageFolder folder;
    QString webRoot = QStringLiteral("http://127.0.0.1:1"); // nothing listens there
    rlim_t fileSizeLimit = 0; // how large a file discolo writes may grow; 0: as large as it likes
};

std::string WavProblemOf(const QByteArray& bytes) {
    return WavProblem(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

TEST_F(DiscoloBinary, PrintsItsVersionAndItsHelp) {
    const Finished version = Run({"--version"});
    EXPECT_FALSE(version.crashed);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "discolo 1.0.12.0\n");
    EXPECT_EQ(version.err, "");

    const Finished help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, UsageText());
    EXPECT_EQ(help.err, "");
}

// A window system that does not exist would stop the program with a multi-line complaint as
// soon as it tried to open a window, so one line and exit code 2 show that it never tried.
TEST_F(DiscoloBinary, RefusesBadArgumentsAndSheetsInOneLineBeforeAnyWindow) {
    const std::string good = GoodSheet();
    const std::string missingFile = folder.Write("missing.cue", "FILE \"gone.wav\" WAVE\n"
                                                                "  TRACK 01 AUDIO\n"
                                                                "    INDEX 01 00:00:00\n");
    const std::string noTrack = folder.Write("broken.cue", "FILE \"disc.wav\" WAVE\n"
                                                           "    INDEX 01 00:00:00\n");
    const std::string noSheet = folder.Path("nowhere.cue");
    auto loaderError = [](const std::string& sheet) {
        vdrive::DiscImage disc;
        std::string error;
        EXPECT_FALSE(vdrive::LoadCueSheet(sheet, disc, error)) << sheet;
        return "discolo: " + error + "\n";
    };
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"--loud"}, "discolo: unknown argument '--loud' (try --help)\n"},
        {{"--image"}, "discolo: --image needs a file name\n"},
        {{"--demo", "--image", good}, "discolo: --demo and --image cannot be used together\n"},
        {{"--image", noSheet, "--screenshot", PicturePath()}, loaderError(noSheet)},
        {{"--image", good, "--image", missingFile}, loaderError(missingFile)},
        {{"--image", noTrack}, loaderError(noTrack)},
        {{"--analog", "--audio-file", "x.wav"},
         "discolo: --analog and --audio-file cannot be used together\n"},
        {{"--demo", "--audio-file", folder.Path("no/such/folder/x.wav")},
         "discolo: cannot write the sound to " + folder.Path("no/such/folder/x.wav") +
             ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const Finished finished = Run(c.arguments, QStringLiteral("no-such-window-system"));
        EXPECT_FALSE(finished.crashed);
        EXPECT_EQ(finished.exitCode, 2);
        EXPECT_EQ(finished.err, c.message);
        EXPECT_EQ(finished.out, "");
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(PicturePath())));
}

TEST_F(DiscoloBinary, LeavesAPictureOfThePlayerInEachDriveMode) {
    const QSize windowSize = PlayerWindowSize();
    const std::vector<std::string> modes[] = {
        {"--demo"},
        {"--image", GoodSheet()},
    };
    for (const std::vector<std::string>& mode : modes) {
        SCOPED_TRACE(mode.front());
        QFile::remove(QString::fromStdString(PicturePath()));
        std::vector<std::string> arguments = mode;
        arguments.insert(arguments.end(), {"--screenshot", PicturePath()});
        const Finished finished = Run(arguments);
        EXPECT_FALSE(finished.crashed);
        EXPECT_EQ(finished.exitCode, 0) << finished.err;
        EXPECT_EQ(finished.err, kNoSound);
        const QImage picture(QString::fromStdString(PicturePath()), "png");
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), windowSize);
    }
}

// Whatever this machine's drives are (here usually none), the real-drive mode runs and leaves a
// picture of what it shows.
TEST_F(DiscoloBinary, LeavesAPictureWithRealDrivesToo) {
    const Finished finished = Run({"--screenshot", PicturePath()});
    EXPECT_FALSE(finished.crashed);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_FALSE(QImage(QString::fromStdString(PicturePath())).isNull());
}

// The demo heard in a file instead of the sound card, ended by the program's own way out: a whole
// WAV file of what played.
TEST_F(DiscoloBinary, WritesTheDemosSoundToAWholeWavFile) {
    const std::string wav = folder.Path("demo.wav");
    const Finished finished = Run({"--demo", "--audio-file", wav, "--screenshot", PicturePath()});
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_EQ(finished.err, "");
    QFile file(QString::fromStdString(wav));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 44 + 75 * 2352) << "over a second of two seconds' play";
    EXPECT_EQ(WavProblemOf(bytes), "");
    EXPECT_EQ((bytes.size() - 44) % 2352, 0) << "whole frames";
}

// The disk fills up a second into the play: the file keeps the whole frames that fitted, with a
// header that says so, and one line says that the rest goes unheard; the run ends as usual.
TEST_F(DiscoloBinary, AWavFileOnAFullDiskStaysWholeAndSaysSoOnce) {
    const std::string wav = folder.Path("demo.wav");
    fileSizeLimit = 200 * 1024;
    const Finished finished = Run({"--demo", "--audio-file", wav, "--screenshot", PicturePath()});
    EXPECT_FALSE(finished.crashed);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    const std::string said = "discolo: cannot write more sound to " + wav + ": ";
    EXPECT_EQ(finished.err.rfind(said, 0), 0u) << finished.err;
    EXPECT_TRUE(finished.err.ends_with("; the play goes on unheard\n")) << finished.err;
    EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
    QFile file(QString::fromStdString(wav));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(WavProblemOf(bytes), "");
    EXPECT_EQ(bytes.size(), 44 + (200 * 1024 - 44) / 2352 * 2352) << "every whole frame that fits";
}

// A rip without CD-Text, as a new user tries it: its names come from the (here local) web
// service and are kept; --offline asks nothing; an unknown disc is named once on standard error.
TEST_F(DiscoloBinary, LooksUpARipWithoutCdTextAndKeepsItsNames) {
    lookup_test::LookupServer server;
    webRoot = server.Root();
    server.On(QStringLiteral("/ws/2/discid/XoGwK8t1eeR.pBP8rWC1qTQniCU-"),
              {lookup_test::Reply::Json(
                  200, lookup_test::RecordedAnswer("release_with_multiple_discs.json"))});
    const std::string sheet = RipSheet();

    const Finished offline =
        Run({"--image", sheet, "--offline", "--analog", "--screenshot", PicturePath()});
    EXPECT_EQ(offline.exitCode, 0) << offline.err;
    EXPECT_EQ(offline.err, "");
    EXPECT_TRUE(server.Requests().empty());

    const Finished online = Run({"--image", sheet, "--analog", "--screenshot", PicturePath()});
    EXPECT_EQ(online.exitCode, 0) << online.err;
    EXPECT_EQ(online.err, "");
    ASSERT_GE(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].userAgent.startsWith("Discolo/1.0.12.0 ( "));
    QFile entry(
        runtime.filePath(QStringLiteral("cache/discolo/XoGwK8t1eeR.pBP8rWC1qTQniCU-.json")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\"title\": \"The Black Dog\""));

    // An unknown disc (the recorded answer names none of its releases for it).
    server.On(QStringLiteral("/ws/2/discid/"), {lookup_test::Reply::Json(404, "{}")});
    folder.Raw("rip.bin", uint64_t{330000} * 2352); // another lead-out: another disc
    const Finished unknown = Run({"--image", sheet, "--analog", "--screenshot", PicturePath()});
    EXPECT_EQ(unknown.exitCode, 0);
    EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
    EXPECT_EQ(unknown.err.rfind("discolo: MusicBrainz does not know the disc in the drive; anyone "
                                "can add it at http",
                                0),
              0u)
        << unknown.err;
    EXPECT_NE(unknown.err.find("cdtoc/attach?id="), std::string::npos);
}

TEST_F(DiscoloBinary, APictureThatCannotBeSavedIsAnErrorAfterTheRun) {
    const std::string path =
        pictures.filePath(QStringLiteral("no/such/folder/shot.png")).toStdString();
    const Finished finished = Run({"--demo", "--analog", "--screenshot", path});
    EXPECT_FALSE(finished.crashed);
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_EQ(finished.err.rfind("discolo: cannot save the picture to " + path + ": ", 0), 0u)
        << finished.err;
    EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1);
}

} // namespace
