// The first reading of a cue sheet: every line checked, with its number, before libcue sees the
// sheet. It keeps what libcue 2.2.1 cannot report (the track numbers as written, the file each
// INDEX lies in, PREGAP apart from INDEX 00) and writes the sheet again in the plain form libcue
// reads reliably (keywords in upper case, values quoted, one line for each line of the sheet).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdrive {

inline constexpr int kMaxTracks = 99;

struct CueIndex {
    int number = 1;
    int32_t frames = 0; // offset within its file
    size_t file = 0;    // into CueOutline::files
    int line = 0;
};

struct CueTrack {
    int number = 1;
    int line = 0;
    std::string type;        // AUDIO, MODE1/2352, ...
    uint32_t sectorSize = 0; // bytes a frame takes in a raw file
    bool data = false;
    int32_t pregap = 0;            // PREGAP: silence that is not in any file
    int32_t postgap = 0;           // POSTGAP
    std::vector<CueIndex> indexes; // numbered 0 or 1, then up by one
    std::string isrc;              // as the Q sub-channel carries it; "": none (or not one)
    int titleLine = 0;             // lines of the texts, for messages about them; 0: none
    int performerLine = 0;
    int songwriterLine = 0;

    const CueIndex* Index(int indexNumber) const;
};

struct CueFile {
    std::string name; // as written, UTF-8
    std::string type; // BINARY, MOTOROLA, WAVE, AIFF, MP3, FLAC
    int line = 0;
};

struct CueOutline {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    std::string cdTextFile;
    int cdTextFileLine = 0;
    std::string catalog; // the catalogue number (13 digits); "": none (or not one)
    int titleLine = 0;
    int performerLine = 0;
    int songwriterLine = 0;
    std::string libcueText; // the sheet as libcue gets it
};

struct CueProblem {
    int line = 0; // 0 when no single line is to blame
    std::string message;
};

// `text` is the whole sheet in UTF-8.
bool ReadCueOutline(std::string_view text, CueOutline& outline, CueProblem& problem);

// Quoted values reach libcue with '"' escaped by a backslash and '\' carried as a control byte
// (libcue knows no escaped backslash); libcue hands them back as they stand, and this undoes them.
std::string UnescapeCueText(std::string_view text);

// "mm:ss:ff" for messages.
std::string FormatCueTime(int32_t frames);

} // namespace vdrive
