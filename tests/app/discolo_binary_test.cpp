// discolo itself, run as a user runs it: its options, its refusals before any window opens, and
// the picture --screenshot leaves in each drive mode.
#include "app/command_line.h"
#include "player/player_dlg.h"
#include "player/player_state.h"
#include "tests/support/image_files.h"
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

    QTemporaryDir runtime;
    QTemporaryDir pictures;
    ImageFolder folder;
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
