// The one paced output of the digital play. A pump moves the PCM of the drives that play (their
// PcmFeeds, audio/audio_sink.h) into the channels where it is heard: a stream of the sound card,
// the WAV file, a test's recording, a waveOut device. It sleeps until a channel is due for more or
// is woken (a play started, stopped or jumped), takes what is due from the channel's feeds, mixes
// them when several play at once, writes the mix, and tells each feed how much of what it gave is
// not heard yet, so that a play's position is what has been heard.
//
// What is due:
// - A channel with a device (Room() gives a number: a sound server's free buffer) gets as much as
//   it has room for. Once it is full and playing, the pump comes back when the device is down to
//   kMargin, after its Interval() at most; while it is not playing yet (a play just began, the
//   reader is behind), after kRefill.
// - A channel without one (Room() gives nothing: a file, a test's recording, a device that failed)
//   gets what the pump's clock says: 75 frames a second since its play began (FramesInMs), in whole
//   frames, at most mostFramesAtOnce after a stall, every Interval(). A device that fails mid-play
//   goes on by the clock, and what it held counts as playing out unheard at that pace from when
//   it last said how much it held.
// - A play that begins (a feed's Play() changes) starts the channel again, which drops what it
//   holds of the play before: a jump is heard at once. When no feed plays, the channel stops.
//
// An output plugs in by implementing PumpChannel and running a pump (a waveOut device would do the
// same as the sound card's streams):
//
//     audio::Pump pump;                                       // steady clock, a second at most
//     std::thread thread([&pump] { pump.Run(); });            // or a QThread: any thread will do
//     const audio::Pump::ChannelId channel = pump.AddChannel(std::make_unique<WaveOut>());
//     pump.AddFeed(channel, feed);     // in the AudioSink's constructor
//     pump.Wake(channel);              // in AudioSink::Wake
//     pump.RemoveFeed(channel, feed);  // in its destructor: the feed is not used after this
//     pump.RemoveChannel(channel);     // destroyed on the pump's thread
//     pump.Quit();                     // and every channel left with it
//     thread.join();
//
// A test's pump has no thread: Pass() takes what is due by a clock the test moves.
//
// Threads and locks: channels are started, written, asked and destroyed only on the pump's thread
// (the one in Run, or the one calling Pass), one pass at a time. mutex_ is the last lock taken:
// nothing else is locked while it is held, and feeds and channels are called without it, so a feed
// may hold a lock of its own while it wakes the pump, and take it again when the pump takes from
// it.
#pragma once

#include "audio/audio_sink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace audio {

// Where a pump's PCM is heard. Every call comes from the pump's thread, its destruction too.
class PumpChannel {
public:
    virtual ~PumpChannel() = default;
    // A play begins (or resumes, or jumps): drop whatever is held of the one before, and be ready
    // (open the device).
    virtual void Start() = 0;
    // No play any more (a pause, a stop, an eject, the end): drop what is held.
    virtual void Stop() = 0;
    // How many frames the device takes now; nothing when there is no device to say so (then the
    // pump's clock says what is due).
    virtual std::optional<size_t> Room() = 0;
    // Whole frames to be heard next, at most what is due (a device that failed drops them).
    virtual void Write(std::span<const uint8_t> frames) = 0;
    // Of the frames written since Start, how many the device has not played yet (its queue and its
    // latency); asked only while Room() gives a number.
    virtual size_t Unheard() = 0;
    // Whether those frames are playing out now, 75 a second (not before the device has begun).
    virtual bool Draining() = 0;
    // How long the pump may leave the channel alone while it plays and is full: a fraction of the
    // device's buffer, or the pace at which a clock's frames are written.
    virtual std::chrono::milliseconds Interval() = 0;
};

struct PumpSettings {
    // Whether the pump runs Run() on a thread of its own (its owner starts it): then Call and
    // RemoveChannel hand their work to that thread. Without one, Pass() does the work.
    bool ownThread = true;
    // The pump's clock, in milliseconds; the steady clock when empty.
    std::function<int64_t()> nowMs;
    // A channel paced by the clock takes no more than this at once after a stall (a suspended
    // machine): the rest is skipped, as a sound card would. 0: everything that is due.
    int64_t mostFramesAtOnce = 75;
    // How long a pass waits for a feed's reader to have what is due (only a test's clock waits).
    std::chrono::milliseconds patience{0};
    // Run on the pump's thread before each pass (the sound card delivers Qt's own events there).
    std::function<void()> beforePass;
};

