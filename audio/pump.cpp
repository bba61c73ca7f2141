// The pump: one loop for every output of the digital play.
#include "audio/pump.h"

#include "drive/msf.h"

#include <algorithm>
#include <utility>

namespace audio {

Pump::Pump(PumpSettings settings) : settings_(std::move(settings)) {}

Pump::~Pump() {
    std::unique_lock lock(mutex_);
    DestroyGone(lock, true); // a pump without a thread: its channels go on the caller's
}

int64_t Pump::Now() const {
    if (settings_.nowMs) {
        return settings_.nowMs();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Pump::Slot* Pump::Find(ChannelId channel) {
    const auto found = std::find_if(slots_.begin(), slots_.end(),
                                    [channel](const Slot& slot) { return slot.id == channel; });
    return found == slots_.end() ? nullptr : &*found;
}

// ---- from any thread ----------------------------------------------------------------------

Pump::ChannelId Pump::AddChannel(std::unique_ptr<PumpChannel> channel) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !passing_; });
    Slot& slot = slots_.emplace_back();
    slot.id = ++lastId_;
    slot.channel = std::move(channel);
    return slot.id;
}

void Pump::RemoveChannel(ChannelId channel) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !passing_; });
    Slot* slot = Find(channel);
    if (!slot) {
        return;
    }
    slot->feeds.clear();
    slot->gone = true;
    if (settings_.ownThread && !ended_) {
        // Its thread destroys it.
        changed_.notify_all();
        changed_.wait(lock, [this, channel] { return !Find(channel); });
        return;
    }
    DestroyGone(lock, false);
}

void Pump::AddFeed(ChannelId channel, PcmFeed& feed) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !passing_; });
    if (Slot* slot = Find(channel)) {
        slot->feeds.push_back(Fed{&feed, 0});
    }
}

void Pump::RemoveFeed(ChannelId channel, PcmFeed& feed) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !passing_; });
    if (Slot* slot = Find(channel)) {
        std::erase_if(slot->feeds, [&feed](const Fed& fed) { return fed.feed == &feed; });
    }
}

void Pump::Wake(ChannelId channel) {
    const int64_t now = Now();
    {
        const std::lock_guard lock(mutex_);
        Slot* slot = Find(channel);
        if (!slot) {
            return;
        }
        slot->woken = true;
        slot->wokenAtMs = now;
        wakeful_ = true;
    }
    changed_.notify_all();
}

void Pump::Quit() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
}

void Pump::Call(std::function<void()> call) {
    std::unique_lock lock(mutex_);
    if (ended_) {
        return;
    }
    if (!settings_.ownThread) {
        lock.unlock();
        call();
        return;
    }
    const uint64_t ticket = ++callsAsked_;
    calls_.push_back(std::move(call));
    changed_.notify_all();
    changed_.wait(lock, [&] { return callsRun_ >= ticket || ended_; });
}

// ---- the pump's thread --------------------------------------------------------------------

bool Pump::HasWork() const {
    return quit_ || wakeful_ || !calls_.empty() ||
           std::any_of(slots_.begin(), slots_.end(), [](const Slot& slot) { return slot.gone; });
}

std::optional<int64_t> Pump::NextPassMs() const {
    std::optional<int64_t> next;
    for (const Slot& slot : slots_) {
        if (slot.nextPassMs && (!next || *slot.nextPassMs < *next)) {
            next = slot.nextPassMs;
        }
    }
    return next;
}

void Pump::DestroyGone(std::unique_lock<std::mutex>& lock, bool all) {
    for (auto at = slots_.begin(); at != slots_.end();) {
        if (!at->gone && !all) {
            ++at;
            continue;
        }
        std::unique_ptr<PumpChannel> channel = std::move(at->channel);
        at = slots_.erase(at);
        lock.unlock();
        channel.reset();
        lock.lock();
    }
    changed_.notify_all();
}

void Pump::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        DestroyGone(lock, quit_);
        if (quit_) {
            break;
        }
        if (!calls_.empty()) {
            std::vector<std::function<void()>> calls = std::move(calls_);
            calls_.clear();
            lock.unlock();
            for (const auto& call : calls) {
                call();
            }
            lock.lock();
            callsRun_ += calls.size();
            changed_.notify_all();
            continue;
        }
        const std::optional<int64_t> next = NextPassMs();
        if (!next) {
            changed_.wait(lock, [this] { return HasWork(); });
        } else if (!HasWork()) {
            const auto wait = std::chrono::milliseconds(std::max<int64_t>(*next - Now(), 0));
            changed_.wait_for(lock, wait, [this] { return HasWork(); });
        }
        if (quit_ || !calls_.empty() ||
            std::any_of(slots_.begin(), slots_.end(), [](const Slot& slot) { return slot.gone; })) {
            continue;
        }
        if (wakeful_ || (next && Now() >= *next)) {
            PassLocked(lock);
        }
    }
    ended_ = true;
    changed_.notify_all();
}

size_t Pump::Pass() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !passing_; });
    return PassLocked(lock);
}

size_t Pump::PassLocked(std::unique_lock<std::mutex>& lock) {
    passing_ = true;
    wakeful_ = false;
    std::vector<Woken> woken;
    for (Slot& slot : slots_) {
        woken.push_back(Woken{&slot, std::exchange(slot.woken, false), slot.wokenAtMs});
    }
    lock.unlock();
    if (settings_.beforePass) {
        settings_.beforePass();
    }
    size_t written = 0;
    for (const Woken& each : woken) {
        written += Serve(*each.slot, each.woken, each.atMs, Now());
    }
    lock.lock();
    passing_ = false;
    changed_.notify_all();
    return written;
}

