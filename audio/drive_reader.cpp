// The engine of one drive's digital play: the reader thread that keeps the buffer ahead of the
// sink with READ CD, and the feed the sink takes from. A job is one run of the play model; any
// jump starts or stops a job, which drops what was read for the one before.
#include "audio/drive_play.h"

#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"
#include "drive/srb.h"
#include "drive/sub_q_layout.h"
#include "drive/toc_layout.h"

#include <algorithm>
#include <cstring>

namespace audio {

using playback::PlayModel;
using playback::QFrame;
using playback::QPosition;

namespace {

// A Q's position this many frames on at most is worked out from it; further, it is not trusted.
constexpr int32_t kQReach = 2;
// A frame without a Q that holds up keeps the CONTROL of one this close before it in its track,
// so that one bad Q in a track flagged only there is not heard unfiltered.
constexpr int32_t kControlReach = 75;

// Where a position `frames` (1 to kQReach) on from `from` lies: the same track and index, unless
// a pregap ends (index 1 of its track begins) or the table of contents starts the next track.
QPosition Advanced(const QPosition& from, int32_t lba, int32_t frames,
                   std::span<const playback::DiscTrack> tracks) {
    QPosition at = from;
    at.relative = from.relative + frames;
    if (from.relative < 0 && at.relative >= 0) {
        at.index = 1;
    }
    for (const playback::DiscTrack& track : tracks) {
        if (track.number == from.track + 1 && track.start <= lba && at.index > 0) {
            at = QPosition{track.control, track.number, 1, lba - track.start};
        }
    }
    return at;
}

} // namespace

void DrivePlay::StartJob() {
    job_ = Job{};
    job_.active = true;
    job_.run = model_.Run();
    job_.nextRead = model_.RunStart();
    job_.end = model_.End();
    ringFirst_ = 0;
    ringCount_ = 0;
    ++generation_;
    speed_.BufferEmptied();
    stage_.Jumped();
    if (!reader_.joinable()) {
        ring_.assign(size_t{settings_.bufferFrames} * kCdFrameBytes, 0);
        tags_.assign(settings_.bufferFrames, FrameTag{});
        reader_ = std::thread([this] { ReaderLoop(); });
    }
    changed_.notify_all();
}

void DrivePlay::StopJob() {
    if (ringCount_ > 0 && tags_[ringFirst_].q) {
        // The frame a pause holds at, or a stop left: still where the Q sub-channel put it.
        nextQ_ = HeardQ{job_.nextRead - static_cast<int32_t>(ringCount_), *tags_[ringFirst_].q};
    }
    job_.active = false;
    ringCount_ = 0;
    ++generation_;
    changed_.notify_all();
}

void DrivePlay::FallBackToDrive() {
    // Nothing of this play has been heard (or the drive stopped delivering): the drive plays the
    // rest on its own, and every later play of this disc too.
    const int32_t from = model_.Head();
    const int32_t end = model_.End();
    StopJob();
    model_.Stop();
    mode_ = Mode::Analog;
    stats_.analog = true;
    stats_.digital = false;
    SendCommandBlock(below_.sendCommand, adapter_, target_,
                     PlayAudio12Cdb(static_cast<uint32_t>(from), static_cast<uint32_t>(end - from)),
                     {});
}

void DrivePlay::Append(std::span<const uint8_t> frames, std::span<const uint8_t> q,
                       uint32_t count) {
    const size_t capacity = settings_.bufferFrames;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t slot = (ringFirst_ + ringCount_) % capacity;
        uint8_t* at = ring_.data() + slot * kCdFrameBytes;
        if (frames.empty()) {
            std::memset(at, 0, kCdFrameBytes);
        } else {
            std::memcpy(at, frames.data() + size_t{i} * kCdFrameBytes, kCdFrameBytes);
        }
        tags_[slot] =
            Tag(job_.nextRead + static_cast<int32_t>(i),
                q.empty() ? q : q.subspan(size_t{i} * kFormattedQLength, kFormattedQLength));
        ++ringCount_;
    }
}

