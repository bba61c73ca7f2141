// window_probe: looks at a running `discolo.exe --demo` as a user would, from another process on
// the same desktop: finds its window, checks the frame and every control against the dialog
// table (pixels from the dialog font's base units, measured here), the faces, the labels'
// colours, the first disc's texts and the About box; then clicks Play and Next, sees the track
// selector follow the drive into the next track, and closes the window. Prints each problem
// and exits 1 when there was one.
#include "app/about_template.h"
#include "player/player_template.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int problems = 0;
int checks = 0;

void Check(bool ok, const std::string& what) {
    ++checks;
    if (!ok) {
        ++problems;
        std::printf("window_probe: %s\n", what.c_str());
    }
}

HWND WaitForWindow(const wchar_t* caption, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (HWND window = FindWindowW(L"#32770", caption);
            window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        Sleep(50);
    }
    return nullptr;
}

bool WaitFor(int milliseconds, auto condition) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        nullptr);
    return text;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

struct BaseUnits {
    int width;
    int height;
};

// The dialog manager's measure of a template's font, made here as it makes it (a font handle of
// the other process means nothing in this one): the 52 letters' average width, rounded, and the
// character height.
BaseUnits BaseUnitsOf(const DialogTemplate& table) {
    HDC screen = GetDC(nullptr);
    wchar_t face[LF_FACESIZE] = {};
    for (int i = 0; table.fontFace[i] != '\0' && i < LF_FACESIZE - 1; ++i) {
        face[i] = static_cast<wchar_t>(table.fontFace[i]);
    }
    HFONT font =
        CreateFontW(-MulDiv(table.fontPoints, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0,
                    FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_DONTCARE, face);
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SIZE size{};
    const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(screen, letters, 52, &size);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return {(size.cx / 26 + 1) / 2, metrics.tmHeight};
}

RECT Mapped(const BaseUnits& units, int x, int y, int width, int height) {
    const int left = MulDiv(x, units.width, 4);
    const int top = MulDiv(y, units.height, 8);
    return {left, top, left + MulDiv(width, units.width, 4), top + MulDiv(height, units.height, 8)};
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

RECT ClientRectOf(HWND control, HWND dialog) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

const wchar_t* ClassNameOf(ControlClass controlClass) {
    switch (controlClass) {
    case ControlClass::Button:
        return L"Button";
    case ControlClass::ComboBox:
        return L"ComboBox";
    case ControlClass::Static:
        return L"Static";
    case ControlClass::Trackbar:
        return L"msctls_trackbar32";
    }
    return L"";
}

void CheckFrame(HWND dialog, const DialogTemplate& table, const BaseUnits& units) {
    const auto style = static_cast<uint32_t>(GetWindowLongW(dialog, GWL_STYLE));
    const auto exStyle = static_cast<uint32_t>(GetWindowLongW(dialog, GWL_EXSTYLE));
    const uint32_t kept =
        table.style & ~uint32_t{DS_SETFONT | DS_CENTER | DS_MODALFRAME | DS_3DLOOK};
    Check((style & kept) == kept, std::string(table.caption) + ": style " + std::to_string(style));
    Check((exStyle & table.exStyle) == table.exStyle,
          std::string(table.caption) + ": extended style " + std::to_string(exStyle));
    RECT client;
    GetClientRect(dialog, &client);
    const RECT expected = Mapped(units, 0, 0, table.width, table.height);
    Check(client.right == expected.right && client.bottom == expected.bottom,
          std::string(table.caption) + ": client " + Describe(client) + ", table " +
              Describe(expected));
    Check(Narrow(TextOf(dialog)) == table.caption, "caption " + Narrow(TextOf(dialog)));
}

void CheckControls(HWND dialog, const BaseUnits& units) {
    for (const ControlTemplate& control : kPlayerControls) {
        const std::string name = control.objectName;
        HWND window = GetDlgItem(dialog, control.id);
        Check(window != nullptr, name + ": no control " + std::to_string(control.id));
        if (window == nullptr) {
            continue;
        }
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        Check(lstrcmpiW(className, ClassNameOf(control.controlClass)) == 0,
              name + ": class " + Narrow(className));
        // A combo box hands the scroll bar style on to its list.
        const uint32_t wanted = control.controlClass == ControlClass::ComboBox
                                    ? control.style & ~uint32_t{WS_VSCROLL}
                                    : control.style;
        const auto style = static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE));
        Check((style & wanted) == wanted, name + ": style " + std::to_string(style));
        const auto exStyle = static_cast<uint32_t>(GetWindowLongW(window, GWL_EXSTYLE));
        Check((exStyle & control.exStyle) == control.exStyle, name + ": extended style");

        RECT expected = Mapped(units, control.x, control.y, control.width, control.height);
        const RECT actual = ClientRectOf(window, dialog);
        if (control.controlClass == ControlClass::ComboBox) {
            // The table's height is the dropped list's: the closed box is one line high.
            expected.bottom = actual.bottom;
        }
        Check(EqualRect(&actual, &expected) != 0,
              name + ": at " + Describe(actual) + ", table " + Describe(expected));
    }
}