size_t Pump::Serve(Slot& slot, bool woken, int64_t wokenAtMs, int64_t now) {
    bool playing = false;
    bool begins = false;
    for (Fed& fed : slot.feeds) {
        const uint64_t play = fed.feed->Play();
        begins = begins || (play != 0 && play != fed.play);
        playing = playing || play != 0;
        fed.play = play;
    }
    PumpChannel& channel = *slot.channel;
    if (!playing) {
        if (slot.started) {
            channel.Stop(); // what it holds is dropped: a pause or a stop is heard at once
            slot.started = false;
        }
        slot.nextPassMs.reset();
        return 0;
    }
    if (begins || !slot.started) {
        channel.Start();
        slot.started = true;
        slot.pacing = Pacing::Undecided;
        slot.anchorMs = woken ? std::min(wokenAtMs, now) : now; // the play began when it woke us
        slot.framesSinceAnchor = 0;
        slot.unheard = 0;
        slot.draining = false;
    }

    // What is due now: the device's room, or the clock's frames.
    const std::optional<size_t> room = channel.Room();
    int64_t due = 0;
    int64_t clockFrames = 0;
    if (room) {
        slot.pacing = Pacing::Device;
        due = static_cast<int64_t>(*room);
    } else {
        if (slot.pacing == Pacing::Device) {
            // The device failed: the play goes on unheard at its pace, and what the device held
            // plays out first, from when it last said how much that was if it was playing it
            // then (the position has moved on at that pace since; it does not stand still for as
            // long as the failure took to be found).
            slot.anchorMs = slot.draining ? slot.unheardAtMs : now;
            slot.framesSinceAnchor = static_cast<int64_t>(slot.unheard);
        }
        slot.pacing = Pacing::Clock;
        clockFrames = FramesInMs(std::max<int64_t>(now - slot.anchorMs, 0));
        due = clockFrames - slot.framesSinceAnchor;
        if (settings_.mostFramesAtOnce > 0 && due > settings_.mostFramesAtOnce) {
            slot.framesSinceAnchor += due - settings_.mostFramesAtOnce; // skipped, not owed
            due = settings_.mostFramesAtOnce;
        }
        due = std::max<int64_t>(due, 0);
    }

    const size_t taken = TakeAndMix(slot, static_cast<size_t>(due));
    if (taken > 0) {
        channel.Write(std::span<const uint8_t>(mixed_).first(taken * kCdFrameBytes));
    }

    bool draining = true;
    if (slot.pacing == Pacing::Clock) {
        slot.framesSinceAnchor += due; // a reader that fell behind leaves a gap, never a debt
        slot.unheard =
            static_cast<size_t>(std::max<int64_t>(slot.framesSinceAnchor - clockFrames, 0));
        slot.nextPassMs = now + channel.Interval().count();
    } else {
        slot.unheard = channel.Unheard();
        draining = channel.Draining();
        slot.unheardAtMs = now;
        slot.draining = draining;
        slot.nextPassMs = now + Rest(channel, slot.unheard, draining).count();
    }
    for (const Fed& fed : slot.feeds) {
        if (fed.play != 0) {
            fed.feed->Heard(fed.play, slot.unheard, draining);
        }
    }
    return taken;
}

std::chrono::milliseconds Pump::Rest(PumpChannel& channel, size_t unheard, bool draining) {
    if (!draining) {
        return kRefill;
    }
    const auto left =
        std::chrono::milliseconds(int64_t{1000} * static_cast<int64_t>(unheard) / kFramesPerSecond);
    return std::clamp(left - kMargin, kRefill, std::max(channel.Interval(), kRefill));
}

size_t Pump::TakeAndMix(Slot& slot, size_t due) {
    if (due == 0) {
        return 0;
    }
    frames_.resize(due * kCdFrameBytes);
    size_t longest = 0;
    int sources = 0;
    for (const Fed& fed : slot.feeds) {
        if (fed.play == 0) {
            continue;
        }
        const size_t taken = fed.feed->Take(fed.play, frames_, settings_.patience);
        if (taken == 0) {
            continue;
        }
        const std::span<const uint8_t> got =
            std::span<const uint8_t>(frames_).first(taken * kCdFrameBytes);
        if (++sources == 1) {
            mixed_.assign(got.begin(), got.end()); // one feed: as it is
            longest = taken;
            continue;
        }
        if (sources == 2) {
            sum_.assign(due * kCdFrameBytes / 2, 0);
            for (size_t i = 0; i + 1 < longest * kCdFrameBytes; i += 2) {
                sum_[i / 2] = static_cast<int16_t>(mixed_[i] | mixed_[i + 1] << 8);
            }
        }
        for (size_t i = 0; i + 1 < got.size(); i += 2) {
            sum_[i / 2] += static_cast<int16_t>(got[i] | got[i + 1] << 8);
        }
        longest = std::max(longest, taken);
    }
    if (sources > 1) {
        mixed_.resize(longest * kCdFrameBytes);
        for (size_t i = 0; i < mixed_.size() / 2; ++i) {
            const int32_t sample = std::clamp(sum_[i], -32768, 32767);
            mixed_[2 * i] = static_cast<uint8_t>(sample);
            mixed_[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
        }
    }
    return longest;
}

} // namespace audio
