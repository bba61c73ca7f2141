// The player window's frame and controls: the dialog table, its mapping to pixels, object names,
// control classes, tab order, centring, and a picture of the window for a person to look at.
#include "app/text_label.h"
#include "player/dialog_template.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/player_template.h"
#include "player/position_slider.h"
#include "tests/support/recording_layer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ExpectedControl {
    int id;
    ControlClass controlClass;
    int x, y, w, h;
    const char* name;
};

using C = ControlClass;
// Where each control of the window stands, in dialog units.
const ExpectedControl kExpected[] = {
    {1002, C::Button, 5, 25, 60, 14, "playButton"},
    {1003, C::Button, 65, 25, 19, 14, "pauseButton"},
    {1004, C::Button, 85, 25, 19, 14, "stopButton"},
    {1005, C::Button, 25, 41, 19, 14, "backButton"},
    {1006, C::Button, 45, 41, 19, 14, "forwardButton"},
    {1007, C::Button, 65, 41, 19, 14, "nextButton"},
    {1008, C::Button, 85, 41, 19, 14, "ejectButton"},
    {1009, C::Button, 5, 41, 19, 14, "previousButton"},
    {1010, C::ComboBox, 5, 5, 100, 70, "driveCombo"},
    {1011, C::ComboBox, 37, 102, 190, 85, "trackCombo"},
    {1012, C::Static, 37, 85, 190, 12, "titleField"},
    {1013, C::Static, 37, 119, 190, 12, "artistField"},
    {1014, C::Static, 5, 143, 83, 9, "discTotalField"},
    {1015, C::Static, 142, 143, 83, 9, "trackTotalField"},
    {1016, C::Static, 175, 5, 50, 20, "trackTimeLabel"},
    {1017, C::Static, 175, 35, 50, 20, "discTimeLabel"},
    {1024, C::Static, 5, 85, 27, 8, "titleCaption"},
    {1025, C::Static, 5, 102, 29, 8, "trackCaption"},
    {1026, C::Static, 5, 119, 29, 8, "artistCaption"},
    {1022, C::Static, 109, 5, 65, 8, "trackPositionCaption"},
    {1023, C::Static, 109, 35, 65, 8, "discPositionCaption"},
    {1020, C::Button, 120, 15, 41, 12, "trackTimeModeButton"},
    {1021, C::Button, 120, 45, 41, 12, "discTimeModeButton"},
    {1027, C::Trackbar, 5, 59, 220, 19, "positionSlider"},
    {1018, C::Static, 91, 143, 48, 9, "trackNumberField"},
};

// 8-point MS Sans Serif on a 96 dpi screen has base units of 6 by 13 pixels.
TEST(DialogUnits, MapToPixelsByTheBaseUnitsRoundedToTheNearestPixel) {
    const DialogBaseUnits units{6, 13};
    struct Case {
        QRect dialogUnits;
        QRect pixels;
    };
    const Case cases[] = {
        {{0, 0, 232, 157}, {0, 0, 348, 255}},   // the player window
        {{5, 25, 60, 14}, {8, 41, 90, 23}},     // Play: 7.5 and 22.75 round up
        {{5, 59, 220, 19}, {8, 96, 330, 31}},   // the slider
        {{91, 143, 48, 9}, {137, 232, 72, 15}}, // 136.5 rounds up, 232.375 down
        {{1, 1, 1, 1}, {2, 2, 2, 2}},           // 1.5 and 1.625
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDialogRect(c.dialogUnits, units), c.pixels) << c.dialogUnits.x();
    }
}

TEST(DialogUnits, BaseUnitsGrowWithTheFont) {
    QFont small = CPlayerDlg::DialogFont();
    QFont large = small;
    large.setPointSize(16);
    const DialogBaseUnits a = BaseUnitsOf(small);
    const DialogBaseUnits b = BaseUnitsOf(large);
    EXPECT_GT(a.charWidth, 0);
    EXPECT_GT(b.charWidth, a.charWidth);
    EXPECT_GT(b.charHeight, a.charHeight);
}

