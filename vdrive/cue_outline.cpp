// Line-by-line reading of a cue sheet: checks each command where it stands, so that every fault
// names its line, and writes each line again in the form libcue reads.
#include "vdrive/cue_outline.h"

#include "drive/msf.h"
#include "playback/sub_q.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vdrive {
namespace {

constexpr char kLibcueBackslash = '\x01';

constexpr int kMaxIndex = 99;
constexpr int kMaxMinutes = 99;
constexpr size_t kMaxLibcueValue = 1023;

struct TrackType {
    std::string_view name;
    uint32_t sectorSize;
    bool data;
    std::string_view
        forLibcue; // libcue 2.2.1 lacks CDG, CDI/* and MODE2/2324: the mode is ours anyway
};

constexpr std::array<TrackType, 12> kTrackTypes = {{
    {"AUDIO", 2352, false, "AUDIO"},
    {"CDG", 2448, false, "AUDIO"},
    {"MODE1/2048", 2048, true, "MODE1/2048"},
    {"MODE1/2352", 2352, true, "MODE1/2352"},
    {"MODE2/2048", 2048, true, "MODE2/2048"},
    {"MODE2/2324", 2324, true, "MODE2/2336"},
    {"MODE2/2332", 2332, true, "MODE2/2332"},
    {"MODE2/2336", 2336, true, "MODE2/2336"},
    {"MODE2/2342", 2342, true, "MODE2/2342"},
    {"MODE2/2352", 2352, true, "MODE2/2352"},
    {"CDI/2336", 2336, true, "MODE2/2336"},
    {"CDI/2352", 2352, true, "MODE2/2352"},
}};

constexpr std::array<std::string_view, 6> kFileTypes = {"BINARY", "MOTOROLA", "AIFF",
                                                        "WAVE",   "MP3",      "FLAC"};
constexpr std::array<std::string_view, 4> kFlags = {"DCP", "4CH", "PRE", "SCMS"};

// Commands the disc image has no use for. They are checked for nothing and kept from libcue,
// which trips over harmless oddities in them.
constexpr std::array<std::string_view, 10> kIgnored = {
    "REM",   "COMPOSER",  "ARRANGER",  "MESSAGE", "DISC_ID",
    "GENRE", "TOC_INFO1", "TOC_INFO2", "UPC_EAN", "SIZE_INFO"};

template <size_t N> bool OneOf(const std::array<std::string_view, N>& list, std::string_view word) {
    for (const std::string_view entry : list) {
        if (entry == word) {
            return true;
        }
    }
    return false;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Takes the next word off the front of `rest`.
std::string_view NextWord(std::string_view& rest) {
    rest = Trim(rest);
    size_t end = 0;
    while (end < rest.size() && !IsSpace(rest[end])) {
        ++end;
    }
    const std::string_view word = rest.substr(0, end);
    rest = Trim(rest.substr(end));
    return word;
}

// A decimal number of any length; values past 999 come back as 1000 so that huge ones cannot
// wrap around into range.
bool ParseNumber(std::string_view s, int& value) {
    if (s.empty()) {
        return false;
    }
    value = 0;
    for (const char c : s) {
        if (!IsDigit(c)) {
            return false;
        }
        value = std::min(value * 10 + (c - '0'), 1000);
    }
    return true;
}

enum class TimeParse { kOk, kMalformed, kOutOfRange };

TimeParse ParseTime(std::string_view s, int32_t& frames) {
    std::array<int, 3> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t colon = i + 1 < parts.size() ? s.find(':') : s.size();
        if (colon == std::string_view::npos || !ParseNumber(s.substr(0, colon), parts[i])) {
            return TimeParse::kMalformed;
        }
        s.remove_prefix(std::min(s.size(), colon + 1));
    }
    if (parts[0] > kMaxMinutes || parts[1] > 59 || parts[2] >= kFramesPerSecond) {
        return TimeParse::kOutOfRange;
    }
    frames = MsfToFrames(parts[0], parts[1], parts[2]);
    return TimeParse::kOk;
}

// A value as libcue reads it between quotes. Its scanner takes backslash-quote as a quote inside
// the value but knows no escaped backslash, so a value ending in a backslash would run on past
// its closing quote: backslashes travel as kLibcueBackslash instead (a control byte that means
// nothing in a title or a path, so one in the sheet itself becomes '?').
std::string Escape(std::string_view s) {
    std::string out;
    for (const char c : s) {
        if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += kLibcueBackslash;
        } else if (c == kLibcueBackslash) {
            out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

// The text of TITLE and friends: what stands between the first and the last quote, so that
// quotes inside a title survive; without quotes, the rest of the line.
std::string_view TextValue(std::string_view rest) {
    rest = Trim(rest);
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        const size_t close = rest.rfind('"');
        if (close != std::string_view::npos) {
            rest = rest.substr(0, close);
        }
    }
    return rest;
}

std::string TwoDigits(int value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02d", value);
    return text.data();
}

class OutlineReader {
public:
    OutlineReader(CueOutline& outline, CueProblem& problem)
        : outline_(outline), problem_(problem) {}

    bool Line(int number, std::string_view line, std::string& forLibcue);
    bool Finish();

private:
    bool Fail(int line, std::string message) {
        problem_ = {line, std::move(message)};
        return false;
    }
    bool NeedTrack(std::string_view keyword) {
        if (outline_.tracks.empty()) {
            return Fail(line_, std::string(keyword) + " comes before any TRACK");
        }
        return true;
    }
    bool Time(std::string_view keyword, std::string_view word, int32_t& frames);
    bool CheckStarted(const CueTrack& track) {
        if (track.Index(1) == nullptr) {
            return Fail(track.line,
                        "track " + TwoDigits(track.number) + " has no INDEX 01 (its start)");
        }
        return true;
    }

    // A quoted value as libcue gets it; libcue keeps only the first 1023 bytes of a value.
    bool Quoted(std::string_view value, std::string& quoted) {
        const std::string escaped = Escape(value);
        if (escaped.size() > kMaxLibcueValue) {
            return Fail(line_, "the value is " + std::to_string(value.size()) +
                                   " bytes long, longer than the 1023 a sheet may hold");
        }
        quoted = "\"" + escaped + "\"";
        return true;
    }

    bool File(std::string_view rest, std::string& forLibcue);
    bool Track(std::string_view rest, std::string& forLibcue);
    bool Index(std::string_view rest, std::string& forLibcue);
    bool Flags(std::string_view rest, std::string& forLibcue);
    bool Text(const std::string& keyword, std::string_view rest, std::string& forLibcue);
    void Code(const std::string& keyword, std::string_view rest);

    CueOutline& outline_;
    CueProblem& problem_;
    int line_ = 0;
    int32_t lastFramesInFile_ = -1; // offset of the last INDEX 00 or 01 in the current file
};

bool OutlineReader::Time(std::string_view keyword, std::string_view word, int32_t& frames) {
    if (word.empty()) {
        return Fail(line_, std::string(keyword) + " needs a time mm:ss:ff");
    }
    switch (ParseTime(word, frames)) {
    case TimeParse::kMalformed:
        return Fail(line_, "time \"" + std::string(word) + "\" is not of the form mm:ss:ff");
    case TimeParse::kOutOfRange:
        return Fail(line_, "time " + std::string(word) +
                               " is out of range (minutes 0-99, seconds 0-59, frames 0-74)");
    case TimeParse::kOk:
        break;
    }
    return true;
}

bool OutlineReader::File(std::string_view rest, std::string& forLibcue) {
    CueFile file;
    file.line = line_;
    rest = Trim(rest);
    std::string_view type;
    if (!rest.empty() && rest.front() == '"') {
        const size_t close = rest.rfind('"');
        if (close == 0) {
            return Fail(line_, "the FILE name lacks its closing quote");
        }
        file.name = rest.substr(1, close - 1);
        type = Trim(rest.substr(close + 1));
    } else {
        size_t split = rest.size();
        while (split > 0 && !IsSpace(rest[split - 1])) {
            --split;
        }
        file.name = Trim(rest.substr(0, split));
        type = rest.substr(split);
        if (file.name.empty()) { // a single word: the name, without a type
            file.name = type;
            type = {};
        }
    }
    if (file.name.empty()) {
        return Fail(line_, "FILE needs a file name");
    }
    if (type.empty()) {
        return Fail(line_, "FILE needs a file type after the name (BINARY, WAVE, ...)");
    }
    file.type = Upper(type);
    if (!OneOf(kFileTypes, file.type)) {
        return Fail(line_, "unknown file type \"" + std::string(type) +
                               "\" (BINARY, MOTOROLA, WAVE, AIFF, MP3 or FLAC)");
    }
    std::string quoted;
    if (!Quoted(file.name, quoted)) {
        return false;
    }
    forLibcue = "FILE " + quoted + " " + file.type;
    outline_.files.push_back(std::move(file));
    lastFramesInFile_ = -1;
    return true;
}

bool OutlineReader::Track(std::string_view rest, std::string& forLibcue) {
    if (outline_.files.empty()) {
        return Fail(line_, "TRACK comes before any FILE");
    }
    if (!outline_.tracks.empty() && !CheckStarted(outline_.tracks.back())) {
        return false;
    }
    if (outline_.tracks.size() == kMaxTracks) {
        return Fail(line_, "more than 99 tracks");
    }
    const std::string_view numberWord = NextWord(rest);
    const std::string_view typeWord = NextWord(rest);
    CueTrack track;
    track.line = line_;
    if (numberWord.empty()) {
        return Fail(line_, "TRACK needs a track number");
    }
    if (!ParseNumber(numberWord, track.number)) {
        return Fail(line_, "track number \"" + std::string(numberWord) + "\" is not a number");
    }
    if (track.number < 1 || track.number > kMaxTracks) {
        return Fail(line_, "track number " + std::string(numberWord) + " is outside 1-99");
    }
    if (typeWord.empty()) {
        return Fail(line_, "TRACK needs a track type (AUDIO, MODE1/2352, ...)");
    }
    const std::string type = Upper(typeWord);
    const TrackType* known = nullptr;
    for (const TrackType& candidate : kTrackTypes) {
        if (candidate.name == type) {
            known = &candidate;
        }
    }
    if (known == nullptr) {
        return Fail(line_, type == "MODEX/2XXX"
                               ? "track type MODEx/2xxx stands for a data track that was not read"
                               : "unknown track type \"" + std::string(typeWord) + "\"");
    }
    if (!rest.empty()) {
        return Fail(line_, "unexpected \"" + std::string(rest) + "\" after the track type");
    }
    if (!outline_.tracks.empty() && track.number != outline_.tracks.back().number + 1) {
        return Fail(line_, "TRACK " + TwoDigits(track.number) + " follows TRACK " +
                               TwoDigits(outline_.tracks.back().number) +
                               ": track numbers must count up by one");
    }
    track.type = known->name;
    track.sectorSize = known->sectorSize;
    track.data = known->data;
    forLibcue = "TRACK " + TwoDigits(track.number) + " " + std::string(known->forLibcue);
    outline_.tracks.push_back(std::move(track));
    return true;
}

bool OutlineReader::Index(std::string_view rest, std::string& forLibcue) {
    if (!NeedTrack("INDEX")) {
        return false;
    }
    CueTrack& track = outline_.tracks.back();
    const std::string_view numberWord = NextWord(rest);
    const std::string_view timeWord = NextWord(rest);
    CueIndex index;
    index.line = line_;
    index.file = outline_.files.size() - 1;
    // libcue before 2.3.0 stores any index number it is given (CVE-2023-43641): only 0-99 pass.
    if (numberWord.empty()) {
        return Fail(line_, "INDEX needs an index number");
    }
    if (!ParseNumber(numberWord, index.number)) {
        return Fail(line_, "index number \"" + std::string(numberWord) + "\" is not a number");
    }
    if (index.number > kMaxIndex) {
        return Fail(line_, "index number " + std::string(numberWord) + " is outside 0-99");
    }
    if (track.indexes.empty() && index.number > 1) {
        return Fail(line_,
                    "the first INDEX of track " + TwoDigits(track.number) + " must be 00 or 01");
    }
    if (!track.indexes.empty() && index.number != track.indexes.back().number + 1) {
        return Fail(line_, "INDEX " + TwoDigits(index.number) + " follows INDEX " +
                               TwoDigits(track.indexes.back().number) +
                               ": index numbers must count up by one");
    }
    if (!Time("INDEX", timeWord, index.frames)) {
        return false;
    }
    if (!rest.empty()) {
        return Fail(line_, "unexpected \"" + std::string(rest) + "\" after the INDEX time");
    }
    // Pregaps and starts must follow one another in each file. Indexes 02-99 only mark places
    // inside a track and do not shape the disc: sheets in use put them out of order.
    if (index.number <= 1) {
        if (index.frames <= lastFramesInFile_) {
            return Fail(line_,
                        "INDEX " + TwoDigits(index.number) + " at " + std::string(timeWord) +
                            " does not come after the previous INDEX 00 or 01 in its file (" +
                            FormatCueTime(lastFramesInFile_) + ")");
        }
        lastFramesInFile_ = index.frames;
    }
    forLibcue = "INDEX " + TwoDigits(index.number) + " " + FormatCueTime(index.frames);
    track.indexes.push_back(index);
    return true;
}

bool OutlineReader::Flags(std::string_view rest, std::string& forLibcue) {
    if (!NeedTrack("FLAGS")) {
        return false;
    }
    std::string flags;
    for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
        const std::string flag = Upper(word);
        if (!OneOf(kFlags, flag)) {
            return Fail(line_,
                        "unknown flag \"" + std::string(word) + "\" (DCP, 4CH, PRE or SCMS)");
        }
        flags += " " + flag;
    }
    forLibcue = flags.empty() ? std::string() : "FLAGS" + flags;
    return true;
}

bool OutlineReader::Text(const std::string& keyword, std::string_view rest,
                         std::string& forLibcue) {
    const bool disc = outline_.tracks.empty();
    int& line = keyword == "TITLE" ? (disc ? outline_.titleLine : outline_.tracks.back().titleLine)
                : keyword == "PERFORMER"
                    ? (disc ? outline_.performerLine : outline_.tracks.back().performerLine)
                    : (disc ? outline_.songwriterLine : outline_.tracks.back().songwriterLine);
    line = line_;
    std::string quoted;
    if (!Quoted(TextValue(rest), quoted)) {
        return false;
    }
    forLibcue = keyword + " " + quoted;
    return true;
}

// CATALOG and ISRC go into the Q sub-channel and are kept from libcue, which loses the FILE after
// a CATALOG without a number. Sheets in use carry placeholders and malformed codes ("ISRC
// 000000000000", a CATALOG of ten digits): such a code is left out, and the sheet loads as ever.
void OutlineReader::Code(const std::string& keyword, std::string_view rest) {
    const std::string code = Upper(TextValue(rest));
    if (keyword == "CATALOG") {
        outline_.catalog = playback::IsCatalogNumber(code) ? code : "";
    } else if (!outline_.tracks.empty()) {
        outline_.tracks.back().isrc = playback::IsIsrc(code) ? code : "";
    }
}

bool OutlineReader::Line(int number, std::string_view line, std::string& forLibcue) {
    line_ = number;
    forLibcue.clear();
    if (line.find('\0') != std::string_view::npos) {
        return Fail(number, "the line holds a NUL character: is this a text file?");
    }
    std::string_view rest = line;
    const std::string_view word = NextWord(rest);
    if (word.empty()) {
        return true;
    }
    const std::string keyword = Upper(word);
    if (OneOf(kIgnored, keyword)) {
        return true;
    }
    if (keyword == "FILE") {
        return File(rest, forLibcue);
    }
    if (keyword == "TRACK") {
        return Track(rest, forLibcue);
    }
    if (keyword == "INDEX") {
        return Index(rest, forLibcue);
    }
    if (keyword == "FLAGS") {
        return Flags(rest, forLibcue);
    }
    if (keyword == "CATALOG" || keyword == "ISRC") {
        Code(keyword, rest);
        return true;
    }
    if (keyword == "PREGAP" || keyword == "POSTGAP") {
        int32_t frames = 0;
        if (!NeedTrack(keyword) || !Time(keyword, NextWord(rest), frames)) {
            return false;
        }
        (keyword == "PREGAP" ? outline_.tracks.back().pregap : outline_.tracks.back().postgap) =
            frames;
        forLibcue = keyword + " " + FormatCueTime(frames);
        return true;
    }
    if (keyword == "TITLE" || keyword == "PERFORMER" || keyword == "SONGWRITER") {
        return Text(keyword, rest, forLibcue);
    }
    if (keyword == "CDTEXTFILE") {
        if (!outline_.tracks.empty()) {
            return Fail(number, "CDTEXTFILE belongs before the first TRACK");
        }
        outline_.cdTextFile = TextValue(rest);
        outline_.cdTextFileLine = number;
        if (outline_.cdTextFile.empty()) {
            return Fail(number, "CDTEXTFILE needs a file name");
        }
        std::string quoted;
        if (!Quoted(outline_.cdTextFile, quoted)) {
            return false;
        }
        forLibcue = "CDTEXTFILE " + quoted;
        return true;
    }
    return Fail(number, "unknown command \"" + std::string(word) + "\"");
}

bool OutlineReader::Finish() {
    if (outline_.tracks.empty()) {
        return Fail(0, "the sheet has no tracks");
    }
    return CheckStarted(outline_.tracks.back());
}

} // namespace

