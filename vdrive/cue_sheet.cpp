// Cue sheet loading: the sheet is checked and outlined line by line, parsed by libcue for its
// texts and flags, and laid out on the disc with the lengths of the files it names.
#include "vdrive/cue_sheet.h"

#include "cdtext/cdtext_encoder.h"
#include "cdtext/text_encoding.h"
#include "drive/msf.h"
#include "vdrive/cue_outline.h"
#include "vdrive/media_file.h"
#include "vdrive/sheet_audio.h"

#include <libcue.h>

#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>

namespace vdrive {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kMaxSheetBytes = 1u << 20;
constexpr uintmax_t kMaxCdTextFileBytes = 64u << 10;
constexpr size_t kMaxCdTextPacks = 8 * 256; // eight blocks of 256 packs
constexpr uint32_t kAudioFrameBytes = 2352;
// The last frame an MSF answer can name, 99:59:74, is LBA 449849: the lead-out may not lie past it.
constexpr int32_t kMaxLeadOut = MsfToLba(99, 59, 74);

std::string Where(const std::string& path, int line) {
    return line > 0 ? path + ":" + std::to_string(line) + ": " : path + ": ";
}

fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

// libcue keeps global state and is not re-entrant: one parse at a time in the whole program.
std::mutex& LibcueMutex() {
    static std::mutex mutex;
    return mutex;
}

// What libcue reads from the sheet: texts, flags and the CD-Text file.
struct LibcueReading {
    cdtext::CdTextAlbum album;
    std::vector<uint8_t> flags; // CONTROL bits from FLAGS, per track
    std::string cdTextFile;
};

std::string TextOrEmpty(Pti pti, const Cdtext* text) {
    const char* value = text != nullptr ? cdtext_get(pti, text) : nullptr;
    return value != nullptr ? UnescapeCueText(value) : std::string();
}

bool ReadWithLibcue(const std::string& sheetText, size_t trackCount, LibcueReading& reading) {
    // libcue 2.2.1 fails on a last line without a newline: one more never hurts.
    const std::string text = sheetText + "\n";
    const std::lock_guard<std::mutex> lock(LibcueMutex());
    Cd* cd = cue_parse_string(text.c_str());
    if (cd == nullptr) {
        return false;
    }
    const bool complete = cd_get_ntrack(cd) == static_cast<int>(trackCount);
    if (complete) {
        const Cdtext* discText = cd_get_cdtext(cd);
        reading.album.title = TextOrEmpty(PTI_TITLE, discText);
        reading.album.performer = TextOrEmpty(PTI_PERFORMER, discText);
        reading.album.songwriter = TextOrEmpty(PTI_SONGWRITER, discText);
        const char* cdTextFile = cd_get_cdtextfile(cd);
        reading.cdTextFile = cdTextFile != nullptr ? UnescapeCueText(cdTextFile) : std::string();
        for (int i = 1; i <= static_cast<int>(trackCount); ++i) {
            const Track* track = cd_get_track(cd, i);
            const Cdtext* trackText = track_get_cdtext(track);
            reading.album.tracks.push_back({TextOrEmpty(PTI_TITLE, trackText),
                                            TextOrEmpty(PTI_PERFORMER, trackText),
                                            TextOrEmpty(PTI_SONGWRITER, trackText)});
            uint8_t control = 0;
            for (const auto& [flag, bit] : {std::pair{FLAG_PRE_EMPHASIS, kControlPreEmphasis},
                                            std::pair{FLAG_COPY_PERMITTED, kControlCopyAllowed},
                                            std::pair{FLAG_FOUR_CHANNEL, kControlFourChannel}}) {
                if (track_is_set_flag(track, flag) != 0) {
                    control |= bit;
                }
            }
            reading.flags.push_back(control);
        }
    }
    cd_delete(cd);
    return complete;
}

// ASCII letters only: other characters must match exactly.
bool SameIgnoringCase(const std::u8string& a, const std::u8string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char8_t c) {
            return c >= u8'A' && c <= u8'Z' ? static_cast<char8_t>(c - u8'A' + u8'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<fs::path> ExistingIgnoringCase(const fs::path& candidate) {
    std::error_code ec;
    if (fs::exists(candidate, ec)) {
        return candidate;
    }
    // Sheets written on Windows often differ from the files in letter case.
    const fs::path folder = candidate.parent_path();
    const std::u8string wanted = candidate.filename().u8string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameIgnoringCase(it->path().filename().u8string(), wanted)) {
            return it->path();
        }
    }
    return std::nullopt;
}

