// The engine of one drive's digital play: the reader thread that keeps the buffer ahead of the
// sink with READ CD, and the feed the sink takes from and reports to. A job is one run of the play
// model; any jump starts or stops a job, which drops what was read for the one before.
#include "audio/drive_play.h"

#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"
#include "drive/msf.h"
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
    ring_.Clear();
    unheardQ_.clear();
    ++generation_;
    speed_.BufferEmptied();
    stage_.Jumped();
    if (!reader_.joinable()) {
        reader_ = std::thread([this] { ReaderLoop(); });
    }
    roomForReader_.notify_all();
    framesForSink_.notify_all();
}

void DrivePlay::StopJob() {
    // The frame a pause holds at, or a stop left: still where the Q sub-channel put it.
    const int32_t head = model_.Head();
    for (const auto& [lba, q] : unheardQ_) {
        if (lba == head && q) {
            nextQ_ = HeardQ{lba, *q};
        }
    }
    if (ring_.Count() > 0 && ring_.Front().q &&
        job_.nextRead - static_cast<int32_t>(ring_.Count()) == head) {
        nextQ_ = HeardQ{head, *ring_.Front().q};
    }
    job_.active = false;
    ring_.Clear();
    unheardQ_.clear();
    ++generation_;
    roomForReader_.notify_all();
    framesForSink_.notify_all();
}

void DrivePlay::FallBackToDrive(uint64_t generation) {
    // Nothing of this play has been heard (or the drive stopped delivering): the drive plays the
    // rest on its own, and every later play of this disc too.
    const std::lock_guard command(commandMutex_);
    int32_t from = 0;
    int32_t end = 0;
    {
        const std::lock_guard lock(mutex_);
        if (generation != generation_) {
            return; // a command came first: it decided what the drive does
        }
        Follow();
        from = model_.Head();
        end = model_.End();
        StopJob();
        model_.Stop();
        mode_ = Mode::Analog;
        stats_.analog = true;
        stats_.digital = false;
    }
    SendCommandBlock(below_.sendCommand, adapter_, target_,
                     PlayAudio12Cdb(static_cast<uint32_t>(from), static_cast<uint32_t>(end - from)),
                     {});
    WakeSink(false);
}

void DrivePlay::HandBack() {
    uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        if (mode_ != Mode::Digital || !job_.active) {
            return;
        }
        generation = generation_;
    }
    FallBackToDrive(generation);
}

void DrivePlay::WakeSink(bool make) {
    if (!makeSink_) {
        return;
    }
    const std::lock_guard sinkLock(sinkMutex_);
    if (!sink_ && make) {
        sink_ = makeSink_(*this);
    }
    if (sink_) {
        sink_->Wake();
    }
}

