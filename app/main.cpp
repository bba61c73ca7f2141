// discolo: reads the command line, sets up the drives, runs the player window.
#include "app/command_line.h"
#include "app/drive_setup.h"
#include "app/names_setup.h"
#include "app/player_app.h"
#include "app/screenshot.h"
#include "app/shown_stamp.h"
#include "app/sound_setup.h"

#include <QApplication>
#include <QScopeGuard>
#include <QString>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(arguments, commandLine, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (commandLine.showHelp) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.showVersion) {
        std::puts(VersionText().c_str());
        return 0;
    }

    // The drives come first: a sheet that does not load ends the program before any window.
    // They outlive the window, which sends them commands to its last moment.
    PlayerDrives drives;
    if (!SetUpDrives(commandLine, drives, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!drives.notice.empty()) {
        std::fprintf(stderr, "%s\n", drives.notice.c_str());
    }

    // The sound file before any window system is needed; the layer after the application (the
    // sound card's output lives on its thread) and before the window. It goes before both, and
    // before the drives it plays.
    PlayerSound sound;
    const auto tell = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    if (!OpenSoundFile(commandLine, sound, error, tell)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    QApplication application(argc, argv);
    // Names for discs without CD-Text, over the drives; its lookups run on this thread. It goes
    // after the digital play layer put over it (whose guard below runs first) and before the
    // application.
    PlayerNames names;
    SetUpNames(commandLine, names);
    // The layer ends before the application does (this guard is destroyed first): the sound
    // card's outputs run on a thread that ends with the application.
    const auto endSound = qScopeGuard([&sound] { sound.layer.reset(); });
    SetUpSound(commandLine, drives, sound);
    if (!sound.notice.empty()) {
        std::fprintf(stderr, "%s\n", sound.notice.c_str());
    }
    InstallShownStampWhenAsked(application);
    ScreenshotOutcome screenshot;
    const bool takeScreenshot = !commandLine.screenshot.empty();
    if (takeScreenshot) {
        ScheduleScreenshot(ThePlayerApp(), QString::fromLocal8Bit(commandLine.screenshot),
                           kScreenshotDelayMs, screenshot);
    }
    ThePlayerApp().InitInstance();
    if (takeScreenshot && !screenshot.saved) {
        std::fprintf(stderr, "%s\n", screenshot.error.c_str());
        return 1;
    }
    return 0;
}