// A name as the sheet writes it, looked for relative to the sheet. Backslashes count as folder
// separators; a Windows drive letter or a folder that is not there falls back to the same file
// name beside the sheet, where rips are usually kept.
std::optional<fs::path> FindSheetFile(const fs::path& sheetFolder, const std::string& name) {
    std::string portable = name;
    for (char& c : portable) {
        c = c == '\\' ? '/' : c;
    }
    const bool driveLetter =
        portable.size() >= 2 && portable[1] == ':' &&
        ((portable[0] >= 'A' && portable[0] <= 'Z') || (portable[0] >= 'a' && portable[0] <= 'z'));
    const fs::path written = PathFromUtf8(portable);
    std::vector<fs::path> candidates;
    if (written.is_absolute()) {
        candidates.push_back(written);
    } else if (!driveLetter) {
        candidates.push_back(sheetFolder / written);
    }
    if (written.has_filename()) {
        candidates.push_back(sheetFolder / written.filename());
    }
    for (const fs::path& candidate : candidates) {
        if (auto found = ExistingIgnoringCase(candidate)) {
            return found;
        }
    }
    return std::nullopt;
}

bool ReadWholeFile(const fs::path& path, uintmax_t limit, std::string& bytes,
                   std::string& problem) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        problem = "is a folder, not a file";
        return false;
    }
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        problem = fs::exists(path, ec) ? "cannot be read" : "no such file";
        return false;
    }
    if (size > limit) {
        problem = "is too large (" + std::to_string(size) + " bytes)";
        return false;
    }
    // In one read of the size just measured; a file that shrank since gives what is left.
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (!in && !in.eof()) {
        problem = "cannot be read";
        return false;
    }
    return true;
}

// Raw packs as a CDTEXTFILE holds them, with or without the 4-byte header of a READ TOC answer;
// a stray last byte, which some mastering tools leave, is dropped. The packs are taken as they
// stand, checksums included.
bool ReadCdTextFile(const fs::path& path, std::vector<uint8_t>& packs, std::string& problem) {
    std::string bytes;
    if (!ReadWholeFile(path, kMaxCdTextFileBytes, bytes, problem)) {
        return false;
    }
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    if (data.size() >= 4 + cdtext::kCdTextPackSize && data[2] == 0 && data[3] == 0) {
        const size_t length = size_t{data[0]} << 8 | data[1];
        if (length == data.size() - 2 || length == data.size() - 3) {
            data.erase(data.begin(), data.begin() + 4);
        }
    }
    if (data.size() % cdtext::kCdTextPackSize == 1) {
        data.pop_back();
    }
    if (data.empty() || data.size() % cdtext::kCdTextPackSize != 0) {
        problem = "is not a CD-Text file: " + std::to_string(bytes.size()) +
                  " bytes are not a whole number of 18-byte packs";
        return false;
    }
    if (data.size() / cdtext::kCdTextPackSize > kMaxCdTextPacks) {
        problem = "holds more CD-Text packs than a disc can (" +
                  std::to_string(data.size() / cdtext::kCdTextPackSize) + ", at most 2048)";
        return false;
    }
    for (size_t at = 0; at < data.size(); at += cdtext::kCdTextPackSize) {
        if (data[at] < 0x80 || data[at] > 0x8F) {
            problem = "is not a CD-Text file: pack " +
                      std::to_string(at / cdtext::kCdTextPackSize + 1) +
                      " has no CD-Text pack type";
            return false;
        }
    }
    packs = std::move(data);
    return true;
}

