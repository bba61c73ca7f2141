// --screenshot on Windows: lets the player run as usual for a while, saves a picture of its
// window and ends it through its default OK path, which leaves the drives as they are.
#pragma once

#include "win32/picture_file.h"

#include <windows.h>

#include <string>

class CPlayerApp;

inline constexpr UINT kScreenshotDelayMs = 2000; // two seconds: the poll and the refresh run

struct ScreenshotOutcome {
    bool saved = false;
    std::string error; // why the picture could not be taken or saved, in one line
};

// The window as it stands on the screen, frame and caption included.
Picture CaptureWindow(HWND window);

// Makes the application's player window save a picture of itself to `path` `delayMs` after it
// starts, then end. `outcome` must outlive InitInstance.
void ScheduleScreenshot(CPlayerApp& application, const std::string& path, UINT delayMs,
                        ScreenshotOutcome& outcome);
