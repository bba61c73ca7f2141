// The window as a view of its controller: after each kind of change every control shows what the
// controller's view model holds, and the slider's own keys reach the controller as trackbar
// codes.
#include "tests/support/player_on_bus.h"

#include <QTest>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace player_test {
namespace {

QString FromView(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

class WindowView : public PlayerOnBus {
protected:
    // Every control and every bound member against the view model.
    void ExpectWindowShowsTheView() {
        const PlayerView& view = dialog->Controller().View();
        const std::pair<const char*, const std::string*> fields[] = {
            {"titleField", &view.titleText},
            {"artistField", &view.artistText},
            {"discTotalField", &view.discTotalText},
            {"trackTotalField", &view.trackTotalText},
            {"trackNumberField", &view.trackNumberText},
            {"trackTimeLabel", &view.trackPositionText},
            {"discTimeLabel", &view.discPositionText},
        };
        for (const auto& [field, text] : fields) {
            EXPECT_EQ(Shown(field), FromView(*text)) << field;
        }
        EXPECT_EQ(dialog->titleText, FromView(view.titleText));
        EXPECT_EQ(dialog->trackTimeCheck, view.trackTimeCheck);
        EXPECT_EQ(dialog->discTimeCheck, view.discTimeCheck);
        EXPECT_EQ(dialog->trackTimeModeButton->isChecked(), view.trackTimeCheck != 0);
        EXPECT_EQ(dialog->discTimeModeButton->isChecked(), view.discTimeCheck != 0);
        EXPECT_EQ(dialog->trackTimeModeButton->text(), FromView(view.trackTimeCaption));
        EXPECT_EQ(dialog->discTimeModeButton->text(), FromView(view.discTimeCaption));

        for (const auto& [combo, entries, selection] :
             {std::tuple{dialog->driveCombo, &view.driveEntries, view.driveSelection},
              std::tuple{dialog->trackCombo, &view.trackEntries, view.trackSelection}}) {
            ASSERT_EQ(combo->count(), static_cast<int>(entries->size()));
            for (int i = 0; i < combo->count(); ++i) {
                EXPECT_EQ(combo->itemText(i), FromView((*entries)[static_cast<size_t>(i)]));
            }
            EXPECT_EQ(combo->currentIndex(), selection);
        }
        EXPECT_EQ(dialog->trackCombo->isEnabled(), view.trackSelectorEnabled);

        const PositionSlider& slider = *dialog->positionSlider;
        EXPECT_EQ(slider.GetRangeMin(), view.slider.minimum);
        EXPECT_EQ(slider.GetRangeMax(), view.slider.maximum);
        EXPECT_EQ(slider.GetLineSize(), view.slider.lineSize);
        EXPECT_EQ(slider.GetPageSize(), view.slider.pageSize);
        EXPECT_EQ(slider.GetPos(), view.slider.position);
        EXPECT_EQ(std::vector<int>(view.slider.ticks.begin(), view.slider.ticks.end()),
                  slider.GetTics());
    }
};

TEST_F(WindowView, EveryControlShowsTheViewModelThroughAPlaySession) {
    vdrive::CdromDrive& drive = AddDrive(vdrive::DemoCdTextDisc(), 0, 3);
    AddDrive(vdrive::DemoMixedDisc(), 1, 2);
    Start();
    {
        SCOPED_TRACE("start-up with a CD-Text disc");
        ExpectWindowShowsTheView();
        EXPECT_EQ(Shown("titleField"), QStringLiteral("Tides && Tin Roofs"));
    }
    QTest::mouseClick(dialog->playButton, Qt::LeftButton);
    PollAfter(3000);
    QTest::mouseClick(dialog->nextButton, Qt::LeftButton);
    PollAfter(1000);
    QTest::mouseClick(dialog->trackTimeModeButton, Qt::LeftButton);
    PollAfter(1000);
    {
        SCOPED_TRACE("playing track 2, the track readout counting down");
        ExpectWindowShowsTheView();
        EXPECT_EQ(dialog->trackCombo->currentIndex(), 1);
        EXPECT_EQ(dialog->trackTimeModeButton->text(), QStringLiteral("Remaining"));
    }
    drive.RemoveDisc();
    RefreshTick();
    {
        SCOPED_TRACE("the disc gone");
        ExpectWindowShowsTheView();
        EXPECT_FALSE(dialog->trackCombo->isEnabled());
        EXPECT_EQ(dialog->positionSlider->GetRangeMax(), 0);
    }
    dialog->driveCombo->setCurrentIndex(1);
    dialog->OnDriveSelChange();
    {
        SCOPED_TRACE("the other drive chosen");
        ExpectWindowShowsTheView();
        EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    }
}

TEST_F(WindowView, HomeAndEndMoveTheThumbWithoutSeekingWhilePagesSeek) {
    AddDrive(ThreeTrackDisc());
    Start();
    dialog->positionSlider->SetPos(60);
    QTest::keyClick(dialog->positionSlider, Qt::Key_Home);
    EXPECT_EQ(dialog->positionSlider->GetPos(), 0);
    QTest::keyClick(dialog->positionSlider, Qt::Key_End);
    EXPECT_EQ(dialog->positionSlider->GetPos(), 133);
    EXPECT_TRUE(Sent().empty());

    QTest::keyClick(dialog->positionSlider, Qt::Key_PageUp);
    EXPECT_EQ(Sent(), (Opcodes{kOpSeek10, kOpPlayAudio12}));
    EXPECT_EQ(AddressOf(LastOf(kOpSeek10)), 83 * 450);
    EXPECT_EQ(state.currentTrack, 2);
    EXPECT_EQ(dialog->Controller().View().slider.position, 83);
}

} // namespace
} // namespace player_test