DrivePlay::FrameTag DrivePlay::Tag(int32_t lba, std::span<const uint8_t> q) {
    const std::span<const playback::DiscTrack> tracks = model_.Disc().tracks;
    FrameTag tag;
    if (tracks.empty()) {
        return tag;
    }
    const playback::DiscTrack& tocTrack = *playback::PositionAt(tracks, lba).track;
    uint8_t control = tocTrack.control;
    if (!q.empty()) {
        const QFrame frame = playback::DecodeQ(q, lba, model_.Disc());
        const int32_t sinceLast = lastReadQ_ ? lba - lastReadQ_->lba : 0;
        if (frame.mode == QFrame::Mode::Position) {
            tag.q = frame.position;
        } else if (frame.mode != QFrame::Mode::Unusable && sinceLast > 0 && sinceLast <= kQReach) {
            // A frame that carries a code instead of its position lies just after one that told.
            tag.q = Advanced(lastReadQ_->position, lba, sinceLast, tracks);
            tag.q->control = frame.control;
        }
        if (frame.mode != QFrame::Mode::Unusable) {
            control |= frame.control;
        } else if (sinceLast > 0 && sinceLast <= kControlReach &&
                   lastReadQ_->position.track == tocTrack.number) {
            control |= lastReadQ_->position.control;
        }
        if (!frame.code.empty()) {
            if (frame.mode == QFrame::Mode::Catalog) {
                catalog_ = frame.code;
            } else {
                isrc_[tag.q ? tag.q->track : tocTrack.number] = frame.code;
            }
        }
        if (tag.q) {
            lastReadQ_ = HeardQ{lba, *tag.q};
        }
    }
    tag.emphasised = (control & kControlPreEmphasis) != 0;
    return tag;
}

std::optional<QPosition> DrivePlay::QAtHead() const {
    const int32_t head = model_.Head();
    if (job_.active && ringCount_ > 0 && job_.nextRead - static_cast<int32_t>(ringCount_) == head &&
        tags_[ringFirst_].q) {
        return tags_[ringFirst_].q; // the next frame to be heard, read ahead
    }
    for (const std::optional<HeardQ>& known : {nextQ_, lastHeardQ_}) {
        if (known && known->lba == head) {
            return known->position;
        }
    }
    if (lastHeardQ_ && head > lastHeardQ_->lba && head - lastHeardQ_->lba <= kQReach) {
        return Advanced(lastHeardQ_->position, head, head - lastHeardQ_->lba, model_.Disc().tracks);
    }
    return std::nullopt; // the table of contents answers
}

DrivePlay::ReadOutcome DrivePlay::ReadChunk(int32_t lba, uint32_t count, bool withQ,
                                            std::span<uint8_t> into) {
    const Cdb12 readCd = ReadCdCdb(static_cast<uint32_t>(lba), count,
                                   withQ ? kReadCdFormattedQ : kReadCdNoSubChannel);
    const size_t frameBytes = kCdFrameBytes + (withQ ? kFormattedQLength : 0);
    const std::span<uint8_t> frames = into.first(size_t{count} * frameBytes);
    for (int attempt = 0; attempt < settings_.readTries && !quitting_; ++attempt) {
        const Completion completion =
            SendCommandBlock(below_.sendCommand, adapter_, target_, readCd, frames);
        if (completion.Ok()) {
            return ReadOutcome::Ok;
        }
        if (completion.NoDevice()) {
            return ReadOutcome::NoDevice;
        }
        if (completion.DiscGone()) {
            return ReadOutcome::DiscGone;
        }
        if (withQ && completion.sense == kSenseInvalidFieldInCdb) {
            return ReadOutcome::QRefused; // some drives read audio, but not with its Q
        }
        if (completion.sense == kSenseInvalidOperationCode ||
            completion.sense == kSenseInvalidFieldInCdb) {
            return ReadOutcome::Refused; // the drive does not read audio this way at all
        }
    }
    return ReadOutcome::Failed;
}

bool DrivePlay::ReaderHasWork() const {
    if (!job_.active || job_.readerDone) {
        return false;
    }
    const auto count = std::min<int64_t>(settings_.chunkFrames, job_.end - job_.nextRead);
    return ringCount_ + static_cast<size_t>(count) <= settings_.bufferFrames;
}

