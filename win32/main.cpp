// discolo.exe: reads the command line, sets up the drives and the sound, runs the player window.
#include "app/command_line.h"
#include "app/drive_setup.h"
#include "app/sound_setup.h"
#include "win32/player_app.h"
#include "win32/screenshot.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

// What the program runs on, in the order it is set up; members end in reverse order: the play
// layer first, then the sound file, and last the drives, which the window sends commands to its
// last moment.
struct Program {
    PlayerDrives drives;
    std::unique_ptr<audio::WavFileOutput> soundFile;
    PlayerSound sound;
};

// A program of the window subsystem has no console of its own: what it prints goes to the
// console of the command prompt that started it, or to where its output was redirected.
void UseParentConsole() {
    const bool redirected = GetStdHandle(STD_ERROR_HANDLE) != nullptr &&
                            GetStdHandle(STD_ERROR_HANDLE) != INVALID_HANDLE_VALUE;
    if (!redirected && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

void Tell(const std::string& reason) {
    std::fprintf(stderr, "%s\n", ProgramLine(reason).c_str());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    UseParentConsole();
    CommandLine commandLine;
    if (const std::optional<int> exitCode = ReadCommandLine(argc, argv, commandLine)) {
        return *exitCode;
    }
    std::string error;

    Program program;
    if (!SetUpDrives(commandLine, program.drives, error)) {
        Tell(error);
        return 2;
    }
    if (!program.drives.notice.empty()) {
        Tell(program.drives.notice);
    }
    if (!OpenSoundFile(commandLine, program.soundFile, error, Tell)) {
        Tell(error);
        return 2;
    }
    SetUpSound(commandLine, program.soundFile.get(), program.sound);
    StartSound(program.sound); // a wave output opens in no time: before the window, as it was
    if (!program.sound.notice.empty()) {
        Tell(program.sound.notice);
    }
    ScreenshotOutcome screenshot;
    const bool takeScreenshot = !commandLine.screenshot.empty();
    if (takeScreenshot) {
        ScheduleScreenshot(ThePlayerApp(), commandLine.screenshot, kScreenshotDelayMs, screenshot);
    }
    ThePlayerApp().InitInstance();
    if (const DWORD windowError = ThePlayerApp().windowError; windowError != 0) {
        Tell("cannot open the player window (system error " + std::to_string(windowError) + ")");
        return 1;
    }
    if (takeScreenshot && !screenshot.saved) {
        Tell(screenshot.error);
        return 1;
    }
    return 0;
}
