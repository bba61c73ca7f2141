// The application object and the About box on Windows.
#include "win32/player_app.h"

#include "app/about_template.h"
#include "player/player_state.h"
#include "win32/player_dlg.h"

#include <commctrl.h>

namespace {

// The box opens centred over its owner.
void CenterOver(HWND box, HWND owner) {
    RECT outer;
    RECT ours;
    if (owner == nullptr || !GetWindowRect(owner, &outer) || !GetWindowRect(box, &ours)) {
        return;
    }
    const int width = ours.right - ours.left;
    const int height = ours.bottom - ours.top;
    SetWindowPos(box, nullptr, outer.left + (outer.right - outer.left - width) / 2,
                 outer.top + (outer.bottom - outer.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG:
        CenterOver(box, GetWindow(box, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(box, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CAboutDlg::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAboutDialogId), owner,
                           &AboutProc, 0);
}

CPlayerApp& ThePlayerApp() {
    static CPlayerApp application;
    return application;
}

bool CPlayerApp::InitInstance() {
    // The trackbar is a common control.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    CPlayerDlg dialog(ThePlayerState());
    dialog.aboutBox = [](HWND owner) {
        CAboutDlg about(owner);
        about.DoModal(); // which button ended it changes nothing
    };
    if (beforeRun) {
        beforeRun(dialog);
    }
    dialog.DoModal(); // the player lives in here; how it ended makes no difference
    return false;
}
