// The player window on Windows: its dialog procedure, start-up, closing, the About command, the
// minimized icon, and the view model applied to the controls.
#include "win32/player_dlg.h"

#include "player/player_template.h"
#include "player/player_timers.h"
#include "player/readouts.h"

#include <commctrl.h>

#include <array>
#include <tuple>

namespace {

constexpr UINT kSystemCommandMask = 0xFFF0;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetText(HWND dialog, int id, const std::string& value) {
    const std::wstring text = FromLatin1(value);
    if (ControlText(dialog, id) != text) {
        SetDlgItemTextW(dialog, id, text.c_str()); // an unchanged text does not flicker
    }
}

void SetCheck(HWND dialog, int id, int check) {
    const UINT state = check != 0 ? BST_CHECKED : BST_UNCHECKED;
    if (IsDlgButtonChecked(dialog, id) != state) {
        CheckDlgButton(dialog, id, state); // the program's change: sends no BN_CLICKED
    }
}

void ShowEntries(HWND dialog, int id, const std::vector<std::string>& entries, int selection) {
    SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
        const std::wstring text = FromLatin1(entry);
        SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

} // namespace

std::wstring FromLatin1(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return wide;
}

CPlayerDlg::CPlayerDlg(PlayerState& playerState, HWND parentWindow)
    : state(playerState), parent(parentWindow),
      icon(LoadIconW(Instance(), MAKEINTRESOURCEW(kIconId))), controller(playerState, this, this) {}

CPlayerDlg::~CPlayerDlg() = default;

INT_PTR CPlayerDlg::DoModal() {
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(kPlayerDialogId), parent, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CPlayerDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CPlayerDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window = window;
    }
    auto* self = reinterpret_cast<CPlayerDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

CTextLabel* CPlayerDlg::LabelOf(HWND control) {
    for (CTextLabel* label : {&trackCaption, &titleCaption, &artistCaption, &discPositionCaption,
                              &trackPositionCaption, &discTimeLabel, &trackTimeLabel}) {
        if (control != nullptr && label->GetSafeHwnd() == control) {
            return label;
        }
    }
    return nullptr;
}

// The window's message map.
INT_PTR CPlayerDlg::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SYSCOMMAND:
        if ((wParam & kSystemCommandMask) == kAboutCommandId) {
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            return TRUE;
        }
        return FALSE; // the system's own commands; Close comes back as IDCANCEL
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kPollTimerId || wParam == kDiscTimerId) {
            controller.OnTimer(static_cast<int>(wParam));
        } else if (otherTimer) {
            otherTimer(window, wParam);
        }
        return TRUE;
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam));
        return TRUE;
    case WM_LBUTTONUP:
        controller.OnLButtonUp();
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // The colour requests of the labels go back to the labels.
        if (CTextLabel* label = LabelOf(reinterpret_cast<HWND>(lParam))) {
            return reinterpret_cast<INT_PTR>(
                label->CtlColor(reinterpret_cast<HDC>(wParam), CTLCOLOR_STATIC));
        }
        return FALSE;
    case WM_NCDESTROY:
        window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CPlayerDlg::OnCommand(int id, int notification) {
    switch (id) {
    case kIdDriveCombo:
        if (notification == CBN_SELCHANGE) {
            controller.OnDriveSelChange(
                static_cast<int>(SendDlgItemMessageW(window, id, CB_GETCURSEL, 0, 0)));
        }
        return;
    case kIdTrackCombo:
        if (notification == CBN_SELCHANGE) {
            controller.OnTrackSelChange(
                static_cast<int>(SendDlgItemMessageW(window, id, CB_GETCURSEL, 0, 0)));
        } else if (notification == CBN_DROPDOWN) {
            controller.OnTrackDropDown();
        }
        return;
    case IDCANCEL: // the close box, Escape, the window menu's Close
        OnCancel();
        return;
    case IDOK: // Enter: the dialog ends without the closing steps
        EndDialog(window, IDOK);
        return;
    default:
        break;
    }
    if (notification != BN_CLICKED) {
        return;
    }
    switch (id) {
    case kIdPlay:
        controller.OnPlay();
        break;
    case kIdStop:
        controller.OnStop();
        break;
    case kIdPause:
        controller.OnPauseResume();
        break;
    case kIdEject:
        controller.OnEjectLoad();
        break;
    case kIdPrevious:
        controller.OnPreviousTrack();
        break;
    case kIdNext:
        controller.OnNextTrack();
        break;
    case kIdFastForward:
        controller.OnFastForward();
        break;
    case kIdFastBackward:
        controller.OnFastBackward();
        break;
    case kIdTrackTimeMode:
        controller.OnTrackTimeMode();
        break;
    case kIdDiscTimeMode:
        controller.OnDiscTimeMode();
        break;
    default:
        break;
    }
}

