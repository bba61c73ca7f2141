// The label control on Windows.
#include "win32/text_label.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>

namespace {

constexpr UINT_PTR kSubclassId = 0x4C42; // "LB"

void ModifyStyle(HWND window, int which, LONG add, LONG remove, UINT flags) {
    const LONG style = GetWindowLongW(window, which);
    SetWindowLongW(window, which, (style & ~remove) | add);
    if (flags != 0) {
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    }
}

} // namespace

bool IsOpenable(const std::wstring& text) {
    if (text.empty()) {
        return false;
    }
    if (GetFileAttributesW(text.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    // A one-letter scheme is a drive letter, and text with blanks is a caption, not an address.
    const size_t colon = text.find(L':');
    if (colon == std::wstring::npos || colon < 2 || colon + 1 == text.size() ||
        text.find_first_of(L" \t\r\n") != std::wstring::npos || !std::iswalpha(text[0])) {
        return false;
    }
    for (size_t i = 1; i < colon; ++i) {
        const wchar_t c = text[i];
        if (!(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.') || c > 0x7F) {
            return false;
        }
    }
    return true;
}

CTextLabel::CTextLabel()
    : textColor(GetSysColor(COLOR_WINDOWTEXT)),
      backBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
    font = CreateFontIndirectW(&logFont);
    plainBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
}

CTextLabel::~CTextLabel() {
    if (window != nullptr && IsWindow(window)) {
        RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
    }
    DeleteObject(font);
    DeleteObject(backBrush);
    DeleteObject(plainBrush);
}

bool CTextLabel::SubclassDlgItem(int id, HWND dialog) {
    window = GetDlgItem(dialog, id);
    if (window == nullptr) {
        return false;
    }
    SetWindowSubclass(window, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

std::wstring CTextLabel::WindowText() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CTextLabel::Repaint() {
    if (window != nullptr) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

void CTextLabel::RebuildFont() {
    DeleteObject(font);
    font = CreateFontIndirectW(&logFont);
    // The static draws with the font it was given; it gets the label's own, without a redraw.
    if (window != nullptr) {
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

CTextLabel& CTextLabel::SetLabelText(const std::wstring& text) {
    SetWindowTextW(window, text.c_str());
    return *this;
}

CTextLabel& CTextLabel::SetForeColor(COLORREF color) {
    textColor = color;
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetBackColor(COLORREF color) {
    if (backBrush != nullptr) {
        DeleteObject(backBrush);
    }
    backBrush = CreateSolidBrush(color); // shown at the next repaint
    return *this;
}

CTextLabel& CTextLabel::SetBold(BOOL on) {
    logFont.lfWeight = on ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetItalic(BOOL on) {
    logFont.lfItalic = static_cast<BYTE>(on);
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetUnderline(BOOL on) {
    logFont.lfUnderline = static_cast<BYTE>(on);
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetFontHeight(int height) {
    logFont.lfHeight = -height; // a character height in pixels, not a size in points
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetFaceName(const std::wstring& name) {
    // A longer name is cut to what the field holds, with its terminator.
    const size_t length = std::min(name.size(), size_t{LF_FACESIZE - 1});
    name.copy(logFont.lfFaceName, length);
    logFont.lfFaceName[length] = L'\0';
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetStaticEdge(BOOL on) {
    ModifyStyle(window, GWL_EXSTYLE, on ? WS_EX_STATICEDGE : 0, on ? 0 : WS_EX_STATICEDGE,
                SWP_FRAMECHANGED);
    return *this;
}

CTextLabel& CTextLabel::SetThinBorder(BOOL on) {
    ModifyStyle(window, GWL_STYLE, on ? WS_BORDER : 0, on ? 0 : WS_BORDER, SWP_FRAMECHANGED);
    return *this;
}

CTextLabel& CTextLabel::SetOpenOnClick(BOOL on) {
    ModifyStyle(window, GWL_STYLE, on ? SS_NOTIFY : 0, on ? 0 : SS_NOTIFY, 0);
    return *this;
}

CTextLabel& CTextLabel::SetHoverCursor(HCURSOR cursor) {
    hoverCursor = cursor;
    return *this;
}

// A stop puts a hidden text back and leaves the label as if it had never blinked, so a later
// start of either kind begins afresh.
void CTextLabel::EndBlink() {
    if (blinkKind == kNoBlink) {
        return;
    }
    KillTimer(window, kBlinkTimerId);
    if (blinkKind == kTextBlink) {
        SetWindowTextW(window, savedText.c_str());
    } else {
        InvalidateRect(window, nullptr, TRUE);
    }
    blinkKind = kNoBlink;
    blinkPhase = 0;
}

CTextLabel& CTextLabel::BlinkText(BOOL on) {
    EndBlink();
    if (on) {
        savedText = WindowText();
        blinkPhase = 0;
        SetTimer(window, kBlinkTimerId, kBlinkPeriodMs, nullptr);
        blinkKind = kTextBlink;
    }
    return *this;
}

CTextLabel& CTextLabel::BlinkBackground(BOOL on) {
    EndBlink();
    if (on) {
        blinkPhase = 0;
        SetTimer(window, kBlinkTimerId, kBlinkPeriodMs, nullptr);
        blinkKind = kBackgroundBlink;
    }
    return *this;
}

HBRUSH CTextLabel::CtlColor(HDC context, UINT kind) {
    if (kind == CTLCOLOR_STATIC) {
        SelectObject(context, font);
        SetTextColor(context, textColor);
        SetBkMode(context, TRANSPARENT);
    }
    return blinkKind == kBackgroundBlink && blinkPhase == 0 ? plainBrush : backBrush;
}

LRESULT CALLBACK CTextLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR /*id*/, DWORD_PTR self) {
    auto* label = reinterpret_cast<CTextLabel*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
        label->window = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return label->Handle(message, wParam, lParam);
}

LRESULT CTextLabel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        blinkPhase = blinkPhase == 0 ? 1 : 0;
        if (blinkKind == kTextBlink) {
            SetWindowTextW(window, blinkPhase == 1 ? L"" : savedText.c_str());
        } else if (blinkKind == kBackgroundBlink) {
            InvalidateRect(window, nullptr, FALSE);
            UpdateWindow(window);
        }
        break;
    case WM_LBUTTONDOWN: {
        // Only a file or an address is handed on: a readout's "03:25" opens nothing.
        const std::wstring text = WindowText();
        if (IsOpenable(text)) {
            ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        }
        break;
    }
    case WM_SETCURSOR:
        if (hoverCursor != nullptr) {
            SetCursor(hoverCursor);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
