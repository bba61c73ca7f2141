// CPlayerDlg on Windows: dialog 102 from the program's resources, run modally, a view of the
// player's controller. Its dialog procedure hands every message of the window's message map to
// the controller (or to its own start-up, closing and About box), and applies each part of the
// view the controller names to the controls with the controls' own messages.
#pragma once

#include "player/player_controller.h"
#include "player/player_state.h"
#include "player/player_window.h"
#include "win32/text_label.h"

#include <windows.h>

#include <functional>
#include <string>

class CPlayerDlg final : private PlayerWindow, private PlayerTimers {
public:
    explicit CPlayerDlg(PlayerState& state, HWND parent = nullptr);
    ~CPlayerDlg() override;
    CPlayerDlg(const CPlayerDlg&) = delete;
    CPlayerDlg& operator=(const CPlayerDlg&) = delete;

    // Runs the window until it ends; the dialog's result (IDOK, IDCANCEL, or -1 when the window
    // could not be made).
    INT_PTR DoModal();
    HWND GetSafeHwnd() const { return window; }

    // What the About command shows (the application's About box, over this window).
    std::function<void(HWND owner)> aboutBox;
    // Called once the window is set up, before it is first shown (--screenshot sets a timer here).
    std::function<void(HWND window)> whenStarted;
    // Timers of the window's own besides the player's two: handed their id.
    std::function<void(HWND window, UINT_PTR id)> otherTimer;

    PlayerController& Controller() { return controller; }

    // Label controls, in declaration order.
    CTextLabel trackCaption;
    CTextLabel titleCaption;
    CTextLabel artistCaption;
    CTextLabel discPositionCaption;
    CTextLabel trackPositionCaption;
    CTextLabel discTimeLabel;
    CTextLabel trackTimeLabel;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnCancel();
    void OnSysCommand(UINT commandId, LPARAM parameter);
    bool OnPaint();
    void OnCommand(int id, int notification);
    void OnHScroll(int code);
    CTextLabel* LabelOf(HWND control);

    // The bound texts and check states to the controls: a control is touched only when it differs.
    void UpdateData(const PlayerView& view);

    // PlayerWindow
    void ViewChanged(const PlayerView& view, ViewParts parts) override;
    bool FastButtonHeld(FastButton button) const override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void DestroyWindow() override;
    // PlayerTimers
    uint32_t StartTimer(int id, int intervalMs) override;
    void KillTimer(uint32_t timer) override;

    PlayerState& state;
    HWND parent;
    HWND window = nullptr;
    HICON icon; // icon 128
    PlayerController controller;
};

// A text of the view (Latin-1 bytes) as the window shows it.
std::wstring FromLatin1(const std::string& text);
