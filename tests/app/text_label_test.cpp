// The label control: colours and the colour rule, the font description, frames, both kinds of
// blink driven tick by tick, open-on-click through the open service, and the hover cursor.
#include "app/text_label.h"

#include "platform/open_verb.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QTemporaryFile>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

QColor ButtonFace() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

// Compared as 8-bit RGB, the depth the picture is drawn in.
QRgb PixelAt(QWidget& widget, QPoint point) { return widget.grab().toImage().pixel(point); }

QRgb Rgb(const QColor& color) { return color.rgb(); }

// Records what would have been opened instead of asking the desktop.
class OpenServiceRecorder {
public:
    OpenServiceRecorder() {
        previous = InstallOpenService([this](const QString& target) { opened.push_back(target); });
    }
    ~OpenServiceRecorder() { InstallOpenService(previous); }
    OpenServiceRecorder(const OpenServiceRecorder&) = delete;
    OpenServiceRecorder& operator=(const OpenServiceRecorder&) = delete;

    std::vector<QString> opened;

private:
    OpenService previous;
};

TEST(TextLabel, StartsInTheDesktopColoursWithTheStockFontAndNoMouseHandling) {
    CTextLabel label(QStringLiteral("Title"), nullptr);
    EXPECT_EQ(label.TextColor(), QApplication::palette().color(QPalette::Active, QPalette::WindowText));
    EXPECT_EQ(label.BackBrush().color(), ButtonFace());
    EXPECT_EQ(label.PlainBrush().color(), ButtonFace());
    EXPECT_EQ(label.CurrentBackground().color(), ButtonFace());

    const LabelFontDescription& description = label.FontDescription();
    EXPECT_EQ(description.height, -QFontInfo(DefaultGuiFont()).pixelSize());
    EXPECT_EQ(description.weight, 400);
    EXPECT_EQ(description.italic, 0);
    EXPECT_EQ(description.underline, 0);
    EXPECT_EQ(label.font(), label.LabelFont());

    EXPECT_FALSE(label.HasNotifyStyle());
    EXPECT_TRUE(label.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(label.CurrentBlinkKind(), CTextLabel::kNoBlink);
}

TEST(TextLabel, ColorRefValuesAreRedGreenBlueFromTheLowByteUp) {
    EXPECT_EQ(FromColorRef(0x00FFFF00u), QColor(0, 255, 255)); // cyan
    EXPECT_EQ(FromColorRef(0x00000000u), QColor(0, 0, 0));
    EXPECT_EQ(FromColorRef(0x00123456u), QColor(0x56, 0x34, 0x12));
}

TEST(TextLabel, ForeAndBackColoursAreTheOnesDrawn) {
    CTextLabel label(QStringLiteral("MMMM"), nullptr);
    label.resize(60, 30);
    label.SetForeColor(QColor(0, 255, 255)).SetBackColor(Qt::black).SetFontHeight(24);
    EXPECT_EQ(label.TextColor(), QColor(0, 255, 255));
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 255, 255));

    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(59, 29), QColor(Qt::black)); // background under no text
    bool cyanSeen = false;
    for (int y = 0; y < image.height() && !cyanSeen; ++y) {
        for (int x = 0; x < image.width() && !cyanSeen; ++x) {
            cyanSeen = image.pixelColor(x, y) == QColor(0, 255, 255);
        }
    }
    EXPECT_TRUE(cyanSeen);
}

// The colour rule picks the plain brush only in phase 0 of a background blink.
TEST(TextLabel, ColourRuleFollowsBlinkKindAndPhase) {
    struct Case {
        const char* name;
        int backgroundBlink; // 0 none, 1 text blink, 2 background blink
        int ticks;
        bool plainExpected;
    };
    const Case cases[] = {
        {"no blink", 0, 0, false},
        {"text blink, phase 0", 1, 0, false},
        {"text blink, phase 1", 1, 1, false},
        {"background blink before the first tick", 2, 0, true},
        {"background blink, phase 1", 2, 1, false},
        {"background blink, phase 0 again", 2, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTextLabel label(QString(), nullptr);
        label.resize(20, 10);
        label.SetBackColor(QColor(200, 0, 0));
        if (c.backgroundBlink == 1) {
            label.BlinkText(1);
        } else if (c.backgroundBlink == 2) {
            label.BlinkBackground(1);
        }
        for (int i = 0; i < c.ticks; ++i) {
            label.BlinkTick();
        }
        const QColor expected = c.plainExpected ? ButtonFace() : QColor(200, 0, 0);
        EXPECT_EQ(label.CurrentBackground().color(), expected);
        EXPECT_EQ(PixelAt(label, {10, 5}), Rgb(expected));
    }
}

TEST(TextLabel, FontHeightIsStoredNegatedAndPositiveMeansCharacterPixels) {
    CTextLabel label(QStringLiteral("00:00"), nullptr);
    label.SetFontHeight(24);
    EXPECT_EQ(label.FontDescription().height, -24);
    EXPECT_EQ(label.font().pixelSize(), 24);
    EXPECT_EQ(QFontInfo(label.font()).pixelSize(), 24);
}

TEST(TextLabel, NegativeFontHeightAsksForACellThatTall) {
    CTextLabel label(QStringLiteral("00:00"), nullptr);
    label.SetFontHeight(-30);
    EXPECT_EQ(label.FontDescription().height, 30);
    QFont font = label.font();
    EXPECT_LE(QFontMetrics(font).height(), 30);
    font.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(font).height(), 30); // the largest size whose cell fits
}

