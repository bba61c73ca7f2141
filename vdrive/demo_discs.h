// The discs the demo bus and the tests put into virtual drives: fixed data, no files needed.
#pragma once

#include "vdrive/disc_image.h"

namespace vdrive {

// An audio album of 12 tracks with CD-Text: an '&' in the album title and in one track title,
// a performer for every track but one.
DiscImage DemoCdTextDisc();

// A mixed-mode disc: a data track 1, then audio tracks 2-10; no CD-Text.
DiscImage DemoMixedDisc();

// A disc whose tracks are numbered from 3 (tracks 3-7), with CD-Text.
DiscImage DemoThirdTrackDisc();

} // namespace vdrive
