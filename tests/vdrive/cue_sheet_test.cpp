#include "vdrive/cue_sheet.h"

#include "tests/support/image_files.h"
#include "tests/vdrive/libcdio_cdtext.h"
#include "tests/vdrive/pack_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using playback::DiscTrack;
using vdrive::CueLoadOptions;
using vdrive::CueLoadReport;
using vdrive::DiscImage;
using vdrive::LoadCueSheet;

constexpr uint64_t kFrame = 2352;

struct FileSpec {
    enum Kind { kRaw, kWav, kWavWithList, kWav48k, kWavSixChannels, kFlac };
    std::string name;
    Kind kind;
    uint64_t size; // bytes for raw files, CD frames for the others
};

void MakeFiles(const ImageFolder& folder, const std::vector<FileSpec>& files) {
    for (const FileSpec& file : files) {
        switch (file.kind) {
        case FileSpec::kRaw:
            folder.Raw(file.name, file.size);
            break;
        case FileSpec::kWav:
        case FileSpec::kWavWithList:
            folder.Wav(file.name, static_cast<uint32_t>(file.size),
                       file.kind == FileSpec::kWavWithList);
            break;
        case FileSpec::kWav48k:
            folder.Wav(file.name, static_cast<uint32_t>(file.size), false, 48000);
            break;
        case FileSpec::kWavSixChannels:
            folder.Wav(file.name, static_cast<uint32_t>(file.size), false, 44100, 16, 6);
            break;
        case FileSpec::kFlac:
            folder.Flac(file.name, static_cast<uint32_t>(file.size));
            break;
        }
    }
}

std::string Describe(const DiscImage& disc) {
    std::string text;
    for (const DiscTrack& t : disc.tracks) {
        // Appended piece by piece: GCC 12 at -O3 misreads "literal" + std::string&& (a false
        // -Wrestrict).
        text += "[";
        text += std::to_string(t.number);
        text += " ctl ";
        text += std::to_string(t.control);
        text += " at ";
        text += std::to_string(t.start);
        text += " gap ";
        text += std::to_string(t.pregapStart);
        text += "] ";
    }
    return text + "lead-out " + std::to_string(disc.leadOut);
}

std::string Describe(const std::vector<DiscTrack>& tracks, int32_t leadOut) {
    DiscImage disc;
    disc.tracks = tracks;
    disc.leadOut = leadOut;
    return Describe(disc);
}

struct LayoutRow {
    std::string name;
    std::string sheet;
    std::vector<FileSpec> files;
    std::vector<DiscTrack> tracks; // number, control, start, pregap start
    int32_t leadOut;
};

const std::string kThreeTracks = R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:10:00
  TRACK 03 AUDIO
    INDEX 01 00:30:00
)";

