// discolo: reads the command line, sets up the drives, runs the player window.
#include "app/command_line.h"
#include "app/drive_setup.h"
#include "app/names_setup.h"
#include "app/player_app.h"
#include "app/screenshot.h"
#include "app/shown_stamp.h"
#include "app/sound_setup.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

// What the program runs on, member by member in the order it is set up. Members end in the
// reverse order, which is the order they must end in: the play layer first (the sound card's
// outputs run on a thread that ends with the application, and the layer plays into the file and
// reads the drives), then the names layer below it (whose lookups run on the application's thread),
// then the application, the sound file, and last the drives, which the window sends commands to its
// last moment.
struct Program {
    PlayerDrives drives;
    std::unique_ptr<audio::WavFileOutput> soundFile;
    std::optional<QApplication> application;
    PlayerNames names;
    PlayerSound sound;
};

// A reason the program stops, or a notice, on standard error.
void Tell(const std::string& reason) {
    std::fprintf(stderr, "%s\n", ProgramLine(reason).c_str());
}

} // namespace

int main(int argc, char** argv) {
    CommandLine commandLine;
    if (const std::optional<int> exitCode = ReadCommandLine(argc, argv, commandLine)) {
        return *exitCode;
    }
    std::string error;

    Program program;
    // The drives come first: a sheet that does not load ends the program before any window.
    if (!SetUpDrives(commandLine, program.drives, error)) {
        Tell(error);
        return 2;
    }
    if (!program.drives.notice.empty()) {
        Tell(program.drives.notice);
    }
    // The sound file before any window system is needed; the layer after the application.
    if (!OpenSoundFile(commandLine, program.soundFile, error, Tell)) {
        Tell(error);
        return 2;
    }
    QApplication& application = program.application.emplace(argc, argv);
    // Names for discs without CD-Text, over the drives; its lookups run on this thread, so it
    // comes after the application, and before the digital play layer put over it.
    SetUpNames(commandLine, program.names);
    // The layer before the window loads the drives' layer; the sound output right after the
    // window's first paint, so that the window shows first.
    SetUpSound(commandLine, program.soundFile.get(), program.sound);
    if (audio::PlayLayer* layer = program.sound.layer.get()) {
        // The media bus's volume is the digital play's, whichever sink it goes to.
        ThePlayerApp().volume = [layer] { return layer->Volume(); };
        ThePlayerApp().setVolume = [layer](double volume) { layer->SetVolume(volume); };
    }
    InstallShownStampWhenAsked(application);
    AfterFirstPaint(application, [&program] {
        StartSound(program.sound);
        if (!program.sound.notice.empty()) {
            Tell(program.sound.notice);
        }
    });
    ScreenshotOutcome screenshot;
    const bool takeScreenshot = !commandLine.screenshot.empty();
    if (takeScreenshot) {
        ScheduleScreenshot(ThePlayerApp(), QString::fromLocal8Bit(commandLine.screenshot),
                           kScreenshotDelayMs, screenshot);
    }
    ThePlayerApp().InitInstance();
    if (takeScreenshot && !screenshot.saved) {
        Tell(screenshot.error);
        return 1;
    }
    return 0;
}
