// Audio play on the hand-moved clock: how far the head gets, how a play ends, and how PLAY,
// PAUSE/RESUME, SEEK, STOP and START STOP UNIT change a running play.
#include "tests/vdrive/bus_fixture.h"

#include "drive/big_endian.h"
#include "drive/commands.h"

namespace vdrive_test {
namespace {

using namespace vdrive;

class Play : public VirtualBus {
protected:
    CdromDrive& drive = bus.AddDrive(0, 3, TwoTrackDisc());

    void Ok(const Bytes& cdb) {
        ASSERT_EQ(Send(0, 3, cdb).status, SS_COMP) << CdromDrive::CommandName(cdb[0]);
    }

    // Audio status, track and absolute LBA, as the player's position poll reads them.
    struct Poll {
        uint8_t status;
        int track;
        int32_t lba;
    };
    Poll PollPosition() {
        std::array<uint8_t, 16> answer{};
        EXPECT_EQ(ReadSubChannel(0, 3, 1, 0, 1, 0, 16, answer), 1);
        return {answer[1], answer[6], static_cast<int32_t>(ReadBe32(answer, 8))};
    }
};

TEST_F(Play, TheHeadMoves75FramesASecondWithoutDriftingOnOddSteps) {
    Ok(Play12Cdb(0, 40000));
    for (int i = 0; i < 1000; ++i) {
        clock.Advance(1); // each step alone is less than a frame
    }
    EXPECT_EQ(drive.Position(), 75);
    struct Row {
        int64_t step;
        int32_t expected;
    };
    for (const Row& row :
         {Row{350, 101}, Row{350, 127}, Row{350, 153}, Row{7, 154}, Row{60000, 4654}}) {
        clock.Advance(row.step);
        EXPECT_EQ(PollPosition().lba, row.expected) << "frames = elapsed ms * 75 / 1000";
    }
    EXPECT_EQ(PollPosition().status, kAudioStatusPlaying);
}

TEST_F(Play, APlayEndsAtItsEndAndReportsCompletionOnce) {
    Ok(Play10Cdb(19950, 150)); // runs across the start of track 2
    clock.Advance(666);
    EXPECT_EQ(PollPosition().track, 1);
    clock.Advance(1);
    EXPECT_EQ(PollPosition().track, 2);
    clock.Advance(1332);
    EXPECT_EQ(PollPosition().status, kAudioStatusPlaying);
    clock.Advance(1);
    EXPECT_EQ(RequestedSense(0, 3).ascq, kAudioStatusCompleted)
        << "REQUEST SENSE shows it without using it up";
    const Poll done = PollPosition();
    EXPECT_EQ(done.status, kAudioStatusCompleted);
    EXPECT_EQ(done.lba, 20099) << "the head stays on the last frame played";
    EXPECT_EQ(PollPosition().status, kAudioStatusNone);
    clock.Advance(5000);
    EXPECT_EQ(PollPosition().lba, 20099);
}

TEST_F(Play, TheThreePlayCommandsPlayTheSameRange) {
    const Bytes forms[] = {Play10Cdb(300, 150), Play12Cdb(300, 150), PlayMsfCdb(0, 6, 0, 0, 8, 0)};
    for (const Bytes& cdb : forms) {
        SCOPED_TRACE(testing::PrintToString(cdb));
        Ok(SeekCdb(0));
        Ok(cdb);
        EXPECT_EQ(drive.Position(), 300);
        clock.Advance(1999);
        EXPECT_EQ(drive.AudioStatus(), kAudioStatusPlaying);
        clock.Advance(1);
        EXPECT_EQ(drive.AudioStatus(), kAudioStatusCompleted)
            << "the MSF end is the first frame not played";
        EXPECT_EQ(drive.Position(), 449);
    }
}

TEST_F(Play, ALengthOfZeroStartsNothingAndLeavesTheHead) {
    Ok(SeekCdb(5000));
    Ok(Play12Cdb(30000, 0));
    Ok(PlayMsfCdb(0, 10, 0, 0, 10, 0));
    clock.Advance(3000);
    EXPECT_EQ(PollPosition().lba, 5000);
    EXPECT_EQ(PollPosition().status, kAudioStatusNone);

    Ok(Play12Cdb(100, 1000));
    Ok(Play12Cdb(30000, 0));
    clock.Advance(1000);
    EXPECT_EQ(PollPosition().lba, 175) << "a running play goes on";
}

TEST_F(Play, ANewPlayReplacesTheRunningOneAndAllOnesStartsFromTheHead) {
    Ok(Play12Cdb(0, 40000));
    clock.Advance(1000);
    Ok(Play12Cdb(30000, 750));
    EXPECT_EQ(drive.Position(), 30000);
    clock.Advance(2000);
    EXPECT_EQ(drive.Position(), 30150);
    Ok(Play12Cdb(-1, 75)); // from where the head is: only the end changes
    clock.Advance(999);
    EXPECT_EQ(drive.Position(), 30224);
    clock.Advance(1);
    EXPECT_EQ(drive.AudioStatus(), kAudioStatusCompleted);
}

TEST_F(Play, SeekEndsAPlayAndLeavesTheHeadAtItsAddress) {
    Ok(Play12Cdb(0, 40000));
    clock.Advance(1000);
    Ok(SeekCdb(30000));
    clock.Advance(1000);
    const Poll poll = PollPosition();
    EXPECT_EQ(poll.status, kAudioStatusNone);
    EXPECT_EQ(poll.lba, 30000);
    EXPECT_EQ(poll.track, 2);
}

TEST_F(Play, PauseHoldsThePositionAndResumeContinuesFromIt) {
    Ok(Play12Cdb(1000, 39000));
    clock.Advance(2000);
    Ok(PauseCdb());
    Ok(PauseCdb()); // pausing twice is no error
    clock.Advance(5000);
    EXPECT_EQ(PollPosition().status, kAudioStatusPaused);
    EXPECT_EQ(PollPosition().lba, 1150);
    Ok(ResumeCdb());
    Ok(ResumeCdb()); // nor is resuming a play
    clock.Advance(1000);
    EXPECT_EQ(PollPosition().status, kAudioStatusPlaying);
    EXPECT_EQ(PollPosition().lba, 1225);
    EXPECT_EQ(PauseAudio(0, 3), 1);
    EXPECT_EQ(ResumeAudio(0, 3), 1);
}

TEST_F(Play, StopAndSpindleStopEndThePlayWhereItGot) {
    struct Row {
        const char* name;
        Bytes cdb;
        uint8_t status;
    };
    for (const Row& row : {Row{"stop play/scan", StopCdb(), kAudioStatusNone},
                           Row{"spindle stop", StartStopCdb(0x00), kAudioStatusNone},
                           Row{"spindle start", StartStopCdb(0x01), kAudioStatusPlaying},
                           Row{"power condition", StartStopCdb(0x32), kAudioStatusPlaying}}) {
        SCOPED_TRACE(row.name);
        Ok(Play12Cdb(0, 40000));
        clock.Advance(1000);
        Ok(row.cdb);
        clock.Advance(1000);
        EXPECT_EQ(drive.AudioStatus(), row.status);
        EXPECT_EQ(drive.Position(), row.status == kAudioStatusPlaying ? 150 : 75);
    }
}

TEST_F(Play, APlayRunningIntoADataTrackStopsAtItWithAnError) {
    DiscImage extra = MakeAudioDisc({0, 20000}, 40000);
    extra.tracks[1].control = kControlData;
    extra.tracks[1].pregapStart = 19000;
    drive.InsertDisc(extra);
    Send(0, 3, TurCdb());
    Ok(Play12Cdb(18850, 21000));
    clock.Advance(2000);
    const Poll poll = PollPosition();
    EXPECT_EQ(poll.status, kAudioStatusStoppedByError);
    EXPECT_EQ(poll.lba, 18999);
    EXPECT_EQ(PollPosition().status, kAudioStatusNone);
}

} // namespace
} // namespace vdrive_test