// An INDEX 00 or 01 in disc order, with the track whose data follows it.
struct IndexEvent {
    const CueIndex* index;
    size_t track; // into outline.tracks
};

class DiscLayout {
public:
    DiscLayout(const std::string& path, const CueOutline& outline, const CueLoadOptions& options,
               std::string& error, CueLoadReport& report)
        : path_(path), outline_(outline), options_(options), error_(error), report_(report) {
        for (size_t t = 0; t < outline.tracks.size(); ++t) {
            for (const CueIndex& index : outline.tracks[t].indexes) {
                if (index.number <= 1) {
                    events_.push_back({&index, t});
                }
            }
        }
    }

    bool MeasureFiles(const fs::path& sheetFolder);
    bool Build(const LibcueReading& reading, DiscImage& disc);
    std::shared_ptr<const AudioSource> Audio(const std::vector<int64_t>& fileStart) const;

private:
    bool Fail(int line, const std::string& message) {
        error_ = Where(path_, line) + message;
        return false;
    }
    bool FileFrames(size_t file, const MediaFileContent& content, int32_t& frames);

    const std::string& path_;
    const CueOutline& outline_;
    const CueLoadOptions& options_;
    std::string& error_;
    CueLoadReport& report_;
    std::vector<IndexEvent> events_; // in file order, and within a file in time order
    std::vector<int32_t> fileFrames_;
    std::vector<SheetAudioFile> files_;
};

// A file's length in frames. Raw files hold sectors of each track's own size: the bytes before
// the last INDEX are counted segment by segment with the size of the track they belong to.
// Frames before a file's first INDEX belong to the track in progress (the first track for the
// first file); a last frame cut short is filled up with silence. A file too short for one whole
// frame holds nothing to play: it counts as empty.
bool DiscLayout::FileFrames(size_t file, const MediaFileContent& content, int32_t& frames) {
    size_t owner = 0;
    for (const IndexEvent& event : events_) {
        if (event.index->file < file) {
            owner = event.track;
        }
    }
    const auto frameBytes = [&](size_t track) -> uint64_t {
        return content.decodedAudio ? kAudioFrameBytes : outline_.tracks[track].sectorSize;
    };
    const uint64_t bytes = content.bytes < frameBytes(owner) ? 0 : content.bytes;
    uint64_t consumed = 0;
    int32_t position = 0;
    for (const IndexEvent& event : events_) {
        if (event.index->file != file) {
            continue;
        }
        consumed += uint64_t(event.index->frames - position) * frameBytes(owner);
        position = event.index->frames;
        owner = event.track;
        if (consumed >= bytes) {
            const CueTrack& track = outline_.tracks[event.track];
            return Fail(event.index->line,
                        "INDEX " + std::string(event.index->number < 10 ? "0" : "") +
                            std::to_string(event.index->number) + " of track " +
                            std::to_string(track.number) + " at " +
                            FormatCueTime(event.index->frames) + " lies past the end of \"" +
                            outline_.files[file].name + "\"");
        }
    }
    const uint64_t rest = bytes - consumed;
    const uint64_t total = uint64_t(position) + (rest + frameBytes(owner) - 1) / frameBytes(owner);
    if (total > uint64_t(kMaxLeadOut)) {
        return Fail(outline_.files[file].line,
                    "\"" + outline_.files[file].name + "\" is longer than a disc can be");
    }
    frames = static_cast<int32_t>(total);
    return true;
}

