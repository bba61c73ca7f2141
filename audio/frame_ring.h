// A ring of whole CD frames, each with a tag of the caller's (what the reader learnt of it): what
// a drive's reader has read and its sink has not yet taken. It is not locked: its owner guards it.
// The storage is allocated at the first Push and touched only as it fills.
#pragma once

#include "audio/audio_sink.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

namespace audio {

template <typename Tag> class FrameRing {
public:
    explicit FrameRing(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

    size_t Capacity() const { return capacity_; }
    size_t Count() const { return count_; }
    size_t Room() const { return capacity_ - count_; }
    void Clear() { first_ = count_ = 0; }

    // Appends `count` frames, at most Room(): those `frames` holds (as many as it holds), or
    // silence when it is empty; frame i gets the tag tagOf(i), asked in order.
    template <typename TagOf>
    void Push(std::span<const uint8_t> frames, size_t count, TagOf&& tagOf) {
        if (!storage_) {
            storage_.reset(new uint8_t[capacity_ * kCdFrameBytes]);
            tags_.reset(new Tag[capacity_]);
        }
        count = std::min(count, Room());
        if (!frames.empty()) {
            count = std::min(count, frames.size() / kCdFrameBytes);
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t at = (first_ + count_) % capacity_;
            uint8_t* into = storage_.get() + at * kCdFrameBytes;
            if (frames.empty()) {
                std::memset(into, 0, kCdFrameBytes);
            } else {
                std::memcpy(into, frames.data() + i * kCdFrameBytes, kCdFrameBytes);
            }
            tags_[at] = tagOf(i);
            ++count_;
        }
    }

    // The oldest frame's tag; only while Count() is not 0.
    const Tag& Front() const { return tags_[first_]; }

    // Moves the oldest frames out into `into`, as many whole frames as it holds and there are,
    // calling each(frame, tag) for every frame moved, oldest first; returns how many.
    template <typename Each> size_t Pop(std::span<uint8_t> into, Each&& each) {
        const size_t count = std::min(into.size() / kCdFrameBytes, count_);
        for (size_t i = 0; i < count; ++i) {
            const std::span<uint8_t> frame = into.subspan(i * kCdFrameBytes, kCdFrameBytes);
            std::memcpy(frame.data(), storage_.get() + first_ * kCdFrameBytes, kCdFrameBytes);
            each(frame, std::as_const(tags_[first_]));
            first_ = (first_ + 1) % capacity_;
            --count_;
        }
        return count;
    }

private:
    const size_t capacity_;              // in frames
    std::unique_ptr<uint8_t[]> storage_; // capacity_ frames, once anything was pushed
    std::unique_ptr<Tag[]> tags_;        // one for each slot of storage_
    size_t first_ = 0;                   // the oldest frame's slot
    size_t count_ = 0;
};

} // namespace audio
