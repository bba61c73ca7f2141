// The player window's two timers: the ids its timer handler knows them by, and their periods.
// Tests, fuzzers and benchmarks that stand in for the timers tick by these same periods.
#pragma once

inline constexpr int kPollTimerId = 1;      // the position poll
inline constexpr int kPollIntervalMs = 350; //   one tick is 26.25 frames of play
inline constexpr int kDiscTimerId = 2;      // the disc refresh
inline constexpr int kDiscIntervalMs = 500;
