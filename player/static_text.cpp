// The static text control: the window text is kept, the drawn text is prefix-processed.
#include "player/static_text.h"

#include <QPainter>
#include <QStyle>

QString PrefixedDisplayText(const QString& windowText) {
    QString shown;
    shown.reserve(windowText.size());
    for (qsizetype i = 0; i < windowText.size(); ++i) {
        if (windowText[i] == u'&') {
            ++i; // "&&" shows one ampersand; "&x" shows x; a last lone "&" shows nothing
            if (i == windowText.size()) {
                break;
            }
        }
        shown += windowText[i];
    }
    return shown;
}

StaticText::StaticText(const QString& text, QWidget* parent) : QLabel(parent) {
    // A field shows texts from the disc: one that looks like markup (a "<b>" in a title, an
    // "<img src=...>") is drawn as it stands and never laid out as a document.
    setTextFormat(Qt::PlainText);
    setText(text);
}

void StaticText::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    drawFrame(&painter);
    // The text sits where a label would put it: inside the margin, and indented from the edges
    // it is aligned to by half an "x" when there is a frame.
    const int indentBy = indent() >= 0
                             ? indent()
                             : (frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2 : 0);
    QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const Qt::Alignment align = alignment();
    box.adjust((align & Qt::AlignLeft) ? indentBy : 0, (align & Qt::AlignTop) ? indentBy : 0,
               (align & Qt::AlignRight) ? -indentBy : 0, (align & Qt::AlignBottom) ? -indentBy : 0);
    const int flags = static_cast<int>(align) | (wordWrap() ? Qt::TextWordWrap : 0);
    style()->drawItemText(&painter, box, flags, palette(), isEnabled(), PrefixedDisplayText(text()),
                          foregroundRole());
}
