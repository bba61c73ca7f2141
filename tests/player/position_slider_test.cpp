// The position slider on its own: mouse drags and page clicks as trackbar codes, the wheel, and
// tick marks at arbitrary positions.
#include "player/position_slider.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class SliderTest : public testing::Test {
protected:
    void SetUp() override {
        slider.setGeometry(0, 0, 330, 31);
        slider.SetRange(0, 100);
        slider.SetPageSize(10);
        QObject::connect(&slider, &PositionSlider::scrolled,
                         [this](int code) { codes.emplace_back(code, slider.GetPos()); });
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    }

    PositionSlider slider;
    std::vector<std::pair<int, int>> codes; // code and the position the slider had when it came
};

TEST_F(SliderTest, ADragReportsThumbTrackPerMoveThenThumbPositionAndEndTrack) {
    slider.SetPos(0);
    const QPoint start(slider.TicX(0), slider.height() / 2); // on the thumb
    QTest::mousePress(&slider, Qt::LeftButton, {}, start);
    QTest::mouseMove(&slider, start + QPoint(60, 0));
    QTest::mouseMove(&slider, start + QPoint(120, 0));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, start + QPoint(120, 0));

    ASSERT_EQ(codes.size(), 4u);
    EXPECT_EQ(codes[0].first, kTbThumbTrack);
    EXPECT_EQ(codes[1].first, kTbThumbTrack);
    EXPECT_GT(codes[0].second, 0);
    EXPECT_GT(codes[1].second, codes[0].second); // each report sees the thumb where it is now
    EXPECT_EQ(codes[2], std::make_pair(kTbThumbPosition, codes[1].second));
    EXPECT_EQ(codes[3], std::make_pair(kTbEndTrack, codes[1].second));
}

TEST_F(SliderTest, AClickBesideTheThumbPagesTowardItThenEndsTrack) {
    slider.SetPos(50);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 5, slider.height() / 2));
    QTest::mouseRelease(&slider, Qt::LeftButton, {},
                        QPoint(slider.width() - 5, slider.height() / 2));
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes.front(), std::make_pair(kTbPageDown, 60));
    EXPECT_EQ(codes.back().first, kTbEndTrack);

    codes.clear();
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(5, slider.height() / 2));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(5, slider.height() / 2));
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes.front(), std::make_pair(kTbPageUp, 50));
    EXPECT_EQ(codes.back().first, kTbEndTrack);
}

TEST_F(SliderTest, TheWheelMovesALinePerNotchAndEndsTrack) {
    slider.SetPos(50);
    QWheelEvent up(QPointF(10, 10), slider.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 240),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &up);
    const std::vector<std::pair<int, int>> expected{
        {kTbLineDown, 51}, {kTbLineDown, 52}, {kTbEndTrack, 52}};
    EXPECT_EQ(codes, expected);
}

TEST_F(SliderTest, TicsAreSetOnlyInsideTheRangeAndCleared) {
    EXPECT_TRUE(slider.SetTic(0));
    EXPECT_TRUE(slider.SetTic(37));
    EXPECT_TRUE(slider.SetTic(100));
    EXPECT_FALSE(slider.SetTic(101));
    EXPECT_FALSE(slider.SetTic(-1));
    EXPECT_EQ(slider.GetTics(), (std::vector<int>{0, 37, 100}));
    slider.ClearTics(true);
    EXPECT_TRUE(slider.GetTics().empty());
    EXPECT_TRUE(codes.empty()); // none of this is a user's action
}

TEST_F(SliderTest, DrawsATickMarkUnderEachSetPosition) {
    auto tickDrawnAt = [this](int position) {
        const QImage image = slider.grab().toImage();
        const int x = slider.TicX(position);
        const QRgb ink = slider.palette().color(QPalette::WindowText).rgb();
        return image.pixel(x, slider.height() - 3) == ink;
    };
    EXPECT_FALSE(tickDrawnAt(37));
    slider.SetTic(37);
    EXPECT_TRUE(tickDrawnAt(37));
    EXPECT_TRUE(tickDrawnAt(0)); // the ends always carry one
    EXPECT_TRUE(tickDrawnAt(100));
    EXPECT_LT(slider.TicX(0), slider.TicX(37));
    EXPECT_LT(slider.TicX(37), slider.TicX(100));
    slider.ClearTics(true);
    EXPECT_FALSE(tickDrawnAt(37));
}

} // namespace