class Pump {
public:
    using ChannelId = uint64_t;
    // While a device fills after a play began or is left short, the pump comes back this soon.
    static constexpr std::chrono::milliseconds kRefill{20};
    // A device that plays is topped up while it still holds this much: a late wake-up (a busy
    // machine) still finds sound queued.
    static constexpr std::chrono::milliseconds kMargin{300};

    explicit Pump(PumpSettings settings = {});
    ~Pump(); // after Quit and the end of Run, or for a pump without a thread
    Pump(const Pump&) = delete;
    Pump& operator=(const Pump&) = delete;

    // The pump's loop, on the thread its channels belong to; returns after Quit, having destroyed
    // every channel there.
    void Run();
    void Quit();
    // For a pump without a thread: one pass on the caller's thread, taking what is due now;
    // returns how many frames it wrote.
    size_t Pass();
    // Runs `call` on the pump's thread (the caller's, without one) and returns once it has run, or
    // once the loop has ended without running it.
    void Call(std::function<void()> call);

    ChannelId AddChannel(std::unique_ptr<PumpChannel> channel);
    // Returns once the channel is destroyed (on the pump's thread) and its feeds are no longer
    // used.
    void RemoveChannel(ChannelId channel);
    void AddFeed(ChannelId channel, PcmFeed& feed);
    // Returns once the pump no longer uses the feed.
    void RemoveFeed(ChannelId channel, PcmFeed& feed);
    // A play of one of the channel's feeds started, stopped or jumped: the pump looks now. Called
    // from any thread; never waits for a pass.
    void Wake(ChannelId channel);

private:
    enum class Pacing { Undecided, Device, Clock };
    struct Fed {
        PcmFeed* feed = nullptr;
        uint64_t play = 0; // the play it made at the last pass
    };
    struct Slot {
        ChannelId id = 0;
        std::unique_ptr<PumpChannel> channel; // mutex_ (the pointer); the pump's thread (the rest)
        std::vector<Fed> feeds;               // mutex_, and changed only between passes
        bool woken = false;                   // mutex_
        int64_t wokenAtMs = 0;                // mutex_
        bool gone = false;                    // mutex_: destroy the channel on the pump's thread
        // The pass's own, touched only by the pass:
        bool started = false;
        Pacing pacing = Pacing::Undecided;
        int64_t anchorMs = 0;              // by the clock: when the play began
        int64_t framesSinceAnchor = 0;     // by the clock: frames due and written since then
        size_t unheard = 0;                // what the last pass found not heard yet
        int64_t unheardAtMs = 0;           // by the device: when, and whether it was playing
        bool draining = false;             // them out then
        std::optional<int64_t> nextPassMs; // when it is due again; nothing while it is idle
    };
    struct Woken {
        Slot* slot;
        bool woken;
        int64_t atMs;
    };

    int64_t Now() const;
    // How long a channel that plays may be left alone: while its device holds plenty, its
    // Interval(); as that runs out, until it is down to kMargin; before it plays, kRefill.
    static std::chrono::milliseconds Rest(PumpChannel& channel, size_t unheard, bool draining);
    Slot* Find(ChannelId channel); // mutex_
    bool HasWork() const;          // mutex_
    std::optional<int64_t> NextPassMs() const;
    // One pass over every channel; `lock` (held on entry and return) is released meanwhile.
    size_t PassLocked(std::unique_lock<std::mutex>& lock);
    size_t Serve(Slot& slot, bool woken, int64_t wokenAtMs, int64_t now);
    size_t TakeAndMix(Slot& slot, size_t due);
    void DestroyGone(std::unique_lock<std::mutex>& lock, bool all);

    const PumpSettings settings_;
    mutable std::mutex mutex_; // guards what the fields say; see the file's top
    std::condition_variable changed_;
    std::list<Slot> slots_;                    // mutex_
    ChannelId lastId_ = 0;                     // mutex_
    bool wakeful_ = false;                     // mutex_: a channel was woken since the last pass
    bool passing_ = false;                     // mutex_: a pass runs (lists are left alone)
    bool ended_ = false;                       // mutex_: Run has returned
    bool quit_ = false;                        // mutex_
    std::vector<std::function<void()>> calls_; // mutex_
    uint64_t callsAsked_ = 0;                  // mutex_
    uint64_t callsRun_ = 0;                    // mutex_
    // The pass's own buffers.
    std::vector<uint8_t> frames_;
    std::vector<uint8_t> mixed_;
    std::vector<int32_t> sum_;
};

} // namespace audio