const CueIndex* CueTrack::Index(int indexNumber) const {
    for (const CueIndex& index : indexes) {
        if (index.number == indexNumber) {
            return &index;
        }
    }
    return nullptr;
}

std::string FormatCueTime(int32_t frames) {
    return TwoDigits(frames / kFramesPerMinute) + ":" + TwoDigits(frames / kFramesPerSecond % 60) +
           ":" + TwoDigits(frames % kFramesPerSecond);
}

std::string UnescapeCueText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            ++i;
        }
        out += text[i] == kLibcueBackslash ? '\\' : text[i];
    }
    return out;
}

bool ReadCueOutline(std::string_view text, CueOutline& outline, CueProblem& problem) {
    outline = {};
    problem = {};
    OutlineReader reader(outline, problem);
    int number = 0;
    std::string forLibcue;
    while (!text.empty()) {
        // Lines end in CR LF, LF or a lone CR.
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
        if (text.starts_with("\r\n")) {
            text.remove_prefix(2);
        } else if (!text.empty()) {
            text.remove_prefix(1);
        }
        if (!reader.Line(++number, line, forLibcue)) {
            return false;
        }
        outline.libcueText += forLibcue;
        outline.libcueText += '\n';
    }
    return reader.Finish();
}

} // namespace vdrive
