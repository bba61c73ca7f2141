// The steady clock of the program.
#include "vdrive/clock.h"

#include <chrono>

namespace vdrive {

int64_t SteadyClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Clock& DefaultClock() {
    static SteadyClock clock;
    return clock;
}

} // namespace vdrive
