// What a CD drive's audio play is, apart from what moves it: where the head is, what a PLAY,
// PAUSE/RESUME, SEEK or STOP does to it, when a play ends, and which audio status the drive
// reports. The virtual drive moves it by its clock (75 frames a second); the digital play layer
// moves it by the frames the sound output has consumed. One model for both, so that a play
// behaves alike whoever carries it out.
//
// A play advances in runs: each PLAY that starts and each RESUME begins a new run (Run() counts
// them) at RunStart(), ending before End(). Whoever carries the play out reports how many frames
// of the current run have been played (heard) so far with AdvanceTo; a report for an earlier run
// is ignored, so a late report from a reader or a sound output cannot move a newer play.
//
// Not safe for concurrent use: the owner serialises calls (the drive and the layer hold a lock).
#pragma once

#include "drive/audio_status.h"
#include "drive/fixed_sense.h"
#include "playback/disc_layout.h"

#include <cstdint>
#include <span>

namespace playback {

// Why a drive refuses a command that changes the play.
enum class PlayRefusal {
    None,
    InvalidField,         // 05/24/00: an end before the start, an unknown command
    LbaOutOfRange,        // 05/21/00: an address outside the disc (or no disc)
    IllegalModeForTrack,  // 05/64/00: a play that starts in a data track
    CommandSequenceError, // 05/2C/00: pause or resume with nothing to pause or resume
};

// The sense a drive answers a refusal with (kSenseNone for None).
Sense SenseOf(PlayRefusal refusal);

// Whether a PLAY AUDIO(10), (12) or MSF command block starts from where the head is: a start of
// all ones (FFFFFFFFh, or FF FF FF in MSF). `cdb` holds 10 bytes or more.
bool PlaysFromHead(std::span<const uint8_t> cdb);

class PlayModel {
public:
    enum class Audio { Idle, Playing, Paused, Completed, StoppedByError };

    // A disc arrived (an empty layout: none is there): no play, the head on its first track.
    void SetDisc(DiscLayout disc);
    // The same disc again (a tray closed on it): no play, the head on its first track.
    void Reset();
    const DiscLayout& Disc() const { return disc_; }

    // PLAY AUDIO(10), PLAY AUDIO(12) or PLAY AUDIO MSF as the command block says: a start of all
    // ones (FFFFFFFFh, or FF FF FF in MSF) plays from the head; a length of 0 (or an MSF end equal
    // to the start) starts nothing and leaves a running play alone. Any other operation code is
    // refused as an invalid field.
    PlayRefusal PlayCommand(std::span<const uint8_t> cdb);
    // Plays [start, end). `fromHead`: start from the head instead, keeping the length end - start.
    // A play that would run into a data track stops at its boundary with 0x14.
    PlayRefusal Play(int64_t start, int64_t end, bool fromHead = false);
    PlayRefusal Pause();  // pausing a paused play is no error
    PlayRefusal Resume(); // nor is resuming a play; resuming starts a new run at the head
    // Moves the head and ends a play (SEEK); the address must lie on the disc.
    PlayRefusal Seek(int64_t lba);
    // Ends a play where it has got (STOP PLAY/SCAN, a spindle stop, an eject).
    void Stop();

    // Frames of run `run` played so far; a report that goes back counts as no progress. A play
    // that reaches its end completes (0x13, or 0x14 at a data track's boundary). False, and
    // nothing changes, when `run` is not a play in progress.
    bool AdvanceTo(uint32_t run, int64_t framesIntoRun);
    // The play of run `run` cannot go on (the audio cannot be read): it stops where it has got
    // and reports 0x14 once. False, and nothing changes, when `run` is not a play in progress.
    bool StopWithError(uint32_t run);

    Audio State() const { return state_.audio; }
    uint8_t AudioStatus() const; // as REQUEST SENSE reports it: 0x13 and 0x14 stay
    uint8_t TakeAudioStatus();   // as READ SUB-CHANNEL reports it: 0x13 and 0x14 once
    int32_t Head() const;        // the frame playing, or the last one played or sought
    uint32_t Run() const { return state_.run; }
    int32_t RunStart() const { return state_.runStart; }
    int32_t End() const { return state_.end; } // the first frame the play does not reach
    int64_t Progress() const { return state_.progress; }

    // What AudioStatus() and Head() would be after AdvanceTo(Run(), framesIntoRun), without
    // changing anything.
    struct View {
        uint8_t audioStatus = kAudioStatusNone;
        int32_t head = 0;
    };
    View Peek(int64_t framesIntoRun) const;

private:
    struct PlayState {
        Audio audio = Audio::Idle;
        int32_t head = 0;        // position when not playing
        int32_t runStart = 0;    // LBA at which the current run began
        int32_t end = 0;         // first frame not played
        bool endsAtData = false; // the end is a data track's boundary, not the one asked for
        int64_t progress = 0;    // frames of the current run played so far
        uint32_t run = 0;

        int32_t Head() const;
        void MoveTo(int64_t framesIntoRun); // completes the play when it reaches its end
    };
    void StartRun(int32_t first);

    DiscLayout disc_;
    PlayState state_;
};

} // namespace playback
