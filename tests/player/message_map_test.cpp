// The message map: each user action reaches its handler, the program's own changes reach none,
// and timers, the window menu, mouse releases, Escape and Enter take their paths.
#include "app/text_label.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/position_slider.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A player window that notes which handler ran, instead of doing anything.
class RecordingPlayer : public CPlayerDlg {
public:
    using CPlayerDlg::CPlayerDlg;

    std::vector<std::string> calls;

    // Only the first transfer, as a window without start-up: the map is what is tested here.
    bool OnInitDialog() override {
        InitDialogBase();
        return true;
    }
    void OnCancel() override {
        calls.push_back("OnCancel");
        CPlayerDlg::OnCancel();
    }
    void OnSysCommand(unsigned id, long parameter) override {
        calls.push_back("OnSysCommand " + std::to_string(id) + " " + std::to_string(parameter));
    }
    void OnDriveSelChange() override { calls.push_back("OnDriveSelChange"); }
    void OnTrackSelChange() override { calls.push_back("OnTrackSelChange"); }
    void OnPlay() override { calls.push_back("OnPlay"); }
    void OnStop() override { calls.push_back("OnStop"); }
    void OnPauseResume() override { calls.push_back("OnPauseResume"); }
    void OnEjectLoad() override { calls.push_back("OnEjectLoad"); }
    void OnPreviousTrack() override { calls.push_back("OnPreviousTrack"); }
    void OnNextTrack() override { calls.push_back("OnNextTrack"); }
    void OnTimer(int id) override { calls.push_back("OnTimer " + std::to_string(id)); }
    void OnFastForward() override { calls.push_back("OnFastForward"); }
    void OnFastBackward() override { calls.push_back("OnFastBackward"); }
    void OnTrackDropDown() override { calls.push_back("OnTrackDropDown"); }
    void OnTrackTimeMode() override { calls.push_back("OnTrackTimeMode"); }
    void OnDiscTimeMode() override { calls.push_back("OnDiscTimeMode"); }
    void OnHScroll(int code) override {
        calls.push_back("OnHScroll " + std::to_string(code) + " at " +
                        std::to_string(positionSlider->GetPos()));
    }
    void OnLButtonUp() override { calls.push_back("OnLButtonUp"); }

    using CPlayerDlg::state;
};

class MessageMap : public testing::Test {
protected:
    void SetUp() override {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        dialog.calls.clear();
    }

    PlayerState state;
    RecordingPlayer dialog{state};
};

TEST_F(MessageMap, EachButtonClickRunsItsHandler) {
    const std::pair<QPushButton*, const char*> cases[] = {
        {dialog.playButton, "OnPlay"},
        {dialog.stopButton, "OnStop"},
        {dialog.pauseButton, "OnPauseResume"},
        {dialog.ejectButton, "OnEjectLoad"},
        {dialog.previousButton, "OnPreviousTrack"},
        {dialog.nextButton, "OnNextTrack"},
        {dialog.forwardButton, "OnFastForward"},
        {dialog.backButton, "OnFastBackward"},
        {dialog.trackTimeModeButton, "OnTrackTimeMode"},
        {dialog.discTimeModeButton, "OnDiscTimeMode"},
    };
    for (const auto& [button, handler] : cases) {
        dialog.calls.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(dialog.calls, std::vector<std::string>{handler});
    }
}

TEST_F(MessageMap, SelectorChoicesRunTheirHandlersButTheProgramsSelectionsDoNot) {
    for (DropDownCombo* combo : {dialog.driveCombo, dialog.trackCombo}) {
        combo->addItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    }
    dialog.driveCombo->setCurrentIndex(2);
    dialog.trackCombo->setCurrentIndex(1);
    EXPECT_TRUE(dialog.calls.empty());

    dialog.driveCombo->setCurrentIndex(0);
    QTest::keyClick(dialog.driveCombo, Qt::Key_Down);
    QTest::keyClick(dialog.trackCombo, Qt::Key_Down);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"OnDriveSelChange", "OnTrackSelChange"}));
    EXPECT_EQ(dialog.trackCombo->currentIndex(), 2);
}

