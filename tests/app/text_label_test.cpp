// The label control: the colour rule, the font description, frames, both kinds of blink driven
// tick by tick, open-on-click through the open service, and the hover cursor.
#include "app/text_label.h"

#include "platform/open_verb.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTemporaryFile>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}
QRgb Desktop(QPalette::ColorRole role) {
    return QApplication::palette().color(QPalette::Active, role).rgb();
}
QRgb PixelAt(QWidget& widget, QPoint point) {
    return widget.grab().toImage().pixel(point);
}

TEST(TextLabel, StartsInTheDesktopColoursWithTheStockFontAndLetsTheMouseThrough) {
    CTextLabel label(QStringLiteral("Title"), nullptr);
    EXPECT_EQ(label.TextColor().rgb(), Desktop(QPalette::WindowText));
    EXPECT_EQ(label.CurrentBackground().color(), ButtonFace());
    EXPECT_EQ(label.PlainBrush().color(), ButtonFace());
    EXPECT_EQ(label.FontDescription().height, -QFontInfo(DefaultGuiFont()).pixelSize());
    EXPECT_EQ(label.FontDescription().weight, 400);
    EXPECT_FALSE(label.HasNotifyStyle());
    EXPECT_TRUE(label.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(TextLabel, DrawsItsTextColourOnItsBackColour) {
    CTextLabel label(QStringLiteral("MMMM"), nullptr);
    label.resize(60, 30);
    label.SetForeColor(FromColorRef(0x00FFFF00)).SetBackColor(Qt::black).SetFontHeight(24);
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixel(59, 29), qRgb(0, 0, 0));
    bool cyanSeen = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            cyanSeen = cyanSeen || image.pixel(x, y) == qRgb(0, 255, 255);
        }
    }
    EXPECT_TRUE(cyanSeen);
}

// The plain brush shows only in phase 0 of a background blink.
TEST(TextLabel, ColourRuleFollowsBlinkKindAndPhase) {
    struct Case {
        int kind; // 0 none, 1 text blink, 2 background blink
        int ticks;
        bool plain;
    };
    for (const Case c : {Case{0, 0, false}, Case{1, 0, false}, Case{1, 1, false}, Case{2, 0, true},
                         Case{2, 1, false}, Case{2, 2, true}}) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " after " << c.ticks << " ticks");
        CTextLabel label(QString(), nullptr);
        label.resize(20, 10);
        label.SetBackColor(QColor(200, 0, 0));
        if (c.kind == 1) {
            label.BlinkText(1);
        } else if (c.kind == 2) {
            label.BlinkBackground(1);
        }
        for (int i = 0; i < c.ticks; ++i) {
            label.BlinkTick();
        }
        const QColor expected = c.plain ? ButtonFace() : QColor(200, 0, 0);
        EXPECT_EQ(label.CurrentBackground().color(), expected);
        EXPECT_EQ(PixelAt(label, {10, 5}), expected.rgb());
    }
}

TEST(TextLabel, FontHeightIsStoredNegatedPositiveMeaningCharacterPixels) {
    CTextLabel label(QStringLiteral("00:00"), nullptr);
    label.SetFontHeight(24);
    EXPECT_EQ(label.FontDescription().height, -24);
    EXPECT_EQ(QFontInfo(label.font()).pixelSize(), 24);

    label.SetFontHeight(-30); // a cell height: the largest size whose cell fits
    EXPECT_EQ(label.FontDescription().height, 30);
    QFont font = label.font();
    EXPECT_LE(QFontMetrics(font).height(), 30);
    font.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(font).height(), 30);

    label.SetFontHeight(INT_MIN); // no overflow, still a usable font
    EXPECT_GT(label.FontDescription().height, 0);
    EXPECT_GT(label.font().pixelSize(), 0);
}