TEST(TextLabel, ExtremeFontHeightsStayUsable) {
    CTextLabel label(QStringLiteral("x"), nullptr);
    label.SetFontHeight(INT_MIN);
    EXPECT_GT(label.FontDescription().height, 0);
    EXPECT_GT(label.font().pixelSize(), 0);
    label.SetFontHeight(INT_MAX);
    EXPECT_GT(label.font().pixelSize(), 0);
    label.SetFontHeight(0);
    EXPECT_EQ(QFontInfo(label.font()).pixelSize(), QFontInfo(DefaultGuiFont()).pixelSize());
}

TEST(TextLabel, WeightItalicAndUnderlineFollowTheirOperations) {
    struct Case {
        const char* name;
        CTextLabel& (CTextLabel::*operation)(int);
        int argument;
        int weight;
        bool italic;
        bool underline;
    };
    const Case cases[] = {
        {"bold on", &CTextLabel::SetBold, 1, 700, false, false},
        {"bold with any non-zero value", &CTextLabel::SetBold, 256, 700, false, false},
        {"bold off", &CTextLabel::SetBold, 0, 400, false, false},
        {"italic on", &CTextLabel::SetItalic, 1, 400, true, false},
        {"italic keeps only the low 8 bits", &CTextLabel::SetItalic, 256, 400, false, false},
        {"underline on", &CTextLabel::SetUnderline, 1, 400, false, true},
        {"underline keeps only the low 8 bits", &CTextLabel::SetUnderline, 0x101, 400, false, true},
        {"underline off by 512", &CTextLabel::SetUnderline, 512, 400, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTextLabel label(QStringLiteral("Track"), nullptr);
        (label.*c.operation)(c.argument);
        EXPECT_EQ(label.FontDescription().weight, c.weight);
        EXPECT_EQ(label.font().weight(), c.weight);
        EXPECT_EQ(label.font().italic(), c.italic);
        EXPECT_EQ(label.font().underline(), c.underline);
    }
}

TEST(TextLabel, BoldFromANonNormalStockWeightIsStillFourHundredWhenOff) {
    CTextLabel label(QStringLiteral("Track"), nullptr);
    label.SetBold(1).SetFontHeight(24).SetBold(0);
    EXPECT_EQ(label.font().weight(), 400);
    EXPECT_EQ(label.font().pixelSize(), 24); // a later change keeps the earlier ones
}

TEST(TextLabel, FaceNameIsUsedAndCutToThirtyOneCharacters) {
    CTextLabel label(QStringLiteral("Track"), nullptr);
    label.SetFaceName(QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(label.FontDescription().faceName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(QFontInfo(label.font()).family(), QStringLiteral("DejaVu Serif"));

    const QString longName = QStringLiteral("A face name far longer than the field it goes in");
    label.SetFaceName(longName);
    EXPECT_EQ(label.FontDescription().faceName, longName.left(31));

    // A character outside the basic plane is never cut in half.
    const QString astral = QString(30, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F3B5");
    label.SetFaceName(astral);
    EXPECT_EQ(label.FontDescription().faceName, QString(30, QLatin1Char('x')));
}

TEST(TextLabel, TextBlinkShowsThenHidesAndAStopPutsTheTextBack) {
    CTextLabel label(QStringLiteral("03:25"), nullptr);
    label.BlinkText(1);
    EXPECT_TRUE(label.IsBlinking());
    EXPECT_EQ(label.text(), QStringLiteral("03:25")); // shown for the first period
    const char* const expected[] = {"", "03:25", "", "03:25", ""};
    for (const char* text : expected) {
        label.BlinkTick();
        EXPECT_EQ(label.text(), QString::fromLatin1(text));
    }
    label.BlinkText(0); // stopped while hidden
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
    EXPECT_FALSE(label.IsBlinking());
    EXPECT_EQ(label.CurrentBlinkKind(), CTextLabel::kNoBlink);
    label.BlinkTick(); // a stray tick after the stop changes nothing
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
}

TEST(TextLabel, TextSetDuringATextBlinkIsOverwrittenAtTheNextVisiblePhase) {
    CTextLabel label(QStringLiteral("old"), nullptr);
    label.BlinkText(1);
    label.BlinkTick();
    label.SetLabelText(QStringLiteral("new"));
    label.BlinkTick();
    EXPECT_EQ(label.text(), QStringLiteral("old"));
}

TEST(TextLabel, BackgroundBlinkAlternatesAndAStopReturnsToTheOwnBackground) {
    CTextLabel label(QString(), nullptr);
    label.SetBackColor(Qt::blue);
    label.BlinkBackground(1);
    EXPECT_EQ(label.BlinkPhase(), 0);
    label.BlinkTick();
    EXPECT_EQ(label.CurrentBackground().color(), QColor(Qt::blue));
    label.BlinkTick();
    EXPECT_EQ(label.CurrentBackground().color(), ButtonFace());
    label.BlinkBackground(0); // stopped in the plain phase
    EXPECT_FALSE(label.IsBlinking());
    EXPECT_EQ(label.CurrentBackground().color(), QColor(Qt::blue));
}

TEST(TextLabel, AStartOfEitherKindFirstEndsTheBlinkInProgress) {
    CTextLabel label(QStringLiteral("03:25"), nullptr);
    label.BlinkText(1);
    label.BlinkTick(); // text hidden
    label.BlinkBackground(1);
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
    EXPECT_EQ(label.CurrentBlinkKind(), CTextLabel::kBackgroundBlink);

    label.SetLabelText(QStringLiteral("04:00"));
    label.BlinkText(1); // saves the text now shown, not one from an earlier blink
    EXPECT_EQ(label.CurrentBackground(), label.BackBrush());
    label.BlinkTick();
    label.BlinkTick();
    EXPECT_EQ(label.text(), QStringLiteral("04:00"));

    label.BlinkText(1); // restarting a text blink while hidden keeps the real text
    label.BlinkTick();
    label.BlinkText(1);
    EXPECT_EQ(label.text(), QStringLiteral("04:00"));
}

TEST(TextLabel, StoppingWithoutABlinkDoesNothing) {
    CTextLabel label(QStringLiteral("Title"), nullptr);
    label.BlinkText(0);
    label.BlinkBackground(0);
    EXPECT_EQ(label.text(), QStringLiteral("Title"));
    EXPECT_FALSE(label.IsBlinking());
}

TEST(TextLabel, StaticEdgeIsSunkenAndThinBorderIsBlack) {
    const QPalette desktop = QApplication::palette();
    CTextLabel label(QString(), nullptr);
    label.resize(20, 10);
    label.SetBackColor(Qt::white);
    label.SetStaticEdge(1);
    EXPECT_EQ(PixelAt(label, {0, 0}), Rgb(desktop.color(QPalette::Active, QPalette::Dark)));
    EXPECT_EQ(PixelAt(label, {19, 9}), Rgb(desktop.color(QPalette::Active, QPalette::Light)));
    EXPECT_EQ(PixelAt(label, {10, 5}), Rgb(Qt::white));

    label.SetThinBorder(1);
    EXPECT_EQ(PixelAt(label, {0, 0}), Rgb(Qt::black));
    EXPECT_EQ(PixelAt(label, {1, 1}), Rgb(desktop.color(QPalette::Active, QPalette::Dark)));

    label.SetStaticEdge(0).SetThinBorder(0);
    EXPECT_EQ(PixelAt(label, {0, 0}), Rgb(Qt::white));
    EXPECT_EQ(label.contentsMargins(), QMargins());
}

// A label in a shown window, so that clicks arrive as the window system delivers them.
class ClickableLabel : public testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 60);
        label = new CTextLabel(QString(), &window);
        label->setGeometry(10, 10, 120, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    CTextLabel* label = nullptr;
    OpenServiceRecorder service;
};

TEST_F(ClickableLabel, OpensItsExactTextOnlyWithTheNotifyStyleAndOnlyForAFileOrUrl) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    struct Case {
        QString text;
        bool notify;
        bool opens;
    };
    const Case cases[] = {
        {QStringLiteral("https://example.org/disc?id=1"), true, true},
        {file.fileName(), true, true},
        {QStringLiteral("03:25"), true, false},
        {QStringLiteral("Track 1"), true, false},
        {QStringLiteral("mailto:someone@example.org"), true, true},
        {QStringLiteral("C:"), true, false},
        {QString(), true, false},
        {QStringLiteral("https://example.org/disc?id=1"), false, false},
        {file.fileName(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + (c.notify ? " with notify" : " without notify"));
        service.opened.clear();
        label->SetLabelText(c.text).SetOpenOnClick(c.notify ? 1 : 0);
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(20, 15));
        if (c.opens) {
            ASSERT_EQ(service.opened.size(), 1u);
            EXPECT_EQ(service.opened.front(), c.text);
        } else {
            EXPECT_TRUE(service.opened.empty());
        }
    }
}

TEST_F(ClickableLabel, RightClicksOpenNothing) {
    label->SetLabelText(QStringLiteral("https://example.org/")).SetOpenOnClick(1);
    QTest::mouseClick(label, Qt::RightButton, {}, QPoint(20, 15));
    EXPECT_TRUE(service.opened.empty());
}

TEST_F(ClickableLabel, HoverCursorShowsOnlyWithTheNotifyStyle) {
    label->SetHoverCursor(QCursor(Qt::PointingHandCursor));
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(window.childAt(20, 20), nullptr); // the mouse passes through to the window

    label->SetOpenOnClick(1);
    EXPECT_TRUE(label->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(window.childAt(20, 20), label);

    label->SetHoverCursor(std::nullopt);
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetCursor));
    label->SetHoverCursor(QCursor(Qt::IBeamCursor)).SetOpenOnClick(0);
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetCursor));
}

} // namespace