TEST_F(MessageMap, DroppingTheTrackListDownRunsItsHandlerFirst) {
    dialog.trackCombo->addItem(QStringLiteral("1. Morning Tide"));
    dialog.trackCombo->showPopup();
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"OnTrackDropDown"});
    dialog.trackCombo->hidePopup();
    dialog.calls.clear();
    dialog.driveCombo->addItem(QStringLiteral("drive"));
    dialog.driveCombo->showPopup(); // the drive list has no drop-down handler
    dialog.driveCombo->hidePopup();
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(MessageMap, TheProgramsCheckStatesAndSliderMovesRunNothing) {
    dialog.trackTimeModeButton->setChecked(true);
    dialog.discTimeCheck = 1;
    dialog.UpdateData(false);
    dialog.positionSlider->SetRange(0, 100);
    dialog.positionSlider->SetPos(40);
    dialog.positionSlider->setSliderPosition(60);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(MessageMap, SliderKeysReportTrackbarCodesAfterTheMove) {
    PositionSlider* slider = dialog.positionSlider;
    slider->SetRange(0, 100);
    slider->SetLineSize(1);
    slider->SetPageSize(10);
    slider->SetPos(50);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Up);
    QTest::keyClick(slider, Qt::Key_PageDown);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::keyClick(slider, Qt::Key_Home);
    QTest::keyClick(slider, Qt::Key_End);
    const std::vector<std::string> expected{
        "OnHScroll 1 at 51", "OnHScroll 8 at 51", // line down, end track on the key's release
        "OnHScroll 0 at 50", "OnHScroll 8 at 50", // Up goes toward the start
        "OnHScroll 3 at 60", "OnHScroll 8 at 60", "OnHScroll 2 at 50",  "OnHScroll 8 at 50",
        "OnHScroll 6 at 0",  "OnHScroll 8 at 0",  "OnHScroll 7 at 100", "OnHScroll 8 at 100",
    };
    EXPECT_EQ(dialog.calls, expected);
}

TEST_F(MessageMap, TimersReachOnTimerAsTimerOneAndTwo) {
    dialog.state.pollTimer = static_cast<uint32_t>(dialog.startTimer(100000));
    dialog.state.discTimer = static_cast<uint32_t>(dialog.startTimer(100000));
    QTimerEvent poll(static_cast<int>(dialog.state.pollTimer));
    QTimerEvent disc(static_cast<int>(dialog.state.discTimer));
    QApplication::sendEvent(&dialog, &disc);
    QApplication::sendEvent(&dialog, &poll);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"OnTimer 2", "OnTimer 1"}));
    dialog.killTimer(static_cast<int>(dialog.state.pollTimer));
    dialog.killTimer(static_cast<int>(dialog.state.discTimer));
}

TEST_F(MessageMap, TheAboutEntryIsInTheWindowMenuAndOnF1OnceAppended) {
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_TRUE(dialog.calls.empty());
    dialog.AppendAboutToSystemMenu(QStringLiteral("&About Discolo..."));
    dialog.AppendAboutToSystemMenu(QStringLiteral("&About Discolo..."));
    const QList<QAction*> entries = dialog.actions();
    ASSERT_EQ(entries.size(), 2); // a separator, then the entry, once
    EXPECT_TRUE(entries[0]->isSeparator());
    EXPECT_EQ(entries[1]->text(), QStringLiteral("&About Discolo..."));
    EXPECT_EQ(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);

    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"OnSysCommand 16 0"});
}

TEST_F(MessageMap, ALeftButtonReleaseOnTheWindowOrAPassiveLabelRunsOnLButtonUp) {
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(2, dialog.height() - 2));
    QTest::mouseClick(&dialog, Qt::RightButton, {}, QPoint(2, dialog.height() - 2));
    // The disc readout lets the mouse through to the window.
    const QPoint overDiscReadout = dialog.discTimeLabel->geometry().center();
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, overDiscReadout);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"OnLButtonUp", "OnLButtonUp"}));
}

TEST_F(MessageMap, EscapeCancelsEnterOnASelectorIsOkAndEnterOnAButtonClicksIt) {
    struct Case {
        QWidget* focus;
        Qt::Key key;
        std::vector<std::string> calls;
        bool visible;
        int result;
    };
    const Case cases[] = {
        {dialog.stopButton, Qt::Key_Return, {"OnStop"}, true, QDialog::Rejected},
        {dialog.driveCombo, Qt::Key_Return, {}, false, QDialog::Accepted}, // no closing steps
        {dialog.driveCombo,
         Qt::Key_Escape,
         {"OnCancel", "OnStop"},
         false,
         QDialog::Rejected}, // closing stops play
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus->objectName().toStdString() + " " + std::to_string(c.key));
        dialog.show();
        dialog.setResult(QDialog::Rejected);
        dialog.calls.clear();
        c.focus->setFocus();
        QTest::keyClick(c.focus, c.key);
        EXPECT_EQ(dialog.calls, c.calls);
        EXPECT_EQ(dialog.isVisible(), c.visible);
        EXPECT_EQ(dialog.result(), c.result);
    }
}

} // namespace