TEST(TextLabel, WeightItalicAndUnderlineFollowTheirOperations) {
    struct Case {
        CTextLabel& (CTextLabel::*operation)(int);
        int argument;
        int weight;
        bool italic, underline;
    };
    const Case cases[] = {
        {&CTextLabel::SetBold, 1, 700, false, false},
        {&CTextLabel::SetBold, 256, 700, false, false},
        {&CTextLabel::SetBold, 0, 400, false, false},
        {&CTextLabel::SetItalic, 1, 400, true, false},
        {&CTextLabel::SetItalic, 256, 400, false, false}, // only the low 8 bits are kept
        {&CTextLabel::SetUnderline, 0x101, 400, false, true},
        {&CTextLabel::SetUnderline, 512, 400, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        CTextLabel label(QStringLiteral("Track"), nullptr);
        label.SetFontHeight(24);
        (label.*c.operation)(c.argument);
        EXPECT_EQ(label.font().weight(), c.weight);
        EXPECT_EQ(label.font().italic(), c.italic);
        EXPECT_EQ(label.font().underline(), c.underline);
        EXPECT_EQ(label.font().pixelSize(), 24); // earlier changes stay
    }
}

TEST(TextLabel, FaceNameIsUsedAndCutToThirtyOneCharacters) {
    CTextLabel label(QStringLiteral("Track"), nullptr);
    label.SetFaceName(QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(QFontInfo(label.font()).family(), QStringLiteral("DejaVu Serif"));
    const QString longName = QStringLiteral("A face name far longer than the field it goes in");
    EXPECT_EQ(label.SetFaceName(longName).FontDescription().faceName, longName.left(31));
    const QString astral = QString(30, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F3B5");
    EXPECT_EQ(label.SetFaceName(astral).FontDescription().faceName, QString(30, QLatin1Char('x')));
}

TEST(TextLabel, TextBlinkShowsThenHidesAndAStopPutsTheTextBack) {
    CTextLabel label(QStringLiteral("03:25"), nullptr);
    label.BlinkText(0); // stopping with no blink does nothing
    label.BlinkText(1);
    EXPECT_TRUE(label.IsBlinking());
    for (const char* text : {"", "03:25", "", "03:25", ""}) {
        label.BlinkTick();
        EXPECT_EQ(label.text(), QString::fromLatin1(text));
    }
    label.BlinkText(0); // stopped while hidden
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
    EXPECT_FALSE(label.IsBlinking());
    label.BlinkTick();
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));

    label.BlinkText(1);
    label.BlinkTick();
    label.SetLabelText(QStringLiteral("new")); // overwritten at the next visible phase
    label.BlinkTick();
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
}

TEST(TextLabel, BackgroundBlinkAlternatesAndAStopReturnsToTheOwnBackground) {
    CTextLabel label(QString(), nullptr);
    label.SetBackColor(Qt::blue).BlinkBackground(1);
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
    label.BlinkText(1).BlinkTick(); // hidden
    label.BlinkBackground(1);
    EXPECT_EQ(label.text(), QStringLiteral("03:25"));
    EXPECT_EQ(label.CurrentBlinkKind(), CTextLabel::kBackgroundBlink);

    label.SetLabelText(QStringLiteral("04:00")).BlinkText(1); // saves the text shown now
    EXPECT_EQ(label.CurrentBackground(), label.BackBrush());
    label.BlinkTick();
    label.BlinkText(1); // a restart while hidden keeps the real text
    label.BlinkTick();
    label.BlinkTick();
    EXPECT_EQ(label.text(), QStringLiteral("04:00"));
}

TEST(TextLabel, StaticEdgeIsSunkenAndThinBorderIsBlack) {
    CTextLabel label(QString(), nullptr);
    label.resize(20, 10);
    label.SetBackColor(Qt::white).SetStaticEdge(1);
    EXPECT_EQ(PixelAt(label, {0, 0}), Desktop(QPalette::Dark));
    EXPECT_EQ(PixelAt(label, {19, 9}), Desktop(QPalette::Light));
    EXPECT_EQ(PixelAt(label, {10, 5}), qRgb(255, 255, 255));
    label.SetThinBorder(1);
    EXPECT_EQ(PixelAt(label, {0, 0}), qRgb(0, 0, 0));
    EXPECT_EQ(PixelAt(label, {1, 1}), Desktop(QPalette::Dark));
    label.SetStaticEdge(0).SetThinBorder(0);
    EXPECT_EQ(PixelAt(label, {0, 0}), qRgb(255, 255, 255));
}

// A label in a shown window, so that clicks arrive as the window system delivers them, and an
// open service that notes what would have been opened.
class ClickableLabel : public testing::Test {
protected:
    void SetUp() override {
        previous = InstallOpenService([this](const QString& target) { opened.push_back(target); });
        window.resize(200, 60);
        label->setGeometry(10, 10, 120, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { InstallOpenService(previous); }

    QWidget window;
    CTextLabel* label = new CTextLabel(QString(), &window);
    std::vector<QString> opened;
    OpenService previous;
};

TEST_F(ClickableLabel, OpensItsExactTextOnlyWithTheNotifyStyleAndOnlyForAFileOrUrl) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const QString url = QStringLiteral("https://example.org/disc?id=1");
    struct Case {
        QString text;
        bool notify;
        Qt::MouseButton button;
        bool opens;
    };
    const Case cases[] = {
        {url, true, Qt::LeftButton, true},
        {file.fileName(), true, Qt::LeftButton, true},
        {QStringLiteral("mailto:someone@example.org"), true, Qt::LeftButton, true},
        {QStringLiteral("03:25"), true, Qt::LeftButton, false},
        {QStringLiteral("Track 1"), true, Qt::LeftButton, false},
        {QStringLiteral("C:"), true, Qt::LeftButton, false},
        {QString(), true, Qt::LeftButton, false},
        {url, true, Qt::RightButton, false},
        {url, false, Qt::LeftButton, false},
        {file.fileName(), false, Qt::LeftButton, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + (c.notify ? " with notify" : " without notify"));
        opened.clear();
        label->SetLabelText(c.text).SetOpenOnClick(c.notify ? 1 : 0);
        QTest::mouseClick(label, c.button, {}, QPoint(20, 15));
        EXPECT_EQ(opened, c.opens ? std::vector<QString>{c.text} : std::vector<QString>{});
    }
}

// Clicks reach the window as the window system delivers them: a double click is a press, a
// release, a second press that Qt turns into a double click as well, and a release.
TEST_F(ClickableLabel, ADoubleClickOpensOnceAndTwoSingleClicksTwice) {
    const std::string url = "https://example.org/notes";
    label->SetLabelText(QString::fromStdString(url)).SetOpenOnClick(1);
    auto openedTexts = [this] {
        std::vector<std::string> texts;
        for (const QString& text : opened) {
            texts.push_back(text.toStdString());
        }
        return texts;
    };
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPoint at = label->geometry().topLeft() + QPoint(20, 15);

    QTest::mouseDClick(handle, Qt::LeftButton, {}, at);
    EXPECT_EQ(openedTexts(), std::vector<std::string>{url}) << "a double click";

    opened.clear();
    QTest::mouseClick(handle, Qt::LeftButton, {}, at);
    QTest::mouseClick(handle, Qt::LeftButton, {}, at);
    EXPECT_EQ(openedTexts(), (std::vector<std::string>{url, url})) << "two single clicks";
}

TEST_F(ClickableLabel, HoverCursorShowsOnlyWithTheNotifyStyle) {
    label->SetHoverCursor(QCursor(Qt::PointingHandCursor));
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(window.childAt(20, 20), nullptr); // the mouse passes through to the window
    label->SetOpenOnClick(1);
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(window.childAt(20, 20), label);
    label->SetHoverCursor(std::nullopt);
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetCursor));
}

} // namespace
