// The play model moved by progress reports, as the digital play layer moves it with the frames
// its sound output has consumed (the virtual drive's clock-driven play is tested in tests/vdrive).
#include "playback/play_model.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace playback;

// Two audio tracks, the second at 20000, lead-out at 40000.
DiscLayout TwoTracks() {
    return DiscLayout{{TocTrack(1, 0x00, 0), TocTrack(2, 0x00, 20000)}, 40000};
}

TEST(PlayModelByProgress, TheHeadFollowsTheFramesPlayedOfTheCurrentRunOnly) {
    PlayModel model;
    model.SetDisc(TwoTracks());
    ASSERT_EQ(model.Play(1000, 40000), PlayRefusal::None);
    const uint32_t first = model.Run();
    EXPECT_TRUE(model.AdvanceTo(first, 300));
    EXPECT_EQ(model.Head(), 1300);
    EXPECT_TRUE(model.AdvanceTo(first, 200));
    EXPECT_EQ(model.Head(), 1300) << "a report that goes back is no progress";

    ASSERT_EQ(model.Pause(), PlayRefusal::None);
    EXPECT_FALSE(model.AdvanceTo(first, 400)) << "frames still arriving after the pause";
    EXPECT_EQ(model.Head(), 1300);
    EXPECT_EQ(model.AudioStatus(), kAudioStatusPaused);

    ASSERT_EQ(model.Resume(), PlayRefusal::None);
    const uint32_t resumed = model.Run();
    EXPECT_NE(resumed, first);
    EXPECT_EQ(model.RunStart(), 1300) << "nothing lost, nothing repeated";
    EXPECT_FALSE(model.AdvanceTo(first, 1000));
    EXPECT_TRUE(model.AdvanceTo(resumed, 75));
    EXPECT_EQ(model.Head(), 1375);

    ASSERT_EQ(model.Play(30000, 30750), PlayRefusal::None);
    EXPECT_FALSE(model.AdvanceTo(resumed, 5000)) << "a late report of the replaced play";
    EXPECT_EQ(model.Head(), 30000);
    EXPECT_EQ(model.AudioStatus(), kAudioStatusPlaying);
}

TEST(PlayModelByProgress, AFinishedPlayReportsItsStatusOnceAndKeepsItsHead) {
    DiscLayout dataSecond = TwoTracks();
    dataSecond.tracks[1].control = kControlData;
    dataSecond.tracks[1].pregapStart = 19900;
    struct Row {
        const char* what;
        DiscLayout disc;
        std::function<void(PlayModel&)> play;
        uint8_t status;
        int32_t head;
    };
    const Row rows[] = {
        {"played to its end", TwoTracks(),
         [](PlayModel& m) {
             m.Play(19950, 20100);
             m.AdvanceTo(m.Run(), 149);
             EXPECT_EQ(m.TakeAudioStatus(), kAudioStatusPlaying);
             m.AdvanceTo(m.Run(), 150);
         },
         kAudioStatusCompleted, 20099},
        {"ran into a data track", dataSecond,
         [](PlayModel& m) {
             m.Play(19800, 30000);
             EXPECT_EQ(m.End(), 19900) << "the play ends at the data track's pregap";
             m.AdvanceTo(m.Run(), 400);
         },
         kAudioStatusStoppedByError, 19899},
        {"could not be read on", TwoTracks(),
         [](PlayModel& m) {
             m.Play(0, 40000);
             m.AdvanceTo(m.Run(), 500);
             EXPECT_TRUE(m.StopWithError(m.Run()));
         },
         kAudioStatusStoppedByError, 500},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PlayModel model;
        model.SetDisc(row.disc);
        row.play(model);
        const uint32_t run = model.Run();
        EXPECT_EQ(model.AudioStatus(), row.status);
        EXPECT_EQ(model.AudioStatus(), row.status) << "REQUEST SENSE does not use it up";
        EXPECT_EQ(model.TakeAudioStatus(), row.status);
        EXPECT_EQ(model.TakeAudioStatus(), kAudioStatusNone) << "reported once";
        EXPECT_EQ(model.Head(), row.head);
        EXPECT_FALSE(model.AdvanceTo(run, 100000));
        EXPECT_FALSE(model.StopWithError(run));
        EXPECT_EQ(model.Head(), row.head) << "late reports move nothing";
        EXPECT_EQ(model.Resume(), PlayRefusal::CommandSequenceError);
    }
}

} // namespace
