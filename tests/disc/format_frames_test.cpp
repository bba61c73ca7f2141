#include "disc/toc.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatFrames, ShowsWholeMinutesAndSecondsUpToEightyMinutes) {
    const struct {
        int32_t frames;
        const char* text;
    } rows[] = {
        {0, "00:00"},    {74, "00:00"},        {75, "00:01"},        {4499, "00:59"},
        {4500, "01:00"}, {359999, "79:59"},    {360000, "80:00"},    {360001, "00:00"},
        {-1, "00:00"},   {INT32_MIN, "00:00"}, {INT32_MAX, "00:00"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatFrames(row.frames), row.text) << row.frames << " frames";
    }
}

TEST(SliderScale, OneStepIsFourHundredFiftyFrames) {
    const struct {
        int32_t frames;
        int32_t position;
    } rows[] = {{0, 0}, {449, 0}, {450, 1}, {899, 1}, {283575, 630}, {359999, 799}};
    for (const auto& row : rows) {
        EXPECT_EQ(SliderPositionOf(row.frames), row.position) << row.frames << " frames";
    }
    EXPECT_EQ(FramesAtSliderPosition(630), 283500);
    EXPECT_EQ(FramesAtSliderPosition(0), 0);
    EXPECT_EQ(FramesAtSliderPosition(INT32_MAX), INT32_MAX) << "clamped, not overflowed";
}

} // namespace
