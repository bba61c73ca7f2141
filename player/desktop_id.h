// The name the desktop knows Discolo by: the desktop entry and the icon in the icon theme are
// installed under it (packaging/ names its files so), the window looks its icon up by it, and the
// media bus gives it as the entry to raise.
#pragma once

inline constexpr const char* kDesktopId = "org.discolo.Discolo";
