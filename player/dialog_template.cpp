// The dialog manager's measure of a font and its mapping of dialog units to pixels.
#include "player/dialog_template.h"

#include <QFontMetrics>
#include <QString>

namespace {

// a * b / c rounded half away from zero, as the dialog manager's MulDiv rounds.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    const long long rounded = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(rounded);
}

} // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units) {
    return {MulDiv(dialogUnits.x(), units.charWidth, 4),
            MulDiv(dialogUnits.y(), units.charHeight, 8),
            MulDiv(dialogUnits.width(), units.charWidth, 4),
            MulDiv(dialogUnits.height(), units.charHeight, 8)};
}

QFont DialogTemplateFont(int points) {
    QFont font(QStringLiteral("Sans Serif"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ApplyTabStop(QWidget* widget, uint32_t style, QWidget*& previousTabStop) {
    if ((style & kStyleTabStop) == 0) {
        widget->setFocusPolicy(Qt::NoFocus);
        return;
    }
    widget->setFocusPolicy(Qt::StrongFocus);
    if (previousTabStop != nullptr) {
        QWidget::setTabOrder(previousTabStop, widget);
    }
    previousTabStop = widget;
}
