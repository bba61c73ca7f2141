// Trackbar notification codes (TB_LINEUP ... TB_ENDTRACK): what a slider reports of the user's
// action with WM_HSCROLL, and what the player's OnHScroll takes.
#pragma once

inline constexpr int kTbLineUp = 0;        // one line toward the start
inline constexpr int kTbLineDown = 1;      // one line toward the end
inline constexpr int kTbPageUp = 2;        // one page toward the start
inline constexpr int kTbPageDown = 3;      // one page toward the end
inline constexpr int kTbThumbPosition = 4; // a drag of the thumb ended
inline constexpr int kTbThumbTrack = 5;    // the thumb is being dragged
inline constexpr int kTbTop = 6;           // moved to the start
inline constexpr int kTbBottom = 7;        // moved to the end
inline constexpr int kTbEndTrack = 8;      // the key or mouse button that moved it was released
