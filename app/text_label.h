// CTextLabel: a static text in a colour, font and background of its own that can blink its text
// or its background, open its own text when clicked, and show a cursor of its choice on hover.
#pragma once

#include <QBasicTimer>
#include <QBrush>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>

#include <cstdint>
#include <optional>

// A Windows COLORREF (0x00BBGGRR) as a colour, for callers that think in those values.
QColor FromColorRef(uint32_t colorRef);

// The stock GUI font: the same 8-point sans serif the dialogs are laid out in, so that captions
// fit the boxes the window gives them.
QFont DefaultGuiFont();

// The description the label builds its font from, in the terms of a LOGFONT.
struct LabelFontDescription {
    static constexpr int kFaceNameMax = 31; // characters; longer names are cut

    int32_t height = 0;    // < 0: character height in pixels; > 0: cell height; 0: the stock size
    int32_t weight = 0;    // 0 the stock weight, 400 normal, 700 bold (100..900 as Qt's scale)
    uint8_t italic = 0;    // non-zero: italic
    uint8_t underline = 0; // non-zero: underlined
    QString faceName;      // at most kFaceNameMax characters
};

// Builds the font that a description asks for, on top of the stock font for what it leaves out.
QFont BuildLabelFont(const LabelFontDescription& description, const QFont& stock);

class CTextLabel : public QLabel {
public:
    enum BlinkKind : int { kNoBlink = 0, kTextBlink = 1, kBackgroundBlink = 2 };
    static constexpr int kBlinkPeriodMs = 500;

    explicit CTextLabel(QWidget* parent = nullptr);
    CTextLabel(const QString& text, QWidget* parent);

    CTextLabel& SetLabelText(const QString& text);
    CTextLabel& SetForeColor(const QColor& color);
    CTextLabel& SetBackColor(const QColor& color);
    CTextLabel& SetBold(int on);
    CTextLabel& SetItalic(int on);
    CTextLabel& SetUnderline(int on);
    CTextLabel& SetFontHeight(int height);
    CTextLabel& SetFaceName(const QString& name);
    CTextLabel& SetStaticEdge(int on);
    CTextLabel& SetThinBorder(int on);
    CTextLabel& SetOpenOnClick(int on);
    CTextLabel& SetHoverCursor(std::optional<QCursor> cursor);
    CTextLabel& BlinkText(int on);
    CTextLabel& BlinkBackground(int on);

    // One tick of the blink timer; the timer calls it every 500 ms while a blink runs.
    void BlinkTick();

    // The colour rule: the brush the background is filled with now.
    const QBrush& CurrentBackground() const;

    QColor TextColor() const { return textColor; }
    const QBrush& BackBrush() const { return backBrush; }
    const QBrush& PlainBrush() const { return plainBrush; }
    const LabelFontDescription& FontDescription() const { return logFont; }
    const QFont& LabelFont() const { return labelFont; }
    int BlinkPhase() const { return blinkPhase; }
    int CurrentBlinkKind() const { return blinkKind; }
    bool IsBlinking() const { return blinkTimer.isActive(); }
    bool HasNotifyStyle() const { return notify; }
    bool HasStaticEdge() const { return staticEdge; }
    bool HasThinBorder() const { return thinBorder; }
    const std::optional<QCursor>& HoverCursor() const { return hoverCursor; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void RebuildFont();
    void Repaint();
    void UpdateFrame();
    void UpdateMouseHandling();
    void EndBlink();

    QColor textColor;
    QBrush backBrush;
    QBrush plainBrush; // the background of the off phase of a background blink, never replaced
    QFont stockFont;
    LabelFontDescription logFont;
    QFont labelFont; // built from the description; the text is drawn in it
    QString savedText;
    int blinkPhase = 0;
    int blinkKind = kNoBlink;
    std::optional<QCursor> hoverCursor; // not owned in spirit: a copy of the caller's cursor
    QBasicTimer blinkTimer;
    bool notify = false;     // clicks and the hover cursor act only with this style
    bool staticEdge = false; // a one-pixel sunken edge
    bool thinBorder = false; // a one-pixel plain border
};