class PlayerWindow : public testing::Test {
protected:
    RecordingLayer layer; // start-up finds an ASPI layer without drives: the window stays, blank
    PlayerState state;
    CPlayerDlg dialog{state};
};

TEST_F(PlayerWindow, HasItsCaptionFixedSizeAndWindowButtons) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Discolo V1.00"));
    const QRect frame = MapDialogRect({0, 0, 232, 157}, dialog.BaseUnits());
    EXPECT_EQ(dialog.size(), frame.size());
    EXPECT_EQ(dialog.minimumSize(), frame.size());
    EXPECT_EQ(dialog.maximumSize(), frame.size());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window); // a window of its own, with a taskbar entry
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(dialog.font().pointSize(), 8);
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.icon.pixmap(32, 32).size(), QSize(32, 32));
}

// Installed, the window takes its icon from the desktop's icon theme under the desktop id;
// elsewhere it keeps the built-in one (transparent in the centre hole).
TEST(PlayerWindowIcon, ComesFromTheIconThemeWhenInstalledElseBuiltIn) {
    QTemporaryDir themes;
    ASSERT_TRUE(themes.isValid());
    const QDir root(themes.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("hicolor/32x32/apps")));
    QFile index(root.filePath(QStringLiteral("hicolor/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Hicolor\nDirectories=32x32/apps\n\n"
                "[32x32/apps]\nSize=32\nType=Fixed\n");
    index.close();
    // A desktop whose icon theme is hicolor, where every theme finds the icons it lacks.
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeName(QStringLiteral("hicolor"));
    const auto centreOfWindowIcon = [] {
        PlayerState state;
        CPlayerDlg dialog{state};
        return dialog.windowIcon().pixmap(32, 32).toImage().pixel(15, 15);
    };

    QIcon::setThemeSearchPaths({root.filePath(QStringLiteral("none"))});
    const QRgb builtIn = centreOfWindowIcon();

    QImage themed(32, 32, QImage::Format_ARGB32);
    themed.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(
        themed.save(root.filePath(QStringLiteral("hicolor/32x32/apps/org.discolo.Discolo.png"))));
    QIcon::setThemeSearchPaths({themes.path()});
    const QRgb fromTheme = centreOfWindowIcon();

    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(theme);
    EXPECT_EQ(qAlpha(builtIn), 0);
    EXPECT_EQ(fromTheme, qRgb(10, 200, 30));
}

TEST_F(PlayerWindow, PlacesEveryControlByTheDialogFont) {
    const DialogBaseUnits units = dialog.BaseUnits();
    for (const ExpectedControl& expected : kExpected) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = dialog.findChild<QWidget*>(QString::fromLatin1(expected.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(dialog.Control(expected.id), widget);
        EXPECT_EQ(widget->property("controlId").toInt(), expected.id);
        switch (expected.controlClass) {
        case C::Button:
            EXPECT_NE(qobject_cast<QPushButton*>(widget), nullptr);
            break;
        case C::ComboBox:
            EXPECT_NE(qobject_cast<QComboBox*>(widget), nullptr);
            break;
        case C::Static:
            EXPECT_NE(qobject_cast<QLabel*>(widget), nullptr);
            break;
        case C::Trackbar:
            EXPECT_NE(qobject_cast<QSlider*>(widget), nullptr);
            break;
        }
        const QRect mapped = MapDialogRect({expected.x, expected.y, expected.w, expected.h}, units);
        if (expected.controlClass == C::ComboBox) {
            // The closed box is one line high; the rest of the height is the dropped list.
            EXPECT_EQ(widget->geometry().topLeft(), mapped.topLeft());
            EXPECT_EQ(widget->width(), mapped.width());
            EXPECT_LT(widget->height(), mapped.height());
        } else {
            EXPECT_EQ(widget->geometry(), mapped);
        }
    }
    EXPECT_EQ(dialog.Control(1019), nullptr);
}

TEST_F(PlayerWindow, MakesEachControlOfItsClassAndBindsTheMembers) {
    const std::pair<QWidget*, const char*> members[] = {
        {dialog.positionSlider, "positionSlider"},
        {dialog.trackCaption, "trackCaption"},
        {dialog.titleCaption, "titleCaption"},
        {dialog.artistCaption, "artistCaption"},
        {dialog.discPositionCaption, "discPositionCaption"},
        {dialog.trackPositionCaption, "trackPositionCaption"},
        {dialog.trackTimeModeButton, "trackTimeModeButton"},
        {dialog.discTimeModeButton, "discTimeModeButton"},
        {dialog.discTimeLabel, "discTimeLabel"},
        {dialog.trackTimeLabel, "trackTimeLabel"},
        {dialog.trackCombo, "trackCombo"},
        {dialog.driveCombo, "driveCombo"},
        {dialog.stopButton, "stopButton"},
        {dialog.backButton, "backButton"},
        {dialog.previousButton, "previousButton"},
        {dialog.playButton, "playButton"},
        {dialog.pauseButton, "pauseButton"},
        {dialog.nextButton, "nextButton"},
        {dialog.forwardButton, "forwardButton"},
        {dialog.ejectButton, "ejectButton"},
    };
    for (const auto& [widget, name] : members) {
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(name));
    }

    for (const char* name : {"trackTimeLabel", "discTimeLabel", "titleCaption", "trackCaption",
                             "artistCaption", "trackPositionCaption", "discPositionCaption"}) {
        EXPECT_NE(dialog.findChild<CTextLabel*>(QString::fromLatin1(name)), nullptr) << name;
    }
    for (const char* name :
         {"titleField", "artistField", "discTotalField", "trackTotalField", "trackNumberField"}) {
        auto* field = dialog.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(dynamic_cast<CTextLabel*>(field), nullptr) << name << " is a plain text";
        EXPECT_TRUE(field->alignment().testFlag(Qt::AlignHCenter)) << name;
        EXPECT_NE(field->frameShape(), QFrame::NoFrame) << name;
    }
    EXPECT_TRUE(dialog.titleCaption->alignment().testFlag(Qt::AlignLeft));
    EXPECT_TRUE(dialog.trackPositionCaption->alignment().testFlag(Qt::AlignHCenter));

    for (QPushButton* toggle : {dialog.trackTimeModeButton, dialog.discTimeModeButton}) {
        EXPECT_TRUE(toggle->isCheckable());
        EXPECT_EQ(toggle->text(), QStringLiteral("Elapsed"));
    }
    EXPECT_FALSE(dialog.playButton->isCheckable());

    // Only the track readout takes clicks; the disc readout lets them through.
    EXPECT_TRUE(dialog.trackTimeLabel->HasNotifyStyle());
    EXPECT_FALSE(dialog.discTimeLabel->HasNotifyStyle());
    EXPECT_EQ(dialog.positionSlider->orientation(), Qt::Horizontal);
}

TEST_F(PlayerWindow, SelectorsKeepEntriesInTheOrderAdded) {
    for (DropDownCombo* combo : {dialog.driveCombo, dialog.trackCombo}) {
        combo->addItem(QStringLiteral("Zulu"));
        combo->addItem(QStringLiteral("Alpha"));
        combo->addItem(QStringLiteral("Mike"));
        EXPECT_EQ(combo->itemText(0), QStringLiteral("Zulu"));
        EXPECT_EQ(combo->itemText(1), QStringLiteral("Alpha"));
        EXPECT_EQ(combo->itemText(2), QStringLiteral("Mike"));
    }
}

TEST_F(PlayerWindow, TabVisitsTheButtonsSelectorsTogglesAndSliderInTemplateOrder) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.playButton->setFocus();
    std::vector<int> visited{QApplication::focusWidget()->property("controlId").toInt()};
    for (int i = 0; i < 13; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget()->property("controlId").toInt());
    }
    const std::vector<int> expected{1002, 1003, 1004, 1005, 1006, 1007, 1008,
                                    1009, 1010, 1011, 1020, 1021, 1027, 1002};
    EXPECT_EQ(visited, expected);
}

