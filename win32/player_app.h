// CPlayerApp and CAboutDlg on Windows: the application runs the player window modally and the
// program ends when it closes; the About box is dialog 100, over the player window.
#pragma once

#include <windows.h>

#include <functional>

class CPlayerDlg;

class CAboutDlg {
public:
    explicit CAboutDlg(HWND ownerWindow = nullptr) : owner(ownerWindow) {}
    // Runs the box until OK, Escape or the close box ends it; its result is not used.
    INT_PTR DoModal();

private:
    HWND owner;
};

class CPlayerApp {
public:
    CPlayerApp(const CPlayerApp&) = delete;
    CPlayerApp& operator=(const CPlayerApp&) = delete;

    // Builds the player window over the process's player state, gives it the About box and runs
    // it until it closes. Always false: nothing runs after the window.
    bool InitInstance();

    // Runs once the player window is built, just before it runs (--screenshot hangs its timer
    // on it here).
    std::function<void(CPlayerDlg& window)> beforeRun;

private:
    friend CPlayerApp& ThePlayerApp();
    CPlayerApp() = default;
};

CPlayerApp& ThePlayerApp();