TEST(CueSheetLayout, TracksLandWhereTheSheetAndItsFilesPutThem) {
    const FileSpec disc3000 = {"disc.bin", FileSpec::kRaw, 3000 * kFrame};
    const std::vector<LayoutRow> rows = {
        {"one file, tracks start at INDEX 01",
         kThreeTracks,
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 750, 750}, {3, 0, 2250, 2250}},
         3000},
        {"INDEX 00 marks a pregap inside the file",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:08:00
    INDEX 01 00:10:00
)",
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 750, 600}},
         3000},
        {"PREGAP is silence before the track that no file holds",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    PREGAP 00:02:00
    INDEX 01 00:10:00
  TRACK 03 AUDIO
    INDEX 01 00:30:00
)",
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 900, 750}, {3, 0, 2400, 2400}},
         3150},
        {"POSTGAP is silence after the track",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
    POSTGAP 00:01:00
  TRACK 02 AUDIO
    INDEX 01 00:10:00
)",
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 825, 825}},
         3075},
        {"PREGAP and INDEX 00 together",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    PREGAP 00:01:00
    INDEX 00 00:08:00
    INDEX 01 00:10:00
)",
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 825, 600}},
         3075},
        {"a hidden track before track 1",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 00 00:00:00
    INDEX 01 01:23:18
)",
         {{"disc.bin", FileSpec::kRaw, 7000 * kFrame}},
         {{1, 0, 6243, 0}},
         7000},
        {"a file per track, WAV data found past a LIST chunk",
         R"(FILE "01.wav" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:00:00
FILE "02.wav" WAVE
  TRACK 02 AUDIO
    INDEX 01 00:00:00
)",
         {{"01.wav", FileSpec::kWavWithList, 1000}, {"02.wav", FileSpec::kWav, 1500}},
         {{1, 0, 0, 0}, {2, 0, 1000, 1000}},
         2500},
        {"INDEX 00 left at the end of the previous file",
         R"(FILE "01.wav" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:12:00
FILE "02.wav" WAVE
    INDEX 01 00:00:00
)",
         {{"01.wav", FileSpec::kWav, 1000}, {"02.wav", FileSpec::kWav, 1500}},
         {{1, 0, 0, 0}, {2, 0, 1000, 900}},
         2500},
        {"INDEX 00 at the start of the track's own file",
         R"(FILE "01.wav" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:00:00
FILE "02.wav" WAVE
  TRACK 02 AUDIO
    INDEX 00 00:00:00
    INDEX 01 00:00:28
)",
         {{"01.wav", FileSpec::kWav, 1000}, {"02.wav", FileSpec::kWav, 1500}},
         {{1, 0, 0, 0}, {2, 0, 1028, 1000}},
         2500},
        {"numbers from TRACK 04, as written", // the libcdio cdda_4_5 sheet with its 302 frames
         R"(FILE "cdda_4_5.bin"  BINARY
  TRACK 04 AUDIO
    FLAGS DCP
    INDEX 01 00:00:00
  TRACK 05 AUDIO
    FLAGS DCP
    INDEX 01 00:02:00
)",
         {{"cdda_4_5.bin", FileSpec::kRaw, 302 * kFrame}},
         {{4, 2, 0, 0}, {5, 2, 150, 150}},
         302},
        {"a data track of 2048-byte sectors, then audio",
         R"(FILE "data.iso" BINARY
  TRACK 01 MODE1/2048
    INDEX 01 00:00:00
FILE "audio.wav" WAVE
  TRACK 02 AUDIO
    INDEX 01 00:00:00
)",
         {{"data.iso", FileSpec::kRaw, 4500 * 2048}, {"audio.wav", FileSpec::kWav, 2000}},
         {{1, 4, 0, 0}, {2, 0, 4500, 4500}},
         6500},
        {"sectors of two sizes in one file",
         R"(FILE "mixed.bin" BINARY
  TRACK 01 MODE1/2048
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:10:00
    INDEX 01 00:12:00
)",
         {{"mixed.bin", FileSpec::kRaw, 750 * 2048 + 1150 * kFrame}},
         {{1, 4, 0, 0}, {2, 0, 900, 750}},
         1900},
        {"a last frame cut short is filled up",
         kThreeTracks,
         {{"disc.bin", FileSpec::kRaw, 3000 * kFrame + 100}},
         {{1, 0, 0, 0}, {2, 0, 750, 750}, {3, 0, 2250, 2250}},
         3001},
        {"FLAGS set CONTROL bits; the data bit comes from the track type",
         R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    FLAGS DCP PRE 4CH SCMS
    INDEX 01 00:00:00
  TRACK 02 MODE1/2352
    INDEX 01 00:10:00
    FLAGS DCP
)",
         {disc3000},
         {{1, 0x0B, 0, 0}, {2, 0x06, 750, 750}},
         3000},
        {"keywords in any case",
         "file \"disc.bin\" binary\r\n  track 01 audio\r\n    index 01 00:00:00\r\n"
         "  Track 02 Audio\r\n    Index 01 00:10:00\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:30:00",
         {disc3000},
         {{1, 0, 0, 0}, {2, 0, 750, 750}, {3, 0, 2250, 2250}},
         3000},
        {"a FLAC file measured by its STREAMINFO",
         R"(FILE "album.flac" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:10:00
)",
         {{"album.flac", FileSpec::kFlac, 2000}},
         {{1, 0, 0, 0}, {2, 0, 750, 750}},
         2000},
        {"Windows paths find the files beside the sheet, whatever their case",
         R"(FILE "C:\Rips\Album\DISC.WAV" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:00:00
FILE "Bonus\Extra.wav" WAVE
  TRACK 02 AUDIO
    INDEX 01 00:00:00
)",
         {{"disc.wav", FileSpec::kWav, 1000}, {"Bonus/Extra.wav", FileSpec::kWav, 500}},
         {{1, 0, 0, 0}, {2, 0, 1000, 1000}},
         1500},
    };
    for (const LayoutRow& row : rows) {
        ImageFolder folder;
        MakeFiles(folder, row.files);
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(folder.Write("sheet.cue", row.sheet), disc, error))
            << row.name << ": " << error;
        EXPECT_EQ(Describe(disc), Describe(row.tracks, row.leadOut)) << row.name;
        EXPECT_TRUE(disc.cdText.empty()) << row.name;
    }
}