void CheckFacesAndLabels(HWND dialog) {
    for (const ButtonFace& face : kButtonFaces) {
        Check(SendDlgItemMessageW(dialog, face.control, BM_GETIMAGE, IMAGE_BITMAP, 0) != 0,
              "no face on button " + std::to_string(face.control));
    }
    // The readouts: cyan text on black, as the screen shows them.
    for (const int id : {kIdTrackTimeLabel, kIdDiscTimeLabel}) {
        HWND readout = GetDlgItem(dialog, id);
        RECT r;
        GetWindowRect(readout, &r);
        HDC screen = GetDC(nullptr);
        int black = 0;
        int cyan = 0;
        for (int y = r.top + 2; y < r.bottom - 2; ++y) {
            for (int x = r.left + 2; x < r.right - 2; ++x) {
                const COLORREF pixel = GetPixel(screen, x, y);
                black += pixel == RGB(0, 0, 0) ? 1 : 0;
                cyan += pixel == RGB(0, 255, 255) ? 1 : 0;
            }
        }
        ReleaseDC(nullptr, screen);
        const int inside = (r.right - r.left - 4) * (r.bottom - r.top - 4);
        Check(black > inside / 2 && cyan > 20,
              "readout " + std::to_string(id) + ": " + std::to_string(black) + " black, " +
                  std::to_string(cyan) + " cyan pixels of " + std::to_string(inside));
        const std::string text = Narrow(TextOf(readout));
        Check(text.size() == 5 && text[2] == ':',
              "readout " + std::to_string(id) + " \"" + text + "\"");
    }
}

void CheckDisc(HWND dialog) {
    // "&&" in a static's text shows one "&".
    Check(Narrow(TextOf(GetDlgItem(dialog, kIdTitleField))) == "Tides && Tin Roofs",
          "title field \"" + Narrow(TextOf(GetDlgItem(dialog, kIdTitleField))) + "\"");
    wchar_t entry[64] = {};
    SendDlgItemMessageW(dialog, kIdDriveCombo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry));
    Check(Narrow(entry) == "ID:3   VX-6012SA", "drive entry \"" + Narrow(entry) + "\"");
    Check(SendDlgItemMessageW(dialog, kIdDriveCombo, CB_GETCOUNT, 0, 0) == 2, "two drives listed");
    Check(SendDlgItemMessageW(dialog, kIdTrackCombo, CB_GETCOUNT, 0, 0) == 12, "twelve tracks");
}

// The window menu's About command opens the box, centred over the player, and OK ends it.
void CheckAbout(HWND dialog) {
    PostMessageW(dialog, WM_SYSCOMMAND, kAboutCommandId, 0);
    HWND about = WaitForWindow(L"About Discolo", 10000);
    Check(about != nullptr, "no About box");
    if (about == nullptr) {
        return;
    }
    CheckFrame(about, kAboutDialog, BaseUnitsOf(kAboutDialog));
    RECT player;
    RECT box;
    GetWindowRect(dialog, &player);
    GetWindowRect(about, &box);
    Check(std::abs((player.left + player.right) - (box.left + box.right)) <= 2 &&
              std::abs((player.top + player.bottom) - (box.top + box.bottom)) <= 2,
          "the About box is not centred over the player");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    Check(WaitFor(5000, [about] { return !IsWindow(about); }), "OK did not end the About box");
}

int TrackSelection(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, kIdTrackCombo, CB_GETCURSEL, 0, 0));
}

} // namespace

int main() {
    HWND dialog = WaitForWindow(L"Discolo V1.00", 60000);
    if (dialog == nullptr) {
        std::printf("window_probe: no window \"Discolo V1.00\"\n");
        return 1;
    }
    // The first disc refresh has run once the title shows.
    WaitFor(10000, [dialog] { return !TextOf(GetDlgItem(dialog, kIdTitleField)).empty(); });
    const BaseUnits units = BaseUnitsOf(kPlayerDialog);
    std::printf("window_probe: base units %d x %d\n", units.width, units.height);
    CheckFrame(dialog, kPlayerDialog, units);
    CheckControls(dialog, units);
    CheckFacesAndLabels(dialog);
    CheckDisc(dialog);
    CheckAbout(dialog);

    // Play (already playing: nothing changes), then Next: the selector follows the drive into
    // track 3 once the drive reports it.
    const int before = TrackSelection(dialog);
    Check(before == 1, "the demo does not play track 2: entry " + std::to_string(before));
    SendDlgItemMessageW(dialog, kIdPlay, BM_CLICK, 0, 0);
    Sleep(700);
    SendDlgItemMessageW(dialog, kIdNext, BM_CLICK, 0, 0);
    // A loaded machine may take a few polls to show it; the wait ends as soon as it does.
    Check(WaitFor(15000, [dialog] { return TrackSelection(dialog) == 2; }),
          "Next: the track selector stays at entry " + std::to_string(TrackSelection(dialog)));
    Check(WaitFor(15000,
                  [dialog] {
                      return Narrow(TextOf(GetDlgItem(dialog, kIdTrackNumberField))) == "Track 3";
                  }),
          "Next: \"" + Narrow(TextOf(GetDlgItem(dialog, kIdTrackNumberField))) + "\"");
    Sleep(1500);
    // The close box's command.
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Check(WaitFor(10000, [dialog] { return !IsWindow(dialog); }), "Close did not end the window");
    std::printf("window_probe: %d checks, %d problems\n", checks, problems);
    return problems == 0 ? 0 : 1;
}
