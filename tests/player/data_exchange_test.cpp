// UpdateData: bound texts and check states go to the controls and come back, a control is only
// written when its text differs, and the program's own writes run no handler.
#include "app/text_label.h"
#include "player/player_dlg.h"
#include "tests/support/recording_layer.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

QLabel* Field(CPlayerDlg& dialog, const char* name) {
    return dialog.findChild<QLabel*>(QString::fromLatin1(name));
}

// Counts the times each watched label is painted.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[watched];
        }
        return false;
    }
    std::map<QObject*, int> paints;
};

struct Binding {
    QString CPlayerDlg::*member;
    const char* control;
};

const Binding kTextBindings[] = {
    {&CPlayerDlg::artistText, "artistField"},
    {&CPlayerDlg::titleText, "titleField"},
    {&CPlayerDlg::trackTotalText, "trackTotalField"},
    {&CPlayerDlg::discTotalText, "discTotalField"},
    {&CPlayerDlg::trackPositionText, "trackTimeLabel"},
    {&CPlayerDlg::discPositionText, "discTimeLabel"},
    {&CPlayerDlg::trackNumberText, "trackNumberField"},
};

TEST(PlayerDataExchange, WritesEveryBoundTextAndBothCheckStatesToTheControls) {
    PlayerState state;
    CPlayerDlg dialog(state);
    EXPECT_EQ(dialog.trackTimeCheck + dialog.discTimeCheck, 0);
    int n = 0;
    for (const Binding& binding : kTextBindings) {
        EXPECT_TRUE((dialog.*binding.member).isEmpty()) << binding.control;
        dialog.*binding.member = QStringLiteral("text %1").arg(++n);
    }
    dialog.trackTimeCheck = 1;
    dialog.discTimeCheck = 0;
    dialog.UpdateData(false);
    n = 0;
    for (const Binding& binding : kTextBindings) {
        EXPECT_EQ(Field(dialog, binding.control)->text(), QStringLiteral("text %1").arg(++n))
            << binding.control;
    }
    EXPECT_TRUE(dialog.trackTimeModeButton->isChecked());
    EXPECT_FALSE(dialog.discTimeModeButton->isChecked());
    // The caption labels are not bound to texts.
    EXPECT_EQ(dialog.titleCaption->text(), QStringLiteral("Title"));
}

TEST(PlayerDataExchange, ReadsTextsAndCheckStatesBackFromTheControls) {
    PlayerState state;
    CPlayerDlg dialog(state);
    int n = 0;
    for (const Binding& binding : kTextBindings) {
        Field(dialog, binding.control)->setText(QStringLiteral("shown %1").arg(++n));
    }
    dialog.trackTimeModeButton->setChecked(false);
    dialog.discTimeModeButton->setChecked(true);
    dialog.trackTimeCheck = 1;
    EXPECT_TRUE(dialog.UpdateData(true));
    n = 0;
    for (const Binding& binding : kTextBindings) {
        EXPECT_EQ(dialog.*binding.member, QStringLiteral("shown %1").arg(++n)) << binding.control;
    }
    EXPECT_EQ(dialog.trackTimeCheck, 0);
    EXPECT_EQ(dialog.discTimeCheck, 1);
}

TEST(PlayerDataExchange, RewritesOnlyTheTextsThatChanged) {
    RecordingLayer layer; // start-up finds an ASPI layer without drives: the window stays, blank
    PlayerState state;
    CPlayerDlg dialog(state);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.trackPositionText = QStringLiteral("01:23");
    dialog.discPositionText = QStringLiteral("07:30");
    dialog.titleText = QStringLiteral("Harbour Lights");
    dialog.UpdateData(false);
    QApplication::processEvents();

    PaintCounter counter;
    for (const Binding& binding : kTextBindings) {
        Field(dialog, binding.control)->installEventFilter(&counter);
    }
    dialog.trackPositionText = QStringLiteral("01:24"); // the only change
    dialog.UpdateData(false);
    QApplication::processEvents();

    EXPECT_GT(counter.paints[dialog.trackTimeLabel], 0);
    for (const Binding& binding : kTextBindings) {
        if (binding.member != &CPlayerDlg::trackPositionText) {
            EXPECT_EQ(counter.paints[Field(dialog, binding.control)], 0) << binding.control;
        }
    }
    EXPECT_EQ(dialog.trackTimeLabel->text(), QStringLiteral("01:24"));
}

} // namespace
