// Every cue sheet of the real-world collection in tests/data: each one loads or fails
// with a message that names the sheet and the problem, and the line where one is to blame.
#include "vdrive/cue_sheet.h"

#include "tests/vdrive/libcdio_cdtext.h"
#include "tests/vdrive/pack_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using vdrive::CueLoadOptions;
using vdrive::DiscImage;
using vdrive::LoadCueSheet;

const std::string kRealData = DISCOLO_REALDATA_DIR;

std::vector<std::string> AllSheets() {
    std::vector<std::string> sheets;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kRealData)) {
        if (entry.path().extension() == ".cue") {
            sheets.push_back(entry.path().string());
        }
    }
    std::sort(sheets.begin(), sheets.end());
    return sheets;
}

CueLoadOptions AssumedLengths() {
    CueLoadOptions options;
    options.missingFileTailFrames = 60 * 75;
    return options;
}

// What a drive needs of a disc: consecutive tracks in address order, pregaps before starts, the
// lead-out after the last track, CD-Text packs that libcdio reads for the same tracks.
void ExpectPlayable(const std::string& sheet, const DiscImage& disc) {
    ASSERT_FALSE(disc.tracks.empty()) << sheet;
    EXPECT_LE(disc.tracks.size(), 99u) << sheet;
    EXPECT_EQ(disc.tracks.front().pregapStart, 0) << sheet;
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const playback::DiscTrack& track = disc.tracks[i];
        EXPECT_LE(track.pregapStart, track.start) << sheet << " track " << track.number;
        if (i > 0) {
            EXPECT_EQ(track.number, disc.tracks[i - 1].number + 1) << sheet;
            EXPECT_GT(track.pregapStart, disc.tracks[i - 1].start)
                << sheet << " track " << track.number;
        }
    }
    EXPECT_GT(disc.leadOut, disc.tracks.back().start) << sheet;
    EXPECT_EQ(disc.cdText.size() % 18, 0u) << sheet;
    if (!disc.cdText.empty()) {
        const LibcdioText text = DecodeWithLibcdio(disc.cdText);
        EXPECT_TRUE(text.accepted) << sheet;
        EXPECT_EQ(text.firstTrack, disc.tracks.front().number) << sheet;
        EXPECT_EQ(text.lastTrack, disc.tracks.back().number) << sheet;
    }
}

// "sheet:line: problem" or "sheet: problem"; returns the line, 0 when none is named.
int ExpectNamedError(const std::string& sheet, const std::string& error) {
    const std::regex form("^(:[0-9]+)?: .+$");
    EXPECT_EQ(error.substr(0, sheet.size()), sheet) << error;
    const std::string rest = error.substr(std::min(sheet.size(), error.size()));
    EXPECT_TRUE(std::regex_match(rest, form)) << error;
    return rest.size() > 1 && rest[0] == ':' &&
                   std::isdigit(static_cast<unsigned char>(rest[1])) != 0
               ? std::stoi(rest.substr(1))
               : 0;
}

TEST(CueRealData, EverySheetLoadsOrSaysWhyNot) {
    const std::vector<std::string> sheets = AllSheets();
    ASSERT_GE(sheets.size(), 130u)
        << "the real-world sheets are not where the build says: " << kRealData;
    size_t loaded = 0;
    for (const std::string& sheet : sheets) {
        DiscImage strict;
        std::string strictError;
        const bool strictOk = LoadCueSheet(sheet, strict, strictError);
        if (strictOk) {
            ExpectPlayable(sheet, strict);
        } else {
            ExpectNamedError(sheet, strictError);
        }

        DiscImage assumed;
        std::string error;
        if (LoadCueSheet(sheet, AssumedLengths(), assumed, error)) {
            ++loaded;
            ExpectPlayable(sheet, assumed);
            // With the lengths of missing files assumed, a missing file was all that stood in the
            // way.
            EXPECT_TRUE(strictOk || strictError.find("not found") != std::string::npos)
                << strictError;
        } else {
            ExpectNamedError(sheet, error);
            EXPECT_EQ(error, strictError) << "only missing files may make a difference";
        }
    }
    EXPECT_GE(loaded, 90u) << "most sheets describe a disc once file lengths are assumed";
}

