// The disc as the digital play layer learns it: its own READ TOC (format 0, LBA form) decoded into
// a layout. The answer comes from a drive and is not trusted.
#pragma once

#include "playback/disc_layout.h"

#include <cstdint>
#include <optional>
#include <span>

namespace playback {

// The layout a READ TOC format 0 answer in LBA form describes, or nothing when it describes no
// disc a play can use: a short or inconsistent answer, track numbers outside 1-99 or out of order,
// starts that do not increase, no lead-out after the last track.
std::optional<DiscLayout> DecodeToc(std::span<const uint8_t> answer);

bool SameLayout(const DiscLayout& a, const DiscLayout& b);

} // namespace playback
