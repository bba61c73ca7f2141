// CTextLabel: colours, font description, frame, blinking, click-to-open and hover cursor.
#include "app/text_label.h"

#include "platform/open_verb.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr int kWeightNormal = 400;
constexpr int kWeightBold = 700;
constexpr int kLargestPixelSize = 2048; // beyond any screen; keeps absurd heights from stalling

int PixelSizeForCellHeight(QFont font, int cellHeight) {
    auto cellOf = [&font](int pixelSize) {
        font.setPixelSize(pixelSize);
        return QFontMetrics(font).height();
    };
    // Start from the proportion at a reference size, then step to the largest size that fits.
    constexpr int kReference = 100;
    const int64_t estimate =
        static_cast<int64_t>(cellHeight) * kReference / std::max(1, cellOf(kReference));
    int size = static_cast<int>(std::clamp<int64_t>(estimate, 1, kLargestPixelSize));
    while (size > 1 && cellOf(size) > cellHeight) {
        --size;
    }
    while (size < kLargestPixelSize && cellOf(size + 1) <= cellHeight) {
        ++size;
    }
    return size;
}

QString CutFaceName(const QString& name) {
    QString cut = name.left(LabelFontDescription::kFaceNameMax);
    if (!cut.isEmpty() && cut.back().isHighSurrogate()) {
        cut.chop(1); // never keep half of a character
    }
    return cut;
}

} // namespace

QColor FromColorRef(uint32_t colorRef) {
    return QColor::fromRgb(static_cast<int>(colorRef & 0xFFu),
                           static_cast<int>((colorRef >> 8) & 0xFFu),
                           static_cast<int>((colorRef >> 16) & 0xFFu));
}

QFont DefaultGuiFont() {
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont BuildLabelFont(const LabelFontDescription& description, const QFont& stock) {
    QFont font = stock;
    if (!description.faceName.isEmpty()) {
        font.setFamily(description.faceName);
    }
    const int weight =
        description.weight > 0 ? std::clamp(description.weight, 1, 1000) : kWeightNormal;
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(description.italic != 0);
    font.setUnderline(description.underline != 0);
    if (description.height < 0) {
        // INT_MIN has no positive counterpart; it asks for the largest size anyway.
        const int64_t wanted = -static_cast<int64_t>(description.height);
        font.setPixelSize(static_cast<int>(std::min<int64_t>(wanted, kLargestPixelSize)));
    } else if (description.height > 0) {
        font.setPixelSize(PixelSizeForCellHeight(font, description.height));
    }
    return font;
}

CTextLabel::CTextLabel(QWidget* parent) : CTextLabel(QString(), parent) {}

CTextLabel::CTextLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    // A static text is drawn as it stands: a text that looks like markup is not interpreted, so
    // a title such as "<img src=...>" neither formats anything nor reads a file.
    setTextFormat(Qt::PlainText);
    setText(text);
    // The desktop's colours are read once: a later change does not reach an existing label.
    const QPalette desktop = QApplication::palette();
    textColor = desktop.color(QPalette::Active, QPalette::WindowText);
    backBrush = QBrush(desktop.color(QPalette::Active, QPalette::Button));
    stockFont = DefaultGuiFont();
    logFont.height = -QFontInfo(stockFont).pixelSize();
    logFont.weight = stockFont.weight();
    logFont.italic = stockFont.italic() ? 1 : 0;
    logFont.underline = stockFont.underline() ? 1 : 0;
    logFont.faceName = CutFaceName(stockFont.family());
    labelFont = BuildLabelFont(logFont, stockFont);
    plainBrush = QBrush(desktop.color(QPalette::Active, QPalette::Button));
    // Every paint fills the whole label with one of its brushes, so a new text repaints the
    // label alone, not the window beneath it (the readouts change every second of play).
    setAttribute(Qt::WA_OpaquePaintEvent);

    QPalette own = palette();
    own.setColor(QPalette::WindowText, textColor);
    setPalette(own);
    setFont(labelFont);
    UpdateMouseHandling();
}

CTextLabel& CTextLabel::SetLabelText(const QString& text) {
    setText(text);
    return *this;
}