struct ErrorRow {
    std::string name;
    std::string sheet;
    int line; // 0: the message names no line
    std::string problem;
    std::vector<FileSpec> files = {{"a.wav", FileSpec::kWav, 3000}};
};

std::string HundredTracks() {
    std::string sheet = "FILE \"a.wav\" WAVE\n";
    for (int track = 1; track <= 100; ++track) {
        sheet += "TRACK " + std::to_string(track) +
                 " AUDIO\nINDEX 01 00:" + std::to_string(10 + track / 75) + ":" +
                 std::to_string(track % 75) + "\n";
    }
    return sheet;
}

TEST(CueSheetErrors, EachFaultNamesTheSheetTheLineAndTheProblem) {
    const std::string oneTrack = "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    const std::vector<ErrorRow> rows = {
        {"an unknown command", oneTrack + "BOGUS here\n", 4, "unknown command \"BOGUS\""},
        {"no tracks", "REM only a remark\nFILE \"a.wav\" WAVE\n", 0, "the sheet has no tracks"},
        {"more than 99 tracks", HundredTracks(), 200, "more than 99 tracks"},
        {"a negative INDEX number", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX -1 00:00:00\n", 3,
         "index number \"-1\" is not a number"},
        {"an INDEX number that would wrap around",
         "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 4294967295 00:00:10\n", 4,
         "index number 4294967295 is outside 0-99"},
        {"INDEX before any TRACK", "FILE \"a.wav\" WAVE\nINDEX 01 00:00:00\nTRACK 01 AUDIO\n", 2,
         "INDEX comes before any TRACK"},
        {"a track without INDEX 01",
         "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 "
         "00:10:00\n",
         2, "track 01 has no INDEX 01"},
        {"a frame count of 75", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", 3,
         "time 00:00:75 is out of range"},
        {"track numbers that jump",
         "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 "
         "00:10:00\n",
         4, "TRACK 03 follows TRACK 01"},
        {"starts out of order",
         "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 01 "
         "00:05:00\n",
         5, "does not come after the previous INDEX 00 or 01"},
        {"FILE without a type", "FILE \"a.wav\"\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1,
         "needs a file type"},
        {"FILE with a bare name and no type", "FILE a.wav\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1,
         "needs a file type"},
        {"an unknown file type", "FILE \"a.ogg\" OGG\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1,
         "unknown file type \"OGG\""},
        {"an unknown track type", "FILE \"a.wav\" WAVE\nTRACK 01 MODE3_FORM1\nINDEX 01 00:00:00\n",
         2, "unknown track type \"MODE3_FORM1\""},
        {"a data track the rip left out",
         "FILE \"a.wav\" WAVE\nTRACK 01 MODEx/2xxx\nINDEX 01 00:00:00\n", 2,
         "data track that was not read"},
        {"a missing file", "FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1,
         "file \"gone.wav\" not found"},
        {"a missing second file",
         oneTrack + "FILE \"b.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", 4,
         "file \"b.wav\" not found"},
        {"an INDEX past the end of its file",
         "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 "
         "00:40:00\n",
         5, "INDEX 01 of track 2 at 00:40:00 lies past the end of \"a.wav\""},
        {"a WAV file that is not CD audio",
         oneTrack,
         1,
         "\"a.wav\" is 48000 Hz, 2 channels: a disc holds 44100 Hz audio, stereo or mono",
         {{"a.wav", FileSpec::kWav48k, 3000}}},
        {"a WAV file of six channels",
         oneTrack,
         1,
         "\"a.wav\" is 44100 Hz, 6 channels: a disc holds 44100 Hz audio, stereo or mono",
         {{"a.wav", FileSpec::kWavSixChannels, 3000}}},
        {"an MP3 file that holds no audio",
         "FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
         1,
         "\"a.mp3\" is not an audio file (WAV, AIFF, FLAC, MP3, Ogg ...) as its FILE type MP3 says",
         {{"a.mp3", FileSpec::kRaw, 5000}}},
        {"a WAVE file that is no WAV file",
         oneTrack,
         1,
         "is not an audio file (WAV, AIFF, FLAC, MP3, Ogg ...) as its FILE type WAVE says",
         {{"a.wav", FileSpec::kRaw, 5000}}},
        {"a value longer than a sheet may hold",
         "TITLE \"" + std::string(1024, 'x') + "\"\n" + oneTrack, 1,
         "the value is 1024 bytes long"},
        // Titles: 901 + 901 bytes, 151 packs; performers 76; songwriters overflow at byte 312.
        {"an album songwriter that no longer fits in CD-Text",
         "TITLE \"" + std::string(900, 't') + "\"\nPERFORMER \"" + std::string(900, 'p') +
             "\"\nSONGWRITER \"" + std::string(900, 's') + "\"\n" + oneTrack + "TITLE \"" +
             std::string(900, 'u') + "\"\n",
         3, "the album songwriter is the first that does not fit"},
        // Titles: 9 packs; performers 1001 + 1001 + 1001 bytes overflow at byte 2928, in track 2's.
        {"a track performer that no longer fits in CD-Text",
         "TITLE \"" + std::string(100, 't') + "\"\nPERFORMER \"" + std::string(1000, 'a') + "\"\n" +
             oneTrack + "PERFORMER \"" + std::string(1000, 'b') +
             "\"\nTRACK 02 AUDIO\nPERFORMER \"" + std::string(1000, 'c') +
             "\"\nINDEX 01 00:10:00\n",
         8, "the track 2 performer is the first that does not fit"},
        {"a missing CD-Text file", "CDTEXTFILE \"disc.cdt\"\n" + oneTrack, 1,
         "CD-Text file \"disc.cdt\" not found"},
        {"a CD-Text file that holds no packs",
         "CDTEXTFILE \"disc.cdt\"\n" + oneTrack,
         1,
         "\"disc.cdt\" is not a CD-Text file: 20 bytes",
         {{"a.wav", FileSpec::kWav, 3000}, {"disc.cdt", FileSpec::kRaw, 20}}},
        {"CDTEXTFILE inside a track", oneTrack + "CDTEXTFILE \"disc.cdt\"\n", 4,
         "CDTEXTFILE belongs before the first TRACK"},
        {"a NUL byte", std::string("FILE \"a.wav\" WAVE\nT\0R\0A\0C\0K\0\n", 29), 2,
         "NUL character"},
        {"a disc past 99:59:74",
         oneTrack + "FILE \"b.bin\" BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         0,
         "run past 99:59:74",
         {{"a.wav", FileSpec::kWav, 3000}, {"b.bin", FileSpec::kRaw, 448000 * kFrame}}},
    };
    for (const ErrorRow& row : rows) {
        ImageFolder folder;
        MakeFiles(folder, row.files);
        const std::string path = folder.Write("sheet.cue", row.sheet);
        DiscImage disc;
        disc.leadOut = 1234;
        std::string error;
        EXPECT_FALSE(LoadCueSheet(path, disc, error)) << row.name;
        const std::string where =
            row.line > 0 ? path + ":" + std::to_string(row.line) + ": " : path + ": ";
        EXPECT_EQ(error.substr(0, where.size()), where) << row.name << ": " << error;
        EXPECT_NE(error.find(row.problem), std::string::npos) << row.name << ": " << error;
        EXPECT_EQ(disc.leadOut, 1234) << row.name << ": a failed load leaves the disc alone";
    }
}

