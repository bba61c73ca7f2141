// A ring of whole CD frames: what a drive's reader has read and its sink has not yet taken. It is
// not locked: its owner guards it. The storage is allocated at the first Push and touched only as
// it fills.
#pragma once

#include "audio/audio_sink.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace audio {

class FrameRing {
public:
    explicit FrameRing(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

    size_t Capacity() const { return capacity_; }
    size_t Count() const { return count_; }
    size_t Room() const { return capacity_ - count_; }
    void Clear() { first_ = count_ = 0; }

    // Appends `count` frames, at most Room(): those `frames` holds, or silence when it is empty.
    void Push(std::span<const uint8_t> frames, size_t count) {
        if (!storage_) {
            storage_.reset(new uint8_t[capacity_ * kCdFrameBytes]);
        }
        count = std::min(count, Room());
        for (size_t done = 0; done < count;) {
            const size_t at = (first_ + count_) % capacity_;
            const size_t run = std::min(count - done, capacity_ - at); // up to the storage's end
            uint8_t* into = storage_.get() + at * kCdFrameBytes;
            if (frames.empty()) {
                std::memset(into, 0, run * kCdFrameBytes);
            } else {
                std::memcpy(into, frames.data() + done * kCdFrameBytes, run * kCdFrameBytes);
            }
            done += run;
            count_ += run;
        }
    }

    // Moves the oldest frames out into `into`, as many whole frames as it holds and there are;
    // returns how many.
    size_t Pop(std::span<uint8_t> into) {
        const size_t count = std::min(into.size() / kCdFrameBytes, count_);
        for (size_t done = 0; done < count;) {
            const size_t run = std::min(count - done, capacity_ - first_);
            std::memcpy(into.data() + done * kCdFrameBytes, storage_.get() + first_ * kCdFrameBytes,
                        run * kCdFrameBytes);
            first_ = (first_ + run) % capacity_;
            count_ -= run;
            done += run;
        }
        return count;
    }

private:
    const size_t capacity_;              // in frames
    std::unique_ptr<uint8_t[]> storage_; // capacity_ frames, once anything was pushed
    size_t first_ = 0;                   // the oldest frame's slot
    size_t count_ = 0;
};

} // namespace audio