CTextLabel& CTextLabel::SetForeColor(const QColor& color) {
    textColor = color;
    QPalette own = palette();
    own.setColor(QPalette::WindowText, textColor);
    setPalette(own);
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetBackColor(const QColor& color) {
    // Shows at the next repaint, not now.
    backBrush = QBrush(color);
    return *this;
}

CTextLabel& CTextLabel::SetBold(int on) {
    logFont.weight = on != 0 ? kWeightBold : kWeightNormal;
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetItalic(int on) {
    logFont.italic = static_cast<uint8_t>(on & 0xFF);
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetUnderline(int on) {
    logFont.underline = static_cast<uint8_t>(on & 0xFF);
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetFontHeight(int height) {
    // Stored negated: a positive argument is a character height, a negative one a cell height.
    logFont.height = height == INT_MIN ? INT_MAX : -height;
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetFaceName(const QString& name) {
    logFont.faceName = CutFaceName(name);
    RebuildFont();
    Repaint();
    return *this;
}

CTextLabel& CTextLabel::SetStaticEdge(int on) {
    staticEdge = on != 0;
    UpdateFrame();
    return *this;
}

CTextLabel& CTextLabel::SetThinBorder(int on) {
    thinBorder = on != 0;
    UpdateFrame();
    return *this;
}

CTextLabel& CTextLabel::SetOpenOnClick(int on) {
    notify = on != 0;
    UpdateMouseHandling();
    return *this;
}

CTextLabel& CTextLabel::SetHoverCursor(std::optional<QCursor> cursor) {
    hoverCursor = std::move(cursor);
    UpdateMouseHandling();
    return *this;
}

CTextLabel& CTextLabel::BlinkText(int on) {
    EndBlink();
    if (on == 0) {
        return *this;
    }
    savedText = text();
    blinkPhase = 0;
    blinkTimer.start(kBlinkPeriodMs, this);
    blinkKind = kTextBlink;
    return *this;
}

CTextLabel& CTextLabel::BlinkBackground(int on) {
    EndBlink();
    if (on == 0) {
        return *this;
    }
    blinkPhase = 0;
    blinkTimer.start(kBlinkPeriodMs, this);
    blinkKind = kBackgroundBlink;
    return *this;
}

void CTextLabel::BlinkTick() {
    if (blinkKind == kNoBlink) {
        return;
    }
    blinkPhase = blinkPhase == 0 ? 1 : 0;
    if (blinkKind == kTextBlink) {
        setText(blinkPhase == 1 ? QString() : savedText);
    } else {
        repaint();
    }
}

const QBrush& CTextLabel::CurrentBackground() const {
    return blinkKind == kBackgroundBlink && blinkPhase == 0 ? plainBrush : backBrush;
}

void CTextLabel::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        QRect area = rect();
        painter.fillRect(area, CurrentBackground());
        if (thinBorder) {
            painter.setPen(Qt::black);
            painter.drawRect(area.adjusted(0, 0, -1, -1));
            area.adjust(1, 1, -1, -1);
        }
        if (staticEdge) {
            // A one-pixel sunken edge: shadow on top and left, light on bottom and right.
            const QPalette desktop = QApplication::palette();
            painter.setPen(desktop.color(QPalette::Active, QPalette::Dark));
            painter.drawLine(area.topLeft(), area.topRight());
            painter.drawLine(area.topLeft(), area.bottomLeft());
            painter.setPen(desktop.color(QPalette::Active, QPalette::Light));
            painter.drawLine(area.bottomLeft(), area.bottomRight());
            painter.drawLine(area.topRight(), area.bottomRight());
        }
    }
    QLabel::paintEvent(event);
}

void CTextLabel::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blinkTimer.timerId()) {
        BlinkTick();
        return;
    }
    QLabel::timerEvent(event);
}

void CTextLabel::mousePressEvent(QMouseEvent* event) {
    // The second press of a double click belongs to the double click, which opens nothing: a
    // double click opens the text once, with its first press.
    const bool secondOfDoubleClick = event->flags().testFlag(Qt::MouseEventCreatedDoubleClick);
    if (notify && event->button() == Qt::LeftButton && !secondOfDoubleClick) {
        const QString target = text();
        OpenWithDesktop(target);
    }
    QLabel::mousePressEvent(event);
}

void CTextLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // The default handling of a press, without the open (Qt would hand it to mousePressEvent).
    QLabel::mousePressEvent(event);
}

void CTextLabel::RebuildFont() {
    labelFont = BuildLabelFont(logFont, stockFont);
    setFont(labelFont);
}

void CTextLabel::Repaint() {
    repaint();
}

void CTextLabel::UpdateFrame() {
    // The text keeps clear of whatever edges are drawn around it.
    const int inset = (thinBorder ? 1 : 0) + (staticEdge ? 1 : 0);
    setContentsMargins(inset, inset, inset, inset);
    repaint();
}

void CTextLabel::UpdateMouseHandling() {
    // Without the notify style the mouse passes through to the window underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents, !notify);
    if (notify && hoverCursor) {
        setCursor(*hoverCursor);
    } else {
        unsetCursor();
    }
}

void CTextLabel::EndBlink() {
    blinkTimer.stop();
    if (blinkKind == kTextBlink) {
        setText(savedText);
    }
    const bool backgroundWasBlinking = blinkKind == kBackgroundBlink;
    blinkKind = kNoBlink;
    blinkPhase = 0;
    if (backgroundWasBlinking) {
        update(); // back on the label's own background
    }
}