TEST(CueSheetErrors, ASheetThatCannotBeReadSaysSo) {
    ImageFolder folder;
    DiscImage disc;
    std::string error;
    EXPECT_FALSE(LoadCueSheet(folder.Path("absent.cue"), disc, error));
    EXPECT_EQ(error, folder.Path("absent.cue") + ": no such file");
    std::filesystem::create_directory(folder.Path("folder.cue"));
    EXPECT_FALSE(LoadCueSheet(folder.Path("folder.cue"), disc, error));
    EXPECT_EQ(error, folder.Path("folder.cue") + ": is a folder, not a file");
}

TEST(CueSheetMissingFiles, LengthsAreAssumedOnlyWhenAskedAndThenListed) {
    ImageFolder folder;
    const std::string path =
        folder.Write("sheet.cue", "CDTEXTFILE \"gone.cdt\"\nTITLE \"Album\"\n" + kThreeTracks);
    DiscImage disc;
    std::string error;
    EXPECT_FALSE(LoadCueSheet(path, disc, error));
    EXPECT_NE(error.find("file \"disc.bin\" not found: the track layout depends on its length"),
              std::string::npos)
        << error;

    CueLoadOptions options;
    options.missingFileTailFrames = 4500;
    CueLoadReport report;
    ASSERT_TRUE(LoadCueSheet(path, options, disc, error, &report)) << error;
    EXPECT_EQ(
        Describe(disc),
        "[1 ctl 0 at 0 gap 0] [2 ctl 0 at 750 gap 750] [3 ctl 0 at 2250 gap 2250] lead-out 6750");
    EXPECT_EQ(report.assumed, (std::vector<std::string>{"disc.bin", "gone.cdt"}));
    EXPECT_EQ(PackStrings(disc.cdText, 0x80, 1)[0], "Album")
        << "without its CD-Text file the disc takes the sheet's texts";
}

