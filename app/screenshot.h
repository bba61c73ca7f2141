// --screenshot: lets the player run as usual for a while, saves a picture of what it shows and
// ends it.
#pragma once

#include <QImage>
#include <QString>

#include <string>

class CPlayerApp;

inline constexpr int kScreenshotDelayMs =
    2000; // two seconds of timers: the poll and the disc refresh run

struct ScreenshotOutcome {
    bool saved = false;
    std::string error; // why the picture could not be taken or saved, in one line
};

// Makes the application's player window, `delayMs` after it starts running, save a picture
// of the window the user sees to `path`: the player window, or a message box over it. Then the
// player ends through its default OK path, which leaves the drives as they are, so that taking
// a picture never stops a disc. `outcome` must outlive InitInstance.
void ScheduleScreenshot(CPlayerApp& application, const QString& path, int delayMs,
                        ScreenshotOutcome& outcome);

// Saves in the format the file's suffix names, PNG when the suffix names none that Qt writes.
bool SavePicture(const QImage& picture, const QString& path, std::string& error);