TEST_F(PlayerWindow, OpensCentredInTheScreensWorkingArea) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QRect area = dialog.screen()->availableGeometry();
    EXPECT_NEAR(dialog.frameGeometry().center().x(), area.center().x(), 1);
    EXPECT_NEAR(dialog.frameGeometry().center().y(), area.center().y(), 1);
}

TEST_F(PlayerWindow, FirstShowingBlanksTheFieldsButKeepsTheCaptions) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    for (const char* name : {"titleField", "artistField", "discTotalField", "trackTotalField",
                             "trackNumberField", "trackTimeLabel", "discTimeLabel"}) {
        EXPECT_TRUE(dialog.findChild<QLabel*>(QString::fromLatin1(name))->text().isEmpty()) << name;
    }
    EXPECT_EQ(dialog.titleCaption->text(), QStringLiteral("Title"));
    EXPECT_EQ(dialog.trackCaption->text(), QStringLiteral("Track"));
    EXPECT_EQ(dialog.artistCaption->text(), QStringLiteral("Artist"));
    EXPECT_EQ(dialog.trackPositionCaption->text(), QStringLiteral("Track Position"));
    EXPECT_EQ(dialog.discPositionCaption->text(), QStringLiteral("Disc Position"));
}

// Styled and filled as a running player shows it, saved for a person to look at.
TEST_F(PlayerWindow, LeavesAPictureOfARunningPlayer) {
    for (CTextLabel* readout : {dialog.trackTimeLabel, dialog.discTimeLabel}) {
        readout->SetForeColor(FromColorRef(0x00FFFF00))
            .SetBackColor(Qt::black)
            .SetFontHeight(24)
            .SetStaticEdge(1);
    }
    for (CTextLabel* caption : {dialog.titleCaption, dialog.trackCaption, dialog.artistCaption,
                                dialog.trackPositionCaption, dialog.discPositionCaption}) {
        caption->SetBold(1);
    }
    dialog.SetButtonFaces();
    dialog.driveCombo->addItem(QStringLiteral("VORTANE CD-ROM CDR-7400 1.02"));
    dialog.trackCombo->addItem(QStringLiteral("1. Morning Tide"));
    dialog.positionSlider->SetRange(0, 400);
    for (int tic : {0, 52, 110, 171, 240, 305}) {
        dialog.positionSlider->SetTic(tic);
    }
    dialog.positionSlider->SetPos(75);
    dialog.titleText = QStringLiteral("Harbour Lights");
    dialog.artistText = QStringLiteral("The Quayside Quartet");
    dialog.discTotalText = QStringLiteral("Total time: 40:12");
    dialog.trackTotalText = QStringLiteral("Total track time: 05:12");
    dialog.trackNumberText = QStringLiteral("Track 1");
    dialog.trackPositionText = QStringLiteral("01:23");
    dialog.discPositionText = QStringLiteral("07:30");
    dialog.UpdateData(false);

    const QImage picture = dialog.grab().toImage();
    EXPECT_EQ(picture.size(), dialog.size() * dialog.devicePixelRatio());
    const QString path = QStringLiteral(DISCOLO_ARTIFACT_DIR "/player_window.png");
    EXPECT_TRUE(picture.save(path)) << path.toStdString();
    // The readouts are cyan on black where the picture shows them.
    const QPoint corner = dialog.trackTimeLabel->geometry().bottomRight() - QPoint(2, 2);
    EXPECT_EQ(picture.pixel(corner), QColor(Qt::black).rgb());
}

} // namespace
