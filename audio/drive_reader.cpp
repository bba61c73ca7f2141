// The engine of one drive's digital play: the reader thread that keeps the buffer ahead of the
// sink with READ CD, and the feed the sink takes from and reports to. A job is one run of the play
// model; any jump starts or stops a job, which drops what was read for the one before.
#include "audio/drive_play.h"

#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"
#include "drive/msf.h"
#include "drive/srb.h"

#include <algorithm>
#include <cstring>

namespace audio {

using playback::PlayModel;

void DrivePlay::StartJob() {
    job_ = Job{};
    job_.active = true;
    job_.run = model_.Run();
    job_.nextRead = model_.RunStart();
    job_.end = model_.End();
    ring_.Clear();
    ++generation_;
    if (!reader_.joinable()) {
        reader_ = std::thread([this] { ReaderLoop(); });
    }
    roomForReader_.notify_all();
    framesForSink_.notify_all();
}

void DrivePlay::StopJob() {
    job_.active = false;
    ring_.Clear();
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

DrivePlay::ReadOutcome DrivePlay::ReadChunk(int32_t lba, uint32_t count, std::span<uint8_t> into) {
    const Cdb12 readCd = ReadCdCdb(static_cast<uint32_t>(lba), count);
    const std::span<uint8_t> frames = into.first(size_t{count} * kCdFrameBytes);
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

void DrivePlay::WakeReaderIfRoom() {
    // The reader is woken once the buffer is down to half (or has room for a chunk, where a chunk
    // is more): it then reads until the buffer is full, a few chunks at a time, rather than one
    // chunk for every few frames the sink takes.
    const size_t refill = std::max<size_t>(settings_.chunkFrames, ring_.Capacity() / 2);
    if (ring_.Room() >= refill && ReaderHasWork()) {
        roomForReader_.notify_all();
    }
}

void DrivePlay::ReaderLoop() {
    std::vector<uint8_t> chunk(size_t{settings_.chunkFrames} * kCdFrameBytes);
    std::unique_lock lock(mutex_);
    while (true) {
        roomForReader_.wait(lock, [this] { return quit_ || ReaderHasWork(); });
        if (quit_) {
            return;
        }
        const uint64_t generation = generation_;
        const int32_t lba = job_.nextRead;
        const auto count = static_cast<uint32_t>(
            std::min<int64_t>(settings_.chunkFrames, job_.end - job_.nextRead));
        lock.unlock();
        const ReadOutcome outcome = ReadChunk(lba, count, chunk);
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
            ring_.Push(chunk, count);
            job_.nextRead += static_cast<int32_t>(count);
            job_.failedInRow = 0;
            discDelivered_ = true;
            ++stats_.chunksRead;
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
            ring_.Push({}, count);
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
    while (play == generation_ && job_.active && mode_ == Mode::Digital) {
        const size_t count = ring_.Pop(frames.subspan(taken * kCdFrameBytes));
        if (count > 0) {
            taken += count;
            job_.taken += static_cast<int64_t>(count);
            WakeReaderIfRoom();
        }
        const bool noMore = ring_.Count() == 0 && job_.readerDone;
        if (taken == wanted || wait.count() <= 0 || noMore) {
            break;
        }
        if (framesForSink_.wait_until(lock, deadline) == std::cv_status::timeout) {
            wait = std::chrono::milliseconds(0); // one more look, then give up
        }
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
        job_.active = false; // the play reached its end (or stopped by an error), and all is heard
    }
}

} // namespace audio
