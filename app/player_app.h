// CPlayerApp: the application. It runs the player window modally and the program ends when that
// window closes; it has no main loop, document or settings of its own.
#pragma once

#include <QString>

#include <functional>

class CPlayerDlg;

class CPlayerApp {
public:
    CPlayerApp(const CPlayerApp&) = delete;
    CPlayerApp& operator=(const CPlayerApp&) = delete;

    // Builds the player window over the process's player state, gives it the About box and runs
    // it until it closes. Always false: nothing runs after the window. Needs a QApplication.
    bool InitInstance();

    // The player window while InitInstance runs it, else nullptr.
    CPlayerDlg* MainWindow() const { return mainWindow; }

    // Runs once the player window is built, just before it runs: a place to hang things on the
    // window that must go with it (the timer of --screenshot).
    std::function<void(CPlayerDlg& window)> beforeRun;

    // The URL of the cover of the disc the window shows, or "": the media bus offers it.
    std::function<QString()> artUrl;
    // The digital play's volume and how to set it, for the media bus; unset without a digital
    // play (the bus then shows a volume of 1 that cannot be changed).
    std::function<double()> volume;
    std::function<void(double)> setVolume;

private:
    friend CPlayerApp& ThePlayerApp();
    CPlayerApp() = default;

    CPlayerDlg* mainWindow = nullptr;
};

// The one application object of the process, made on first use.
CPlayerApp& ThePlayerApp();
