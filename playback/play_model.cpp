// The play model. A running play is kept as where its current run began and how many frames of
// it have been played, so the head follows exactly from what its owner reports, without
// accumulated steps.
#include "playback/play_model.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"

#include <algorithm>
#include <utility>

namespace playback {

Sense SenseOf(PlayRefusal refusal) {
    switch (refusal) {
    case PlayRefusal::None:
        break;
    case PlayRefusal::InvalidField:
        return kSenseInvalidFieldInCdb;
    case PlayRefusal::LbaOutOfRange:
        return kSenseLbaOutOfRange;
    case PlayRefusal::IllegalModeForTrack:
        return kSenseIllegalModeForTrack;
    case PlayRefusal::CommandSequenceError:
        return kSenseCommandSequenceError;
    }
    return kSenseNone;
}

bool PlaysFromHead(std::span<const uint8_t> cdb) {
    if (cdb[0] == kOpPlayAudioMsf) {
        return cdb[3] == 0xFF && cdb[4] == 0xFF && cdb[5] == 0xFF; // starting M, S, F
    }
    return ReadBe32(cdb, 2) == kPlayFromCurrentPosition; // starting logical block address
}

// ---- the state of a play ------------------------------------------------------------------

int32_t PlayModel::PlayState::Head() const {
    if (audio != Audio::Playing) {
        return head;
    }
    return static_cast<int32_t>(std::min<int64_t>(int64_t{runStart} + progress, end));
}

void PlayModel::PlayState::MoveTo(int64_t framesIntoRun) {
    progress = std::max(progress, framesIntoRun);
    if (audio == Audio::Playing && int64_t{runStart} + progress >= end) {
        audio = endsAtData ? Audio::StoppedByError : Audio::Completed;
        head = end - 1; // the last frame played
    }
}

void PlayModel::StartRun(int32_t first) {
    state_.audio = Audio::Playing;
    state_.runStart = first;
    state_.progress = 0;
    ++state_.run;
}

// ---- the disc -----------------------------------------------------------------------------

void PlayModel::SetDisc(DiscLayout disc) {
    disc_ = std::move(disc);
    Reset();
}

void PlayModel::Reset() {
    const uint32_t run = state_.run; // runs keep counting: a report from before is still stale
    state_ = PlayState{};
    state_.run = run;
    if (!disc_.tracks.empty()) {
        state_.head = disc_.tracks.front().start;
    }
}

// ---- commands -----------------------------------------------------------------------------

PlayRefusal PlayModel::PlayCommand(std::span<const uint8_t> cdb) {
    if (cdb.size() < 10) {
        return PlayRefusal::InvalidField;
    }
    switch (cdb[0]) {
    case kOpPlayAudio10:
    case kOpPlayAudio12: {
        const bool fromHead = PlaysFromHead(cdb);
        const int64_t first = fromHead ? 0 : static_cast<int32_t>(ReadBe32(cdb, 2)); // start LBA
        int64_t length = ReadBe16(cdb, 7); // PLAY AUDIO(10): transfer length in frames
        if (cdb[0] == kOpPlayAudio12) {
            if (cdb.size() < 12) {
                return PlayRefusal::InvalidField;
            }
            length = ReadBe32(cdb, 6); // PLAY AUDIO(12): transfer length in frames
        }
        return Play(first, first + length, fromHead);
    }
    case kOpPlayAudioMsf: {
        const bool fromHead = PlaysFromHead(cdb);
        const int64_t end = MsfToLba(cdb[6], cdb[7], cdb[8]); // ending M, S, F: first not played
        const int64_t first = fromHead ? Head() : MsfToLba(cdb[3], cdb[4], cdb[5]); // starting MSF
        return Play(first, end);
    }
    default:
        return PlayRefusal::InvalidField;
    }
}

PlayRefusal PlayModel::Play(int64_t start, int64_t end, bool fromHead) {
    if (fromHead) {
        end += Head() - start;
        start = Head();
    }
    if (end == start) {
        return PlayRefusal::None; // no audio operation: the head stays and a play goes on
    }
    if (end < start) {
        return PlayRefusal::InvalidField;
    }
    if (disc_.tracks.empty() || start < kFirstPregapLba || start >= disc_.leadOut) {
        return PlayRefusal::LbaOutOfRange;
    }
    const auto first = static_cast<int32_t>(start);
    if ((PositionAt(disc_.tracks, first).track->control & kControlData) != 0) {
        return PlayRefusal::IllegalModeForTrack;
    }
    if (end > disc_.leadOut) {
        return PlayRefusal::LbaOutOfRange;
    }
    // A play that would run into a data track stops at its boundary, as drives do.
    const int32_t boundary = DataBoundaryAfter(disc_.tracks, disc_.leadOut, first);
    StartRun(first);
    state_.end = static_cast<int32_t>(std::min<int64_t>(end, boundary));
    state_.endsAtData = boundary < end;
    return PlayRefusal::None;
}

PlayRefusal PlayModel::Pause() {
    if (state_.audio == Audio::Playing) {
        state_.head = state_.Head();
        state_.audio = Audio::Paused;
    } else if (state_.audio != Audio::Paused) {
        return PlayRefusal::CommandSequenceError;
    }
    return PlayRefusal::None;
}

PlayRefusal PlayModel::Resume() {
    if (state_.audio == Audio::Paused) {
        StartRun(state_.head); // continue from the held position
    } else if (state_.audio != Audio::Playing) {
        return PlayRefusal::CommandSequenceError;
    }
    return PlayRefusal::None;
}

PlayRefusal PlayModel::Seek(int64_t lba) {
    if (disc_.tracks.empty() || lba < kFirstPregapLba || lba >= disc_.leadOut) {
        return PlayRefusal::LbaOutOfRange;
    }
    state_.audio = Audio::Idle; // moving the head ends a play
    state_.head = static_cast<int32_t>(lba);
    return PlayRefusal::None;
}

void PlayModel::Stop() {
    state_.head = state_.Head();
    state_.audio = Audio::Idle;
}

// ---- progress -----------------------------------------------------------------------------

bool PlayModel::AdvanceTo(uint32_t run, int64_t framesIntoRun) {
    if (run != state_.run || state_.audio != Audio::Playing) {
        return false;
    }
    state_.MoveTo(framesIntoRun);
    return true;
}

bool PlayModel::StopWithError(uint32_t run) {
    if (run != state_.run || state_.audio != Audio::Playing) {
        return false;
    }
    state_.head = state_.Head();
    state_.audio = Audio::StoppedByError;
    return true;
}

// ---- what the drive reports ---------------------------------------------------------------

namespace {

uint8_t StatusOf(PlayModel::Audio audio) {
    switch (audio) {
    case PlayModel::Audio::Playing:
        return kAudioStatusPlaying;
    case PlayModel::Audio::Paused:
        return kAudioStatusPaused;
    case PlayModel::Audio::Completed:
        return kAudioStatusCompleted;
    case PlayModel::Audio::StoppedByError:
        return kAudioStatusStoppedByError;
    case PlayModel::Audio::Idle:
        break;
    }
    return kAudioStatusNone;
}

} // namespace

uint8_t PlayModel::AudioStatus() const {
    return StatusOf(state_.audio);
}

uint8_t PlayModel::TakeAudioStatus() {
    const uint8_t status = AudioStatus();
    if (state_.audio == Audio::Completed || state_.audio == Audio::StoppedByError) {
        state_.audio = Audio::Idle; // a finished play is reported once; the head stays
    }
    return status;
}

int32_t PlayModel::Head() const {
    return state_.Head();
}

PlayModel::View PlayModel::Peek(int64_t framesIntoRun) const {
    PlayState ahead = state_;
    if (ahead.audio == Audio::Playing) {
        ahead.MoveTo(framesIntoRun);
    }
    return View{StatusOf(ahead.audio), ahead.Head()};
}

} // namespace playback
