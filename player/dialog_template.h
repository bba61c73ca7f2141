// The dialog manager's rule that turns a dialog table's units into pixels from the dialog font,
// so a layout scales with its font.
#pragma once

#include "player/dialog_table.h"

#include <QFont>
#include <QRect>
#include <QWidget>

#include <cstdint>

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
