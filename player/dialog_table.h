// Dialog templates as data: a dialog's frame and its controls in dialog units, with the style
// words of each. The Qt window lays itself out from these tables, and the Windows program's
// resource script is generated from the same ones, so the two cannot drift apart.
#pragma once

#include <cstdint>

enum class ControlClass { Button, ComboBox, Static, Trackbar };

// The style bits of the template's style words that this window gives a meaning.
inline constexpr uint32_t kStyleVisible = 0x10000000u;
inline constexpr uint32_t kStyleChild = 0x40000000u;
inline constexpr uint32_t kStyleTabStop = 0x00010000u;
inline constexpr uint32_t kStyleGroup = 0x00020000u;
inline constexpr uint32_t kStyleVScroll = 0x00200000u;
inline constexpr uint32_t kButtonTypeMask = 0x0000000Fu;
inline constexpr uint32_t kButtonAutoCheckBox = 0x00000003u;
inline constexpr uint32_t kButtonBitmap = 0x00000080u;
inline constexpr uint32_t kButtonPushLike = 0x00001000u;
inline constexpr uint32_t kComboTypeMask = 0x00000003u;
inline constexpr uint32_t kComboDropDownList = 0x00000003u;
inline constexpr uint32_t kComboSort = 0x00000100u;
inline constexpr uint32_t kStaticTypeMask = 0x0000001Fu;
inline constexpr uint32_t kStaticLeft = 0x00000000u;
inline constexpr uint32_t kStaticCenter = 0x00000001u;
inline constexpr uint32_t kStaticRight = 0x00000002u;
inline constexpr uint32_t kStaticNotify = 0x00000100u;
inline constexpr uint32_t kStaticSunken = 0x00001000u;
inline constexpr uint32_t kExClientEdge = 0x00000200u;

struct ControlTemplate {
    int id;
    ControlClass controlClass;
    const char* text;        // the caption in the template
    int x, y, width, height; // dialog units; a combo box's height includes its dropped list
    uint32_t style;
    uint32_t exStyle;
    const char* objectName; // the name of the member it is bound to (or "...Field" for a text)
};

struct DialogTemplate {
    const char* caption;
    int x, y, width, height; // dialog units, client area
    int fontPoints;          // the dialog font's size
    const char* fontFace;    // the font Windows draws it in; the Qt window takes the desktop's
                             // sans serif in its place
    uint32_t style;
    uint32_t exStyle;
    bool extended; // an extended template (DIALOGEX), which carries the font's weight and charset
};