void DrivePlay::Append(std::span<const uint8_t> frames, std::span<const uint8_t> q,
                       uint32_t count) {
    ring_.Push(frames, count, [&](size_t i) {
        return Tag(job_.nextRead + static_cast<int32_t>(i),
                   q.empty() ? q : q.subspan(i * kFormattedQLength, kFormattedQLength));
    });
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
    if (job_.active) {
        // The next frame to be heard: taken by the sink and not heard yet, or still read ahead.
        for (const auto& [lba, q] : unheardQ_) {
            if (lba == head && q) {
                return q;
            }
        }
        if (ring_.Count() > 0 && job_.nextRead - static_cast<int32_t>(ring_.Count()) == head &&
            ring_.Front().q) {
            return ring_.Front().q;
        }
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
    return static_cast<size_t>(count) <= ring_.Room();
}

bool DrivePlay::ReaderWanted() {
    // The reader is woken once the buffer is down to half (or has room for a chunk, where a chunk
    // is more), or when the read speed is to go up: it then reads until the buffer is full, a few
    // chunks at a time, rather than one chunk for every few frames the sink takes.
    const bool faster = !job_.readerDone && speed_.BufferLevel(ring_.Count(), ring_.Capacity());
    const size_t refill = std::max<size_t>(settings_.chunkFrames, ring_.Capacity() / 2);
    return faster || (ring_.Room() >= refill && ReaderHasWork());
}

void DrivePlay::ReaderLoop() {
    const size_t chunkFrames = settings_.chunkFrames;
    std::vector<uint8_t> read(chunkFrames * (kCdFrameBytes + kFormattedQLength));
    std::vector<uint8_t> frames(chunkFrames * kCdFrameBytes);
    std::vector<uint8_t> q(chunkFrames * kFormattedQLength);
    std::unique_lock lock(mutex_);
    while (true) {
        roomForReader_.wait(lock, [this] { return quit_ || ReaderHasWork() || SpeedDue(); });
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
        const bool fallBack =
            outcome == ReadOutcome::Refused || (outcome == ReadOutcome::Failed && !discDelivered_);
        if (fallBack) {
            // The drive does not read this disc's audio (or its first reads failed): it may still
            // play it on its own.
            lock.unlock();
            FallBackToDrive(generation);
            lock.lock();
            continue;
        }
        switch (outcome) {
        case ReadOutcome::Ok:
            Append(frames, withQ ? std::span<const uint8_t>(q) : std::span<const uint8_t>(), count);
            job_.nextRead += static_cast<int32_t>(count);
            job_.failedInRow = 0;
            discDelivered_ = true;
            ++stats_.chunksRead;
            speed_.BufferLevel(ring_.Count(), ring_.Capacity());
            break;
        case ReadOutcome::QRefused:
            stats_.subChannel = false; // the chunk is read again without; positions from the TOC
            break;
        case ReadOutcome::DiscGone:
            ForgetDisc(); // the tray opened or another disc came: this play is over
            break;
        case ReadOutcome::NoDevice:
            model_.StopWithError(job_.run);
            StopJob();
            break;
        case ReadOutcome::Refused: // handed to the drive above
            break;
        case ReadOutcome::Failed:
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
        framesForSink_.notify_all();
        if (generation != generation_) {
            lock.unlock();
            WakeSink(false); // the play ended here: the sink drops what it holds
            lock.lock();
        }
    }
}

int64_t DrivePlay::HeardNow() const {
    auto unheard = static_cast<int64_t>(job_.unheard);
    if (job_.draining && unheard > 0) {
        // What the output held when it last said plays out at its pace meanwhile.
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - job_.unheardAt);
        unheard = std::max<int64_t>(unheard - FramesInMs(since.count()), 0);
    }
    return job_.taken - unheard;
}

void DrivePlay::Follow() {
    if (!job_.active) {
        return;
    }
    const int64_t heard = HeardNow();
    if (heard > job_.heard) {
        job_.heard = heard;
        model_.AdvanceTo(job_.run, heard); // heard: the position moves
    }
    // The frames before the head are heard: the last of them is where the Q was last heard.
    const int32_t head = model_.Head();
    while (!unheardQ_.empty() && unheardQ_.front().first < head) {
        const auto& [lba, q] = unheardQ_.front();
        lastHeardQ_.reset();
        if (q) {
            lastHeardQ_ = HeardQ{lba, *q};
        }
        unheardQ_.pop_front();
    }
    if (job_.stopByError && job_.readerDone && ring_.Count() == 0 && job_.heard == job_.taken) {
        model_.StopWithError(job_.run); // too many bad chunks in a row, and the rest is heard
    }
}

uint64_t DrivePlay::Play() const {
    const std::lock_guard lock(mutex_);
    return mode_ == Mode::Digital && job_.active ? generation_ : 0;
}

size_t DrivePlay::Take(uint64_t play, std::span<uint8_t> frames, std::chrono::milliseconds wait) {
    const size_t wanted = frames.size() / kCdFrameBytes;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    size_t taken = 0;
    bool wakeReader = false;
    while (play == generation_ && job_.active && mode_ == Mode::Digital) {
        int32_t lba = job_.nextRead - static_cast<int32_t>(ring_.Count());
        const size_t count = ring_.Pop(frames.subspan(taken * kCdFrameBytes),
                                       [&](std::span<uint8_t> frame, const FrameTag& tag) {
                                           stage_.Process(frame, tag.emphasised);
                                           unheardQ_.emplace_back(lba++, tag.q);
                                       });
        if (count > 0) {
            taken += count;
            job_.taken += static_cast<int64_t>(count);
            wakeReader = wakeReader || ReaderWanted();
        }
        const bool noMore = ring_.Count() == 0 && job_.readerDone;
        if (taken == wanted || wait.count() <= 0 || noMore) {
            break;
        }
        if (wakeReader) {
            roomForReader_.notify_all(); // it is to fill what this sink waits for
            wakeReader = false;
        }
        if (framesForSink_.wait_until(lock, deadline) == std::cv_status::timeout) {
            wait = std::chrono::milliseconds(0); // one more look, then give up
        }
    }
    lock.unlock();
    if (wakeReader) {
        roomForReader_.notify_all();
    }
    return taken;
}

void DrivePlay::Heard(uint64_t play, size_t unheard, bool draining) {
    const std::lock_guard lock(mutex_);
    if (play != generation_ || !job_.active) {
        return; // a report on a play that is gone
    }
    job_.unheard = std::min(unheard, static_cast<size_t>(job_.taken));
    job_.unheardAt = std::chrono::steady_clock::now();
    job_.draining = draining;
    Follow();
    const bool ended = model_.Run() != job_.run || model_.State() != PlayModel::Audio::Playing;
    if (ended && job_.unheard == 0) {
        // The play reached its end (or stopped by an error), and all is heard: the reader may now
        // give the drive its fastest speed back.
        job_.active = false;
        unheardQ_.clear();
        roomForReader_.notify_all();
    }
}

} // namespace audio
