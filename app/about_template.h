// Dialog 100, the About box: its frame and its four controls in template order.
#pragma once

#include "player/dialog_table.h"

#include <array>

// Style bits that only the About box uses.
inline constexpr uint32_t kStaticIcon = 0x00000003u;     // the static shows an icon
inline constexpr uint32_t kStaticNoPrefix = 0x00000080u; // '&' is shown, not an accelerator mark
inline constexpr uint32_t kButtonDefPushButton = 0x00000001u;

inline constexpr int kIdOk = 1;
inline constexpr int kIdNone = 65535; // statics that nothing refers to

inline constexpr const char* kAboutVersionText = "Discolo V1.00";
// Latin-1, short enough to stay one line in the box with the wider desktop fonts.
inline constexpr const char* kAboutNoticeText = "\xA9 2026 the Discolo developers";

// A plain template: no extended styles, not visible until it runs.
inline constexpr DialogTemplate kAboutDialog{"About Discolo", 0,           0, 217,  55, 8,
                                             "MS Sans Serif", 0x80C800C0u, 0, false};
inline constexpr int kAboutDialogId = 100;

// The icon static has no text: it shows the program's icon, 128.
// clang-format off
inline constexpr std::array<ControlTemplate, 4> kAboutControls{{
    {kIdNone, ControlClass::Static, "",                11, 17, 20,  20, 0x50000003u, 0, "iconField"},
    {kIdNone, ControlClass::Static, kAboutVersionText, 40, 10, 119, 8,  0x50020080u, 0, "versionField"},
    {kIdNone, ControlClass::Static, kAboutNoticeText,  40, 25, 119, 8,  0x50020000u, 0, "noticeField"},
    {kIdOk,   ControlClass::Button, "OK",              178, 7, 32,  14, 0x50030001u, 0, "okButton"},
}};
// clang-format on
