// Where the virtual drive takes its time from: the steady clock in the program, a clock that a
// test moves by hand. Play positions are computed from it, so a test never waits. Both may be read
// from several threads while a test moves its clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace vdrive {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowMs() const = 0; // milliseconds since an arbitrary start; never goes back
};

class SteadyClock final : public Clock {
public:
    int64_t NowMs() const override;
};

// The one steady clock that buses use unless they are given another.
Clock& DefaultClock();

class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 0) : now_(startMs) {}
    int64_t NowMs() const override { return now_.load(); }
    // A negative step is ignored: the drives rely on time never running backwards.
    void Advance(int64_t ms) {
        if (ms > 0) {
            now_ += ms;
        }
    }

private:
    std::atomic<int64_t> now_;
};

} // namespace vdrive
