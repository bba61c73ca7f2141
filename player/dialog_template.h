// Dialog templates as data: controls placed in dialog units, and the dialog manager's rule that
// turns dialog units into pixels from the dialog font, so a layout scales with its font.
#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

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
    int fontPoints;          // the dialog font's size; its face is the desktop's sans serif
};

// Dialog base units: the average width of the font's letters and its character cell height.
struct DialogBaseUnits {
    int charWidth;
    int charHeight;
};

// Base units as the dialog manager measures them: the 52 letters' width averaged and rounded.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// x px = x * charWidth / 4 and y px = y * charHeight / 8, each rounded to the nearest pixel.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units);

// A template's font: its point size of the desktop's sans serif.
QFont DialogTemplateFont(int points);

// A control with the tab-stop style takes the focus and comes after the template's previous tab
// stop in the tab order (previousTabStop follows along); any other control never takes it.
void ApplyTabStop(QWidget* widget, uint32_t style, QWidget*& previousTabStop);