TEST(CueRealData, ChosenSheetsGiveTheDiscsTheyDescribe) {
    struct Row {
        std::string sheet;
        size_t tracks;
        int firstTrack;
        std::vector<int32_t> starts; // the first few
        uint8_t control;             // of the first track
    };
    const std::vector<Row> rows = {
        {"libcue/99_tracks.cue", 99, 1, {0, 4737, 21742}, 0},
        {"libcdio/cdda_4_5.cue", 2, 4, {0, 150}, 0x02},
        {"flacon/testCueData__01_lower_case.cue", 4, 1, {33, 3450, 6385}, 0},
        {"cue-munger/utf16le_bom_gwen_stefani.cue", 12, 1, {0, 4500, 9000}, 0},
        {"whipper/strokes-someday.eac.cue", 1, 1, {1}, 0x02},
        {"libcdio/isofs-m1.cue", 1, 1, {0}, 0x04},
    };
    for (const Row& row : rows) {
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(kRealData + "/" + row.sheet, AssumedLengths(), disc, error))
            << error;
        EXPECT_EQ(disc.tracks.size(), row.tracks) << row.sheet;
        EXPECT_EQ(disc.tracks.front().number, row.firstTrack) << row.sheet;
        EXPECT_EQ(disc.tracks.front().control, row.control) << row.sheet;
        for (size_t i = 0; i < row.starts.size(); ++i) {
            EXPECT_EQ(disc.tracks[i].start, row.starts[i]) << row.sheet << " track " << i + 1;
        }
    }
}

TEST(CueRealData, TextsReachCdTextInIso88591WhateverTheSheetsEncoding) {
    struct Row {
        std::string sheet;
        uint8_t packType;
        size_t item; // 0 album, n track n
        std::string text;
    };
    const std::vector<Row> rows = {
        {"cue-munger/utf16le_bom_gwen_stefani.cue", 0x80, 1, "What You Waiting For?"},
        {"cue-munger/utf16le_bom_gwen_stefani.cue", 0x81, 0, "Gwen Stefani"},
        {"cue-parser-js/Paco_de_Lucia_-_Fuente_y_Caudal.eac.cue", 0x81, 0,
         "Paco de Luc\xED"
         "a"},
        {"flacon/Street_Legal.cue", 0x80, 6, "Se\xF1or (Tales of Yankee Power)"},
        {"cue-parser-js/Putumayo_Presents_Cafe_Del_Mundo.cue", 0x80, 1, "Metro ? Boulot ? Dodo"},
        {"flacon/testCueData__01_lower_case.cue", 0x80, 1, "Short track 1"},
        {"whipper/kings-separate.cue", 0x81, 0, "Kings of Leon"},
    };
    for (const Row& row : rows) {
        DiscImage disc;
        std::string error;
        ASSERT_TRUE(LoadCueSheet(kRealData + "/" + row.sheet, AssumedLengths(), disc, error))
            << error;
        EXPECT_EQ(PackStrings(disc.cdText, row.packType, row.item + 1)[row.item], row.text)
            << row.sheet;
    }
    DiscImage utf8;
    DiscImage withBom;
    std::string error;
    ASSERT_TRUE(LoadCueSheet(kRealData + "/flacon/ru_utf8.cue", AssumedLengths(), utf8, error));
    ASSERT_TRUE(
        LoadCueSheet(kRealData + "/flacon/ru_utf8_BOM.cue", AssumedLengths(), withBom, error));
    EXPECT_FALSE(utf8.cdText.empty());
    EXPECT_EQ(utf8.cdText, withBom.cdText) << "a BOM changes nothing";
}

