// CTextLabel on Windows: a static control of the dialog, taken over (subclassed) by the label,
// that draws its text in a colour and font of its own on a background of its own, can blink its
// text or its background, opens its own text when clicked (with the notify style) and shows a
// cursor of its choice on hover. The dialog hands its colour requests for the control back to
// the label (CtlColor), as a framework reflects them.
#pragma once

#include <windows.h>

#include <string>

class CTextLabel {
public:
    enum BlinkKind : int { kNoBlink = 0, kTextBlink = 1, kBackgroundBlink = 2 };
    static constexpr UINT kBlinkTimerId = 1;
    static constexpr UINT kBlinkPeriodMs = 500;

    CTextLabel();
    ~CTextLabel();
    CTextLabel(const CTextLabel&) = delete;
    CTextLabel& operator=(const CTextLabel&) = delete;

    // Takes over the dialog's static control `id`; false when there is none.
    bool SubclassDlgItem(int id, HWND dialog);
    HWND GetSafeHwnd() const { return window; }

    CTextLabel& SetLabelText(const std::wstring& text);
    CTextLabel& SetForeColor(COLORREF color);
    CTextLabel& SetBackColor(COLORREF color);
    CTextLabel& SetBold(BOOL on);
    CTextLabel& SetItalic(BOOL on);
    CTextLabel& SetUnderline(BOOL on);
    CTextLabel& SetFontHeight(int height);
    CTextLabel& SetFaceName(const std::wstring& name);
    CTextLabel& SetStaticEdge(BOOL on);
    CTextLabel& SetThinBorder(BOOL on);
    CTextLabel& SetOpenOnClick(BOOL on);
    CTextLabel& SetHoverCursor(HCURSOR cursor);
    CTextLabel& BlinkText(BOOL on);
    CTextLabel& BlinkBackground(BOOL on);

    // The colour rule, for the colour request the control sent its dialog.
    HBRUSH CtlColor(HDC context, UINT kind);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void RebuildFont();
    void Repaint();
    void EndBlink();
    std::wstring WindowText() const;

    HWND window = nullptr;
    COLORREF textColor;
    HBRUSH backBrush;
    HBRUSH plainBrush; // the background of the off phase of a background blink, never replaced
    LOGFONTW logFont{};
    HFONT font = nullptr;
    std::wstring savedText;
    int blinkPhase = 0;
    int blinkKind = kNoBlink;
    HCURSOR hoverCursor = nullptr; // the caller's
};

// Whether a text names an existing file or folder, or is a URL with a scheme of two or more
// characters and no blank: the texts a click hands to the shell's "open" verb.
bool IsOpenable(const std::wstring& text);