void DrivePlay::ReaderLoop() {
    const size_t chunkFrames = settings_.chunkFrames;
    std::vector<uint8_t> read(chunkFrames * (kCdFrameBytes + kFormattedQLength));
    std::vector<uint8_t> frames(chunkFrames * kCdFrameBytes);
    std::vector<uint8_t> q(chunkFrames * kFormattedQLength);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return quit_ || ReaderHasWork() || SpeedDue(); });
        if (quit_) {
            return;
        }
        if (SpeedDue()) {
            lock.unlock();
            SyncSpeed(); // before the next read: a play starts slowly, a low buffer speeds it up
            lock.lock();
            continue;
        }
        const uint64_t generation = generation_;
        const int32_t lba = job_.nextRead;
        const auto count = static_cast<uint32_t>(
            std::min<int64_t>(settings_.chunkFrames, job_.end - job_.nextRead));
        const bool withQ = stats_.subChannel;
        lock.unlock();
        const ReadOutcome outcome = ReadChunk(lba, count, withQ, withQ ? read : frames);
        for (size_t i = 0; i < count && withQ && outcome == ReadOutcome::Ok; ++i) {
            const uint8_t* from = read.data() + i * (kCdFrameBytes + kFormattedQLength);
            std::memcpy(frames.data() + i * kCdFrameBytes, from, kCdFrameBytes);
            std::memcpy(q.data() + i * kFormattedQLength, from + kCdFrameBytes, kFormattedQLength);
        }
        lock.lock();
        if (generation != generation_) {
            continue; // a jump while reading: this chunk belongs to a play that is gone
        }
        switch (outcome) {
        case ReadOutcome::Ok:
            Append(frames, withQ ? std::span<const uint8_t>(q) : std::span<const uint8_t>(), count);
            job_.nextRead += static_cast<int32_t>(count);
            job_.failedInRow = 0;
            discDelivered_ = true;
            ++stats_.chunksRead;
            speed_.BufferLevel(ringCount_, settings_.bufferFrames);
            break;
        case ReadOutcome::QRefused:
            stats_.subChannel = false; // the chunk is read again without; positions from the TOC
            break;
        case ReadOutcome::Refused:
            FallBackToDrive();
            break;
        case ReadOutcome::DiscGone:
            ForgetDisc(); // the tray opened or another disc came: this play is over
            break;
        case ReadOutcome::NoDevice:
            model_.StopWithError(job_.run);
            StopJob();
            break;
        case ReadOutcome::Failed:
            if (!discDelivered_) {
                FallBackToDrive(); // the first reads failed: the drive may still play it
                break;
            }
            // A bad patch of the disc: silence for it, and on.
            ++stats_.failedChunks;
            Append({}, {}, count);
            job_.nextRead += static_cast<int32_t>(count);
            if (++job_.failedInRow >= settings_.failedChunksToStop) {
                job_.readerDone = true;
                job_.stopByError = true;
            }
            break;
        }
        if (job_.active && job_.nextRead >= job_.end) {
            job_.readerDone = true;
        }
        changed_.notify_all();
    }
}

size_t DrivePlay::Take(std::span<uint8_t> frames, std::chrono::milliseconds wait) {
    const size_t wanted = frames.size() / kCdFrameBytes;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    size_t taken = 0;
    while (mode_ == Mode::Digital && job_.active) {
        const size_t count = std::min(wanted - taken, ringCount_);
        const size_t capacity = settings_.bufferFrames;
        for (size_t i = 0; i < count; ++i) {
            const size_t slot = (ringFirst_ + i) % capacity;
            const std::span<uint8_t> frame =
                frames.subspan((taken + i) * kCdFrameBytes, kCdFrameBytes);
            std::memcpy(frame.data(), ring_.data() + slot * kCdFrameBytes, kCdFrameBytes);
            stage_.Process(frame, tags_[slot].emphasised);
        }
        if (count > 0) {
            const size_t last = (ringFirst_ + count - 1) % capacity;
            const int32_t lastLba = job_.nextRead - static_cast<int32_t>(ringCount_ - count) - 1;
            lastHeardQ_.reset();
            if (tags_[last].q) {
                lastHeardQ_ = HeardQ{lastLba, *tags_[last].q};
            }
            ringFirst_ = (ringFirst_ + count) % capacity;
            ringCount_ -= count;
            taken += count;
            job_.taken += static_cast<int64_t>(count);
            model_.AdvanceTo(job_.run, job_.taken); // heard: the position moves
            // Room for a whole chunk, or a faster read speed due: only then is the reader woken,
            // not for every frame a sink takes.
            const bool faster =
                !job_.readerDone && speed_.BufferLevel(ringCount_, settings_.bufferFrames);
            if (faster || ReaderHasWork()) {
                changed_.notify_all();
            }
        }
        if (model_.State() != PlayModel::Audio::Playing || model_.Run() != job_.run) {
            job_.active = false;   // the play reached its end
            changed_.notify_all(); // the drive gets its fastest back
            break;
        }
        if (ringCount_ == 0 && job_.readerDone) {
            if (job_.stopByError) {
                model_.StopWithError(job_.run); // too many bad chunks in a row
            }
            job_.active = false;
            changed_.notify_all();
            break;
        }
        if (taken == wanted || wait.count() <= 0) {
            break;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            wait = std::chrono::milliseconds(0); // one more look, then give up
        }
    }
    return taken;
}

bool DrivePlay::Playing() const {
    const std::lock_guard lock(mutex_);
    return mode_ == Mode::Digital && job_.active && model_.State() == PlayModel::Audio::Playing;
}

} // namespace audio