TEST(CueRealData, BrokenAndIncompleteSheetsFailAtTheRightLine) {
    struct Row {
        std::string sheet;
        int line;
        std::string problem;
    };
    const std::vector<Row> rows = {
        {"libcue/99_tracks.cue", 3, "file \"dummy.wav\" not found"},
        {"whipper/surferrosa.eac.corrected.cue", 8,
         "file \"Pixies - Surfer Rosa & Come on Pilgrim\\01 - Pixies - Bone Machine.wav\" not "
         "found"},
        {"libcue/clusterfuzz-testcase-minimized-fuzz-6416083458064384.cue", 103,
         "unknown track type \"INDEX\""},
        {"libcue/leak.cue", 1, "unknown command \"*\""},
        {"libcue/issue10.cue", 4, "track 01 has no INDEX 01"},
        {"whipper/kanye.cue", 85, "MODEx/2xxx"},
        {"flacon/testCue__10_First_index00.cue", 15, "TRACK 09 follows TRACK 02"},
        {"cue-parser-js/sample.cue", 32, "time 9999:05:10 is out of range"},
        {"libcdio/bad-mode1.cue", 6, "unknown track type \"MODE3_FORM1\""},
        {"libcdio/bad-msf-1.cue", 7, "time 00:00:100 is out of range"},
        {"libcdio/bad-msf-2.cue", 7, "time 00:90:00 is out of range"},
        {"libcdio/bad-msf-3.cue", 7, "time \"xx:yy:0\" is not of the form mm:ss:ff"},
    };
    for (const Row& row : rows) {
        const std::string sheet = kRealData + "/" + row.sheet;
        DiscImage disc;
        std::string error;
        EXPECT_FALSE(LoadCueSheet(sheet, disc, error)) << row.sheet;
        EXPECT_EQ(ExpectNamedError(sheet, error), row.line) << error;
        EXPECT_NE(error.find(row.problem), std::string::npos) << error;
    }
}

// The FLAC test suite's malformed sheets: the line of the fault, or of the FILE line of the
// missing "z.wav" where the fault does not touch the disc (a second CATALOG, an ISRC).
TEST(CueRealData, FlacTestSuiteBadSheetsAllFailNamingTheirLine) {
    const std::map<std::string, int> lines = {
        {"bad.000", 3}, {"bad.001", 2}, {"bad.002", 2},   {"bad.003", 2}, {"bad.030", 1},
        {"bad.031", 1}, {"bad.032", 1}, {"bad.060", 2},   {"bad.061", 4}, {"bad.062", 4},
        {"bad.063", 4}, {"bad.064", 5}, {"bad.065", 104}, {"bad.066", 4}, {"bad.067", 4},
        {"bad.068", 4}, {"bad.069", 1}, {"bad.070", 1},   {"bad.071", 1}, {"bad.110", 1},
        {"bad.111", 1}, {"bad.112", 1}, {"bad.113", 1},   {"bad.114", 1}, {"bad.130", 2},
        {"bad.131", 2}, {"bad.132", 2}, {"bad.133", 2},   {"bad.134", 2}, {"bad.135", 2},
        {"bad.136", 2}, {"bad.137", 2}, {"bad.138", 6},   {"bad.139", 2}, {"bad.140", 0},
        {"bad.200", 0}, {"bad.201", 0}, {"bad.202", 0},   {"bad.230", 0}, {"bad.231", 0},
        {"bad.232", 0}, {"bad.233", 0}, {"bad.234", 0},   {"bad.235", 0},
    };
    size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kRealData + "/flac_cuesheets")) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("bad.") || entry.path().extension() != ".cue") {
            continue;
        }
        ++seen;
        const auto expected = lines.find(name.substr(0, 7));
        ASSERT_NE(expected, lines.end()) << name;
        DiscImage disc;
        std::string error;
        EXPECT_FALSE(LoadCueSheet(entry.path().string(), disc, error)) << name;
        EXPECT_EQ(ExpectNamedError(entry.path().string(), error), expected->second) << error;
    }
    EXPECT_EQ(seen, lines.size());
}

// libcue keeps global state: loads from several threads at once must not disturb one another.
TEST(CueRealData, ThreadsLoadingAtOnceGetWhatOneThreadGets) {
    const std::vector<std::string> sheets = AllSheets();
    std::vector<std::string> alone;
    for (const std::string& sheet : sheets) {
        DiscImage disc;
        std::string error;
        alone.push_back(LoadCueSheet(sheet, AssumedLengths(), disc, error)
                            ? std::to_string(disc.leadOut) + "/" +
                                  std::to_string(disc.cdText.size())
                            : error);
    }
    std::vector<std::vector<std::string>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&sheets, &result] {
            for (const std::string& sheet : sheets) {
                DiscImage disc;
                std::string error;
                result.push_back(LoadCueSheet(sheet, AssumedLengths(), disc, error)
                                     ? std::to_string(disc.leadOut) + "/" +
                                           std::to_string(disc.cdText.size())
                                     : error);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, alone);
    }
}

} // namespace