// CATALOG and ISRC go into the Q sub-channel; placeholders and codes no Q can carry are left out
// and the sheet loads all the same (a CATALOG without its number, too).
TEST(CueSheetCodes, TheCatalogueNumberAndTheIsrcsReachTheDisc) {
    ImageFolder folder;
    folder.Raw("disc.bin", 3000 * kFrame);
    const std::pair<std::string, std::string> catalogs[] = {
        {"CATALOG \"0602517484290\"\n", "0602517484290"},
        {"CATALOG 0000000000000\n", ""},
        {"CATALOG 1234567890\n", ""},
        {"CATALOG\n", ""},
    };
    for (const auto& [line, catalog] : catalogs) {
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(folder.Write("sheet.cue", line + R"(FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    ISRC gbaye0601498
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    ISRC 000000000000
    INDEX 01 00:10:00
  TRACK 03 AUDIO
    ISRC 03 = XYBLG1100006
    INDEX 01 00:20:00
)"),
                                 disc, error))
            << line << error;
        EXPECT_EQ(disc.catalog, catalog) << line;
        EXPECT_EQ(disc.isrc, (std::vector<std::string>{"GBAYE0601498", "", ""})) << line;
        EXPECT_EQ(disc.tracks.size(), 3u) << line;
    }
}

TEST(CueSheetCdText, TheSheetsTextsBecomeCdText) {
    ImageFolder folder;
    folder.Raw("disc.bin", 3000 * kFrame);
    const std::string path = folder.Write("sheet.cue", R"(REM GENRE Test
PERFORMER "The Testers"
TITLE "Night & Day"
SONGWRITER "A. Writer"
FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    TITLE "Say "hi" now"
    PERFORMER "The Testers"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE Just Some Words
    INDEX 01 00:10:00
  TRACK 03 AUDIO
    TITLE "Back\slash"
    PERFORMER "Guest"
    SONGWRITER "B. Writer"
    INDEX 01 00:30:00
)");
    DiscImage disc;
    std::string error;
    ASSERT_TRUE(LoadCueSheet(path, disc, error)) << error;
    using Strings = std::vector<std::string>;
    EXPECT_EQ(PackStrings(disc.cdText, 0x80, 4),
              (Strings{"Night & Day", "Say \"hi\" now", "Just Some Words", "Back\\slash"}));
    EXPECT_EQ(PackStrings(disc.cdText, 0x81, 4),
              (Strings{"The Testers", "The Testers", "", "Guest"}));
    EXPECT_EQ(PackStrings(disc.cdText, 0x82, 4), (Strings{"A. Writer", "", "", "B. Writer"}));
    const LibcdioText text = DecodeWithLibcdio(disc.cdText);
    EXPECT_TRUE(text.accepted);
    EXPECT_EQ(text.firstTrack, 1);
    EXPECT_EQ(text.lastTrack, 3);
}