bool DiscLayout::MeasureFiles(const fs::path& sheetFolder) {
    for (size_t f = 0; f < outline_.files.size(); ++f) {
        const CueFile& file = outline_.files[f];
        const std::optional<fs::path> found = FindSheetFile(sheetFolder, file.name);
        int32_t frames = 0;
        SheetAudioFile audio;
        if (found) {
            std::string problem;
            if (!MeasureMediaFile(*found, file.type, audio.content, problem)) {
                return Fail(file.line, "\"" + file.name + "\" " + problem);
            }
            if (!FileFrames(f, audio.content, frames)) {
                return false;
            }
            audio.path = *found;
        } else if (options_.missingFileTailFrames > 0) {
            int32_t last = 0;
            for (const IndexEvent& event : events_) {
                last = event.index->file == f ? event.index->frames : last;
            }
            frames = last + options_.missingFileTailFrames;
            report_.assumed.push_back(file.name);
        } else {
            return Fail(file.line, "file \"" + file.name +
                                       "\" not found: the track layout depends on its length");
        }
        fileFrames_.push_back(frames);
        files_.push_back(std::move(audio));
    }
    return true;
}

// LBA 0 is the first frame of the first file. PREGAP silence comes before a track's first
// INDEX, POSTGAP silence after its data; neither is in any file.
bool DiscLayout::Build(const LibcueReading& reading, DiscImage& disc) {
    // Sums in 64 bits: a long sheet of long files could pass what 32 bits hold.
    int64_t leadOut = 0;
    std::vector<int64_t> fileStart;
    for (const int32_t frames : fileFrames_) {
        fileStart.push_back(leadOut);
        leadOut += frames;
    }
    for (const CueTrack& track : outline_.tracks) {
        leadOut += int64_t{track.pregap} + track.postgap;
    }
    if (leadOut > kMaxLeadOut) {
        return Fail(0, "the disc would run past 99:59:74");
    }
    int32_t silence = 0;
    disc.tracks.clear();
    disc.isrc.clear();
    for (size_t t = 0; t < outline_.tracks.size(); ++t) {
        const CueTrack& track = outline_.tracks[t];
        silence += track.pregap;
        const auto lba = [&](const CueIndex& index) {
            return static_cast<int32_t>(fileStart[index.file]) + index.frames + silence;
        };
        playback::DiscTrack entry;
        entry.number = track.number;
        entry.control = static_cast<uint8_t>((track.data ? kControlData : 0) | reading.flags[t]);
        entry.start = lba(*track.Index(1));
        const CueIndex* pregapIndex = track.Index(0);
        entry.pregapStart =
            (pregapIndex != nullptr ? lba(*pregapIndex) : entry.start) - track.pregap;
        if (t == 0) {
            entry.pregapStart = 0; // whatever lies before the first track's start is its pregap
        }
        disc.tracks.push_back(entry);
        disc.isrc.push_back(track.isrc);
        silence += track.postgap;
    }
    disc.catalog = outline_.catalog;
    disc.leadOut = static_cast<int32_t>(leadOut);
    disc.audio = Audio(fileStart);
    return true;
}

// Each file's frames from INDEX to INDEX, each stretch with the sector size of the track it
// belongs to and shifted by the PREGAP and POSTGAP silence before that track's first INDEX.
// Stretches of data tracks are skipped: READ CD reads no audio there.
std::shared_ptr<const AudioSource> DiscLayout::Audio(const std::vector<int64_t>& fileStart) const {
    std::vector<int64_t> silenceBefore; // before each track's data
    int64_t silence = 0;
    for (const CueTrack& track : outline_.tracks) {
        silence += track.pregap;
        silenceBefore.push_back(silence);
        silence += track.postgap;
    }
    std::vector<SheetAudioPiece> pieces;
    size_t owner = 0; // the track the frames belong to: track 1 up to the first INDEX,
    silence = 0;      // with no silence before them
    for (size_t f = 0; f < fileFrames_.size(); ++f) {
        int32_t position = 0;
        uint64_t offset = 0;
        const auto stretch = [&](int32_t end) {
            const CueTrack& track = outline_.tracks[owner];
            const uint32_t stride =
                files_[f].content.decodedAudio ? kAudioFrameBytes : track.sectorSize;
            if (end > position && !track.data) {
                pieces.push_back({static_cast<int32_t>(fileStart[f] + silence + position),
                                  end - position, f, offset, stride});
            }
            offset += uint64_t(end - position) * stride;
            position = end;
        };
        for (const IndexEvent& event : events_) {
            if (event.index->file == f) {
                stretch(event.index->frames);
                owner = event.track;
                silence = silenceBefore[event.track];
            }
        }
        stretch(fileFrames_[f]);
    }
    return std::make_shared<SheetAudioSource>(files_, std::move(pieces));
}