void CPlayerDlg::OnHScroll(int code) {
    // The slider is the window's only horizontal control; its position is read back from it.
    const auto position =
        static_cast<int>(SendDlgItemMessageW(window, kIdPositionSlider, TBM_GETPOS, 0, 0));
    controller.OnHScroll(code, position);
}

// ---- start-up, closing, the About command, the minimized icon --------------------------------

BOOL CPlayerDlg::OnInitDialog() {
    // The labels take over their statics, then the first transfer empties the bound fields.
    trackCaption.SubclassDlgItem(kIdTrackCaption, window);
    titleCaption.SubclassDlgItem(kIdTitleCaption, window);
    artistCaption.SubclassDlgItem(kIdArtistCaption, window);
    discPositionCaption.SubclassDlgItem(kIdDiscPositionCaption, window);
    trackPositionCaption.SubclassDlgItem(kIdTrackPositionCaption, window);
    discTimeLabel.SubclassDlgItem(kIdDiscTimeLabel, window);
    trackTimeLabel.SubclassDlgItem(kIdTrackTimeLabel, window);
    UpdateData(controller.View());

    if (HMENU menu = GetSystemMenu(window, FALSE)) {
        std::array<wchar_t, 64> text{};
        if (LoadStringW(Instance(), kAboutMenuStringId, text.data(),
                        static_cast<int>(text.size())) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, kAboutCommandId, text.data());
        }
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    for (CTextLabel* readout : {&trackTimeLabel, &discTimeLabel}) {
        readout->SetForeColor(kReadoutForeground);
        readout->SetBackColor(kReadoutBackground);
        readout->SetFontHeight(kReadoutFontHeight);
        readout->SetStaticEdge(TRUE);
    }
    for (CTextLabel* caption : {&titleCaption, &trackCaption, &artistCaption, &trackPositionCaption,
                                &discPositionCaption}) {
        caption->SetBold(TRUE);
    }
    // The faces are drawn on the classic button grey, which becomes the buttons' own face colour.
    for (const ButtonFace& face : kButtonFaces) {
        HANDLE bitmap = LoadImageW(Instance(), MAKEINTRESOURCEW(face.bitmap), IMAGE_BITMAP, 0, 0,
                                   LR_LOADMAP3DCOLORS);
        SendDlgItemMessageW(window, face.control, BM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(bitmap));
    }

    controller.OnInitDialog(); // the ASPI layer, the drives, the first disc, the timers
    if (window != nullptr && whenStarted) {
        whenStarted(window);
    }
    return TRUE; // the dialog manager sets the focus
}

void CPlayerDlg::OnCancel() {
    controller.OnCancel(); // the selected drive stops; the timers go; the ASPI layer is unloaded
    EndDialog(window, IDCANCEL);
}

void CPlayerDlg::OnSysCommand(UINT /*commandId*/, LPARAM /*parameter*/) {
    if (aboutBox) {
        aboutBox(window);
    }
}

bool CPlayerDlg::OnPaint() {
    if (!IsIconic(window)) {
        return false; // the dialog paints itself
    }
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
    const int width = GetSystemMetrics(SM_CXICON);
    const int height = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - width + 1) / 2;
    const int y = (client.bottom - client.top - height + 1) / 2;
    if (icon != nullptr) {
        DrawIcon(context, x, y, icon);
    }
    EndPaint(window, &paint);
    return true;
}

// ---- the view model on the controls ----------------------------------------------------------

