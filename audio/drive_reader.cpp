// The engine of one drive's digital play: the reader thread that keeps the buffer ahead of the
// sink with READ CD, and the feed the sink takes from. A job is one run of the play model; any
// jump starts or stops a job, which drops what was read for the one before.
#include "audio/drive_play.h"

#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"
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
    ringFirst_ = 0;
    ringCount_ = 0;
    ++generation_;
    if (!reader_.joinable()) {
        ring_.assign(size_t{settings_.bufferFrames} * kCdFrameBytes, 0);
        reader_ = std::thread([this] { ReaderLoop(); });
    }
    changed_.notify_all();
}

void DrivePlay::StopJob() {
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

void DrivePlay::Append(std::span<const uint8_t> frames, uint32_t count) {
    const size_t capacity = settings_.bufferFrames;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* slot = ring_.data() + (ringFirst_ + ringCount_) % capacity * kCdFrameBytes;
        if (frames.empty()) {
            std::memset(slot, 0, kCdFrameBytes);
        } else {
            std::memcpy(slot, frames.data() + size_t{i} * kCdFrameBytes, kCdFrameBytes);
        }
        ++ringCount_;
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
    return ringCount_ + static_cast<size_t>(count) <= settings_.bufferFrames;
}

void DrivePlay::ReaderLoop() {
    std::vector<uint8_t> chunk(size_t{settings_.chunkFrames} * kCdFrameBytes);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return quit_ || ReaderHasWork(); });
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
        switch (outcome) {
        case ReadOutcome::Ok:
            Append(chunk, count);
            job_.nextRead += static_cast<int32_t>(count);
            job_.failedInRow = 0;
            discDelivered_ = true;
            ++stats_.chunksRead;
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
            Append({}, count);
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
            std::memcpy(frames.data() + (taken + i) * kCdFrameBytes,
                        ring_.data() + (ringFirst_ + i) % capacity * kCdFrameBytes, kCdFrameBytes);
        }
        if (count > 0) {
            ringFirst_ = (ringFirst_ + count) % capacity;
            ringCount_ -= count;
            taken += count;
            job_.taken += static_cast<int64_t>(count);
            model_.AdvanceTo(job_.run, job_.taken); // heard: the position moves
            if (ReaderHasWork()) {
                // Room for a whole chunk: only then is the reader woken, not for every frame
                // a sink takes.
                changed_.notify_all();
            }
        }
        if (model_.State() != PlayModel::Audio::Playing || model_.Run() != job_.run) {
            job_.active = false; // the play reached its end
            break;
        }
        if (ringCount_ == 0 && job_.readerDone) {
            if (job_.stopByError) {
                model_.StopWithError(job_.run); // too many bad chunks in a row
            }
            job_.active = false;
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