bool LoadSheet(const std::string& path, const CueLoadOptions& options, DiscImage& disc,
               std::string& error, CueLoadReport& report) {
    const fs::path sheetPath = PathFromUtf8(path);
    std::string bytes;
    std::string problem;
    if (!ReadWholeFile(sheetPath, kMaxSheetBytes, bytes, problem)) {
        error = Where(path, 0) + problem;
        return false;
    }
    CueOutline outline;
    CueProblem outlineProblem;
    if (!ReadCueOutline(cdtext::DecodeTextFile(bytes), outline, outlineProblem)) {
        error = Where(path, outlineProblem.line) + outlineProblem.message;
        return false;
    }
    LibcueReading reading;
    if (!ReadWithLibcue(outline.libcueText, outline.tracks.size(), reading)) {
        error = Where(path, 0) + "libcue cannot read the sheet";
        return false;
    }
    reading.album.firstTrack = outline.tracks.front().number;

    DiscLayout layout(path, outline, options, error, report);
    DiscImage image;
    if (!layout.MeasureFiles(sheetPath.parent_path()) || !layout.Build(reading, image)) {
        return false;
    }

    bool haveCdText = false;
    if (!reading.cdTextFile.empty()) {
        const std::optional<fs::path> found =
            FindSheetFile(sheetPath.parent_path(), reading.cdTextFile);
        if (found) {
            if (!ReadCdTextFile(*found, image.cdText, problem)) {
                error = Where(path, outline.cdTextFileLine) + "\"" + reading.cdTextFile + "\" " +
                        problem;
                return false;
            }
            haveCdText = true;
        } else if (options.missingFileTailFrames > 0) {
            report.assumed.push_back(reading.cdTextFile);
        } else {
            error = Where(path, outline.cdTextFileLine) + "CD-Text file \"" + reading.cdTextFile +
                    "\" not found";
            return false;
        }
    }
    if (!haveCdText) {
        cdtext::CdTextProblem textProblem;
        if (!cdtext::EncodeCdText(reading.album, image.cdText, textProblem)) {
            int line = 0;
            if (textProblem.track >= 0) {
                const bool album = textProblem.track == 0;
                const CueTrack* track =
                    album ? nullptr
                          : &outline.tracks[size_t(textProblem.track - reading.album.firstTrack)];
                line = textProblem.packType == cdtext::kPackTitle
                           ? (album ? outline.titleLine : track->titleLine)
                       : textProblem.packType == cdtext::kPackPerformer
                           ? (album ? outline.performerLine : track->performerLine)
                           : (album ? outline.songwriterLine : track->songwriterLine);
            }
            error = Where(path, line) + textProblem.message;
            return false;
        }
    }
    disc = std::move(image);
    return true;
}

} // namespace

bool LoadCueSheet(const std::string& path, DiscImage& disc, std::string& error) {
    return LoadCueSheet(path, CueLoadOptions{}, disc, error);
}

bool LoadCueSheet(const std::string& path, const CueLoadOptions& options, DiscImage& disc,
                  std::string& error, CueLoadReport* report) {
    CueLoadReport local;
    error.clear();
    const bool ok = LoadSheet(path, options, disc, error, local);
    if (report != nullptr) {
        *report = std::move(local);
    }
    return ok;
}

} // namespace vdrive