void CPlayerDlg::UpdateData(const PlayerView& view) {
    SetText(window, kIdArtistField, view.artistText);
    SetText(window, kIdTitleField, view.titleText);
    SetText(window, kIdTrackTotalField, view.trackTotalText);
    SetText(window, kIdDiscTotalField, view.discTotalText);
    SetText(window, kIdTrackTimeLabel, view.trackPositionText);
    SetText(window, kIdDiscTimeLabel, view.discPositionText);
    SetCheck(window, kIdTrackTimeMode, view.trackTimeCheck);
    SetCheck(window, kIdDiscTimeMode, view.discTimeCheck);
    SetText(window, kIdTrackNumberField, view.trackNumberText);
}

void CPlayerDlg::ViewChanged(const PlayerView& view, ViewParts parts) {
    if (window == nullptr) {
        return;
    }
    if ((parts & kViewTexts) != 0) {
        UpdateData(view);
    }
    if ((parts & kViewToggles) != 0) {
        for (auto [id, check, caption] :
             {std::tuple{kIdTrackTimeMode, view.trackTimeCheck, &view.trackTimeCaption},
              std::tuple{kIdDiscTimeMode, view.discTimeCheck, &view.discTimeCaption}}) {
            SetCheck(window, id, check);
            SetDlgItemTextW(window, id, FromLatin1(*caption).c_str());
        }
    }
    if ((parts & kViewDriveEntries) != 0) {
        ShowEntries(window, kIdDriveCombo, view.driveEntries, view.driveSelection);
    }
    if ((parts & kViewDriveSelection) != 0) {
        SendDlgItemMessageW(window, kIdDriveCombo, CB_SETCURSEL,
                            static_cast<WPARAM>(view.driveSelection), 0);
    }
    if ((parts & kViewTrackEntries) != 0) {
        ShowEntries(window, kIdTrackCombo, view.trackEntries, view.trackSelection);
    }
    if ((parts & kViewTrackSelection) != 0) {
        SendDlgItemMessageW(window, kIdTrackCombo, CB_SETCURSEL,
                            static_cast<WPARAM>(view.trackSelection), 0);
    }
    if ((parts & kViewTrackEnabled) != 0) {
        EnableWindow(GetDlgItem(window, kIdTrackCombo), view.trackSelectorEnabled);
    }
    if ((parts & kViewSliderScale) != 0) {
        const SliderView& slider = view.slider;
        HWND trackbar = GetDlgItem(window, kIdPositionSlider);
        SendMessageW(trackbar, TBM_CLEARTICS, FALSE, 0);
        SendMessageW(trackbar, TBM_SETRANGEMIN, FALSE, slider.minimum);
        SendMessageW(trackbar, TBM_SETRANGEMAX, slider.redraw, slider.maximum);
        SendMessageW(trackbar, TBM_SETLINESIZE, 0, slider.lineSize);
        SendMessageW(trackbar, TBM_SETPAGESIZE, 0, slider.pageSize);
        for (const int32_t tick : slider.ticks) {
            SendMessageW(trackbar, TBM_SETTIC, 0, tick);
        }
    }
    if ((parts & kViewSliderPosition) != 0) {
        SendDlgItemMessageW(window, kIdPositionSlider, TBM_SETPOS, TRUE, view.slider.position);
    }
}

bool CPlayerDlg::FastButtonHeld(FastButton button) const {
    const int id = button == FastButton::Forward ? kIdFastForward : kIdFastBackward;
    return (SendDlgItemMessageW(window, id, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

void CPlayerDlg::ShowError(const std::string& caption, const std::string& text) {
    MessageBoxW(window, FromLatin1(text).c_str(), FromLatin1(caption).c_str(), MB_OK | MB_ICONHAND);
}

void CPlayerDlg::DestroyWindow() {
    EndDialog(window, IDABORT); // without the closing steps
}

uint32_t CPlayerDlg::StartTimer(int id, int intervalMs) {
    return static_cast<uint32_t>(
        SetTimer(window, static_cast<UINT_PTR>(id), static_cast<UINT>(intervalMs), nullptr));
}

void CPlayerDlg::KillTimer(uint32_t timer) {
    ::KillTimer(window, timer);
}
