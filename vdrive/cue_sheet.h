// Loads a cue sheet and the files it names into a disc image: the table of contents from the
// file lengths and INDEX times, the CD-Text from a CDTEXTFILE or the sheet's own texts.
#pragma once

#include "vdrive/disc_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vdrive {

struct CueLoadOptions {
    // 0, the default: every file the sheet names must be there, because where each track
    // starts and where the disc ends depends on the lengths of the files before it and of the
    // last one. Above 0: a file that cannot be found is taken to end this many frames after
    // its last INDEX (its last track gets this length), and a CD-Text file that cannot be found
    // gives way to the sheet's own texts. Each such file is listed in CueLoadReport::assumed.
    int32_t missingFileTailFrames = 0;
};

struct CueLoadReport {
    std::vector<std::string> assumed; // file names as the sheet writes them
};

// On failure `disc` is left as it was and `error` reads "sheet:line: problem" (or
// "sheet: problem" when no single line is to blame). Safe to call from several threads.
bool LoadCueSheet(const std::string& path, DiscImage& disc, std::string& error);
bool LoadCueSheet(const std::string& path, const CueLoadOptions& options, DiscImage& disc,
                  std::string& error, CueLoadReport* report = nullptr);

} // namespace vdrive