// Found by the fuzzer: libcue's scanner knows no escaped backslash, so a value ending in one ran
// on past its closing quote, failed the whole sheet and leaked libcue's partial parse.
TEST(CueSheetCdText, AValueEndingInABackslashLoads) {
    ImageFolder folder;
    folder.Raw("disc.bin", 3000 * kFrame);
    const std::string path = folder.Write("sheet.cue", "PERFORMER \"My Bloody Valentin\\\"\n"
                                                       "TITLE \"Back\\\\\"\n"
                                                       "FILE \"disc.bin\" BINARY\n"
                                                       "  TRACK 01 AUDIO\n"
                                                       "    TITLE \"\\Lead \"in\"\\\"\n"
                                                       "    INDEX 01 00:00:00\n");
    DiscImage disc;
    std::string error;
    ASSERT_TRUE(LoadCueSheet(path, disc, error)) << error;
    using Strings = std::vector<std::string>;
    EXPECT_EQ(PackStrings(disc.cdText, 0x80, 2), (Strings{"Back\\\\", "\\Lead \"in\"\\"}));
    EXPECT_EQ(PackStrings(disc.cdText, 0x81, 2)[0], "My Bloody Valentin\\");
}

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(CueSheetCdText, EachEncodingOfTheSheetGivesTheSameTexts) {
    const std::string body =
        "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nTITLE \"%\"\nINDEX 01 00:00:00\n";
    const auto with = [&](const std::string& title) {
        std::string sheet = body;
        return sheet.replace(sheet.find('%'), 1, title);
    };
    struct Row {
        std::string name;
        std::string bytes;
        std::string title; // as the packs hold it, ISO-8859-1
    };
    std::string utf16 = Utf16Le(with("Caf_ Noir"));
    utf16[2 * static_cast<size_t>(utf16.find('_') / 2) + 0] = '\xE9'; // U+00E9 in UTF-16LE
    const std::vector<Row> rows = {
        {"UTF-8", with("Caf\u00e9 \u20ac"), "Caf\xE9 ?"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + with("Caf\u00e9 \u20ac"), "Caf\xE9 ?"},
        {"Windows-1252", with("Caf\xE9 \x80"), "Caf\xE9 ?"},
        {"UTF-16LE with BOM", utf16, "Caf\xE9 Noir"},
    };
    for (const Row& row : rows) {
        ImageFolder folder;
        folder.Raw("disc.bin", 3000 * kFrame);
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(folder.Write("sheet.cue", row.bytes), disc, error))
            << row.name << ": " << error;
        EXPECT_EQ(PackStrings(disc.cdText, 0x80, 2)[1], row.title) << row.name;
    }
}

TEST(CueSheetCdText, ACdTextFileIsTakenAsItStands) {
    const std::vector<uint8_t> packs =
        ReadBytes(std::string(DISCOLO_REALDATA_DIR) + "/libcdio/p1.nrg.CDTX-chunk.cdt");
    ASSERT_EQ(packs.size(), 144u);
    const std::string raw(packs.begin(), packs.end());
    struct Row {
        std::string name;
        std::string file;
    };
    const std::vector<Row> rows = {
        {"without a header", raw},
        {"with the READ TOC header", std::string("\x00\x92\x00\x00", 4) + raw},
        {"with a stray last byte", raw + '\0'},
        {"with header and stray byte", std::string("\x00\x92\x00\x00", 4) + raw + '\0'},
    };
    for (const Row& row : rows) {
        ImageFolder folder;
        folder.Raw("disc.bin", 3000 * kFrame);
        folder.Write("texts/disc.cdt", row.file);
        const std::string path = folder.Write(
            "sheet.cue", "CDTEXTFILE \"texts\\disc.cdt\"\nTITLE \"Ignored\"\n" + kThreeTracks);
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(path, disc, error)) << row.name << ": " << error;
        EXPECT_EQ(disc.cdText, packs) << row.name;
    }
}

} // namespace
