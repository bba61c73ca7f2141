#include "cdtext/cdtext_encoder.h"

#include "tests/vdrive/libcdio_cdtext.h"
#include "tests/vdrive/pack_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cdtext::CdTextAlbum;
using cdtext::CdTextProblem;
using cdtext::EncodeCdText;
using cdtext::kCdTextPackSize;

const std::string kRealData = DISCOLO_REALDATA_DIR;

std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ' || text[i] == '\n') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

std::vector<uint8_t> Encode(const CdTextAlbum& album) {
    std::vector<uint8_t> packs;
    std::string error;
    EXPECT_TRUE(EncodeCdText(album, packs, error)) << error;
    return packs;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& packs, size_t index) {
    const auto begin = packs.begin() + static_cast<std::ptrdiff_t>(index * kCdTextPackSize);
    return {begin, begin + static_cast<std::ptrdiff_t>(kCdTextPackSize)};
}

TEST(CdTextEncoder, ReproducesTheWorkedExampleByteForByte) {
    CdTextAlbum album;
    album.title = "Album Title";
    album.performer = "Artist";
    album.tracks = {
        {"First Song", "Artist", ""}, {"Second", "Artist", ""}, {"Second", "Artist", ""}};
    const std::vector<uint8_t> expected = Hex(R"(
        80 00 00 00 41 6c 62 75 6d 20 54 69 74 6c 65 00 9d b9
        80 01 01 00 46 69 72 73 74 20 53 6f 6e 67 00 53 7b b2
        80 02 02 01 65 63 6f 6e 64 00 09 00 00 00 00 00 7e 21
        81 00 03 00 41 72 74 69 73 74 00 41 72 74 69 73 8d 24
        81 01 04 05 74 00 09 00 09 00 00 00 00 00 00 00 b9 5e
        8f 00 05 00 00 01 03 00 03 02 00 00 00 00 00 00 c9 40
        8f 01 06 00 00 00 00 00 00 00 00 03 07 00 00 00 94 f0
        8f 02 07 00 00 00 00 00 09 00 00 00 00 00 00 00 ea 42)");
    EXPECT_EQ(Encode(album), expected);
}

TEST(CdTextEncoder, ReEncodesANeroWrittenDiscByteForByte) {
    // Album title and performer, two tracks without texts.
    CdTextAlbum album;
    album.title = "Join us now we have the software";
    album.performer = "Richard Stallman";
    album.tracks.resize(2);
    EXPECT_EQ(Encode(album), ReadBytes(kRealData + "/libcdio/p1.nrg.CDTX-chunk.cdt"));
}

TEST(CdTextEncoder, ChecksumMatchesEveryPackOfRealDiscs) {
    struct Dump {
        std::string file;
        size_t header;
    };
    const std::vector<Dump> dumps = {
        {"fragments/libburn_doc_size_packs_example.bin", 0},
        {"libcdio/cdtext-krosis.cdt", 0},
        {"libcdio/cdtext-libburnia.cdt", 0},
        {"libcdio/cdtext.cdt", 0},
        {"libcueify/check_unportable.cdt", 4},
        {"libcueify/check_cdtext.cdt", 4},
        {"amass/glassworks.cdtext.readtoc5.bin", 4},
        {"amass/wonder_whats_next.cdtext.readtoc5.bin", 4},
    };
    for (const Dump& dump : dumps) {
        const std::vector<uint8_t> bytes = ReadBytes(kRealData + "/" + dump.file);
        const size_t packs = (bytes.size() - dump.header) / kCdTextPackSize;
        ASSERT_GT(packs, 2u) << dump.file;
        for (size_t i = 0; i < packs; ++i) {
            const auto pack =
                std::span(bytes).subspan(dump.header + i * kCdTextPackSize, kCdTextPackSize);
            const uint16_t stored = static_cast<uint16_t>((pack[16] << 8) | pack[17]);
            EXPECT_EQ(cdtext::CdTextCrc(pack.first(16)), stored) << dump.file << " pack " << i;
        }
    }
    EXPECT_EQ(cdtext::CdTextCrc(Hex("8f 00 2a 00 01 01 03 00 06 05 04 05 07 06 01 02")), 0x4865);
}

TEST(CdTextEncoder, EachPackNamesTheTrackAndCarriedCharactersOfItsFirstByte) {
    struct Row {
        std::string albumTitle;
        std::string trackTitle;
        std::vector<std::pair<int, int>> trackAndPosition; // per title pack
    };
    const std::vector<Row> rows = {
        // "Album Title\0" fills the first pack exactly: the next starts a new string.
        {"Album Title", "Song", {{0, 0}, {1, 0}}},
        // A 12-character title fills a pack; its NUL opens the next one at position 12.
        {"Twelve chars", "Song", {{0, 0}, {0, 12}}},
        // 24 carried characters are capped at 15.
        {"A title that runs over two packs", "", {{0, 0}, {0, 12}, {0, 15}}},
        // A string that began mid-pack: 2, then 14 characters carried (not 15).
        {"Nine char", "Twenty characters ok", {{0, 0}, {1, 2}, {1, 14}}},
    };
    for (const Row& row : rows) {
        CdTextAlbum album;
        album.title = row.albumTitle;
        album.tracks = {{row.trackTitle, "", ""}};
        const std::vector<uint8_t> packs = Encode(album);
        ASSERT_EQ(packs.size(), (row.trackAndPosition.size() + 3) * kCdTextPackSize)
            << row.albumTitle;
        for (size_t i = 0; i < row.trackAndPosition.size(); ++i) {
            const std::vector<uint8_t> pack = Pack(packs, i);
            EXPECT_EQ(pack[0], 0x80);
            EXPECT_EQ(pack[1], row.trackAndPosition[i].first) << row.albumTitle << " pack " << i;
            EXPECT_EQ(pack[2], i) << "sequence";
            EXPECT_EQ(pack[3], row.trackAndPosition[i].second) << row.albumTitle << " pack " << i;
        }
    }
}

TEST(CdTextEncoder, WritesOnlyTheTypesThatHaveTextAndCountsThemInTheSizePacks) {
    CdTextAlbum album;
    album.firstTrack = 3;
    album.tracks = {{"", "", "Writer"}, {"", "", ""}, {"", "", "Other writer"}};
    const std::vector<uint8_t> packs = Encode(album);
    // Songwriters: "\0" "Writer\0" "\0" "Other writer\0" = 22 bytes, two packs; then the size
    // packs.
    ASSERT_EQ(packs.size(), 5 * kCdTextPackSize);
    EXPECT_EQ(Pack(packs, 0)[0], 0x82);
    EXPECT_EQ(Pack(packs, 1)[0], 0x82);
    EXPECT_EQ(Pack(packs, 1)[1], 5) << "the second pack starts inside track 5's text";
    const std::vector<uint8_t> size0 = Pack(packs, 2);
    const std::vector<uint8_t> size1 = Pack(packs, 3);
    EXPECT_EQ(size0[5], 3) << "first track";
    EXPECT_EQ(size0[6], 5) << "last track";
    EXPECT_EQ(size0[8], 0) << "no title packs";
    EXPECT_EQ(size0[9], 0) << "no performer packs";
    EXPECT_EQ(size0[10], 2) << "songwriter packs";
    EXPECT_EQ(size1[4 + 7], 3) << "size packs";
    EXPECT_EQ(size1[4 + 8], 4) << "last sequence number";

    const std::vector<uint8_t> first = Pack(packs, 0);
    EXPECT_EQ(std::string(first.begin() + 4, first.begin() + 16),
              std::string("\0Writer\0\0Oth", 12));
    EXPECT_EQ(Pack(packs, 1)[3], 3) << "three characters of \"Other writer\" came before";

    // libcdio 2.1 files the strings of a first pack under the wrong tracks when the first track
    // is not 1, so only what it reads from the size packs and the second pack is compared.
    const LibcdioText decoded = DecodeWithLibcdio(packs);
    EXPECT_EQ(decoded.firstTrack, 3);
    EXPECT_EQ(decoded.lastTrack, 5);
    EXPECT_EQ(decoded.Get(CDTEXT_FIELD_SONGWRITER, 5), "Other writer");
}

TEST(CdTextEncoder, StoresIso88591AndMarksWhatDoesNotFit) {
    CdTextAlbum album;
    album.title = "Caf\u00e9 No\u00efr \u20ac";
    album.tracks = {{"\u00c5ngstr\u00f6m", "", ""}};
    const std::vector<uint8_t> packs = Encode(album);
    EXPECT_EQ(Pack(packs, 0)[7], 0xE9) << "e acute is one ISO-8859-1 byte";
    const LibcdioText decoded = DecodeWithLibcdio(packs);
    EXPECT_EQ(decoded.Get(CDTEXT_FIELD_TITLE, 0), "Caf\u00e9 No\u00efr ?");
    EXPECT_EQ(decoded.Get(CDTEXT_FIELD_TITLE, 1), "\u00c5ngstr\u00f6m");
    EXPECT_EQ(decoded.language, CDTEXT_LANGUAGE_ENGLISH);
}

TEST(CdTextEncoder, RepeatsAsTabOnlyWhenAskedAndNeverForTheFirstTrack) {
    CdTextAlbum album;
    album.performer = "Same";
    album.tracks = {{"", "Same", ""}, {"", "Same", ""}};
    const std::vector<uint8_t> withTab = Encode(album);
    // "Same\0" "Same\0" "\t\0": the TAB stands at byte 10 of the payload.
    EXPECT_EQ(Pack(withTab, 0)[4 + 10], 0x09);
    album.repeatAsTab = false;
    const std::vector<uint8_t> spelled = Encode(album);
    EXPECT_EQ(Pack(spelled, 0)[4 + 10], 'S');
    for (const auto& packs : {withTab, spelled}) {
        const LibcdioText decoded = DecodeWithLibcdio(packs);
        EXPECT_TRUE(decoded.accepted);
        EXPECT_EQ(decoded.Get(CDTEXT_FIELD_PERFORMER, 1), "Same");
        EXPECT_EQ(decoded.Get(CDTEXT_FIELD_PERFORMER, 2), "Same");
    }
}

TEST(CdTextEncoder, FillsTheLast253TextPacksAndRefusesOneMore) {
    CdTextAlbum album;
    album.tracks = {{"t", "", ""}};
    album.title = std::string(253 * 12 - 3, 'x'); // with its NUL and the track's "t\0": 253 packs
    std::vector<uint8_t> packs;
    CdTextProblem problem;
    EXPECT_TRUE(EncodeCdText(album, packs, problem)) << problem.message;
    EXPECT_EQ(packs.size(), 256 * kCdTextPackSize);
    EXPECT_EQ(Pack(packs, 255)[2], 255) << "the last size pack takes sequence number 255";

    album.title += 'x';
    EXPECT_FALSE(EncodeCdText(album, packs, problem));
    EXPECT_EQ(problem.packType, cdtext::kPackTitle);
    EXPECT_EQ(problem.track, 1);
    EXPECT_NE(problem.message.find("track 1 title"), std::string::npos) << problem.message;
    EXPECT_TRUE(packs.empty());
}

TEST(CdTextEncoder, HandlesEmptyAndImpossibleAlbums) {
    std::vector<uint8_t> packs = {1, 2, 3};
    std::string error;
    CdTextAlbum silent;
    silent.tracks.resize(5);
    EXPECT_TRUE(EncodeCdText(silent, packs, error));
    EXPECT_TRUE(packs.empty()) << "no text, no CD-Text";

    CdTextAlbum noTracks;
    noTracks.title = "Album";
    EXPECT_FALSE(EncodeCdText(noTracks, packs, error));
    EXPECT_FALSE(error.empty());

    CdTextAlbum pastNinetyNine;
    pastNinetyNine.title = "Album";
    pastNinetyNine.firstTrack = 98;
    pastNinetyNine.tracks.resize(3);
    EXPECT_FALSE(EncodeCdText(pastNinetyNine, packs, error));
    EXPECT_NE(error.find("98-100"), std::string::npos) << error;
}

// The title, performer and songwriter packs of real discs come first in their block, so
// encoding the same texts must give the same bytes: track numbers, character positions,
// sequence numbers and checksums included. Sony's mastering spells repeated texts out; the
// Krosis disc repeats them with TAB.
TEST(CdTextEncoder, ReEncodingAPressedDiscsTextsGivesItsPacksByteForByte) {
    struct Dump {
        std::string file;
        size_t header;
        int tracks;
        bool repeatAsTab;
    };
    const std::vector<Dump> dumps = {
        {"libcdio/cdtext-krosis.cdt", 0, 10, true},
        {"amass/glassworks.cdtext.readtoc5.bin", 4, 11, false},
        {"amass/wonder_whats_next.cdtext.readtoc5.bin", 4, 11, false},
        {"libcueify/check_unportable.cdt", 4, 12, false},
    };
    for (const Dump& dump : dumps) {
        std::vector<uint8_t> disc = ReadBytes(kRealData + "/" + dump.file);
        disc.erase(disc.begin(), disc.begin() + static_cast<std::ptrdiff_t>(dump.header));
        const size_t items = static_cast<size_t>(dump.tracks) + 1;
        const auto titles = PackStrings(disc, 0x80, items);
        const auto performers = PackStrings(disc, 0x81, items);
        const auto songwriters = PackStrings(disc, 0x82, items);
        CdTextAlbum album;
        album.repeatAsTab = dump.repeatAsTab;
        album.title = titles[0];
        album.performer = performers[0];
        album.songwriter = songwriters[0];
        for (size_t i = 1; i < items; ++i) {
            album.tracks.push_back({titles[i], performers[i], songwriters[i]});
        }
        size_t textPacks = 0;
        while (textPacks * kCdTextPackSize < disc.size() &&
               disc[textPacks * kCdTextPackSize] <= 0x82) {
            ++textPacks;
        }
        ASSERT_GT(textPacks, 5u) << dump.file;
        std::vector<uint8_t> packs = Encode(album);
        ASSERT_GE(packs.size(), textPacks * kCdTextPackSize) << dump.file;
        packs.resize(textPacks * kCdTextPackSize);
        disc.resize(textPacks * kCdTextPackSize);
        EXPECT_EQ(packs, disc) << dump.file;
    }
}

// Decode a real disc's packs with libcdio, encode its texts again and decode ours: the same texts.
TEST(CdTextEncoder, RealDiscTextsSurviveARoundTripThroughLibcdio) {
    struct Dump {
        std::string file;
        size_t header;
        int tracks;
    };
    const std::vector<Dump> dumps = {
        {"libcdio/cdtext-krosis.cdt", 0, 10},
        {"libcdio/cdtext-libburnia.cdt", 0, 3},
        {"libcdio/cdtext.cdt", 0, 3},
        {"libcdio/history/cdtext_2011_gnu_single_language.cdt", 0, 3},
        {"libcueify/check_unportable.cdt", 4, 12},
        {"amass/glassworks.cdtext.readtoc5.bin", 4, 11},
        {"amass/wonder_whats_next.cdtext.readtoc5.bin", 4, 11},
    };
    for (const Dump& dump : dumps) {
        std::vector<uint8_t> bytes = ReadBytes(kRealData + "/" + dump.file);
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(dump.header));
        bytes.resize(bytes.size() / kCdTextPackSize * kCdTextPackSize);
        const LibcdioText original = DecodeWithLibcdio(bytes);
        ASSERT_EQ(original.lastTrack - original.firstTrack + 1, dump.tracks) << dump.file;
        ASSERT_FALSE(original.Get(CDTEXT_FIELD_TITLE, 1).empty()) << dump.file;

        CdTextAlbum album;
        album.firstTrack = original.firstTrack;
        album.title = original.Get(CDTEXT_FIELD_TITLE, 0);
        album.performer = original.Get(CDTEXT_FIELD_PERFORMER, 0);
        album.songwriter = original.Get(CDTEXT_FIELD_SONGWRITER, 0);
        for (int track = original.firstTrack; track <= original.lastTrack; ++track) {
            album.tracks.push_back({original.Get(CDTEXT_FIELD_TITLE, track),
                                    original.Get(CDTEXT_FIELD_PERFORMER, track),
                                    original.Get(CDTEXT_FIELD_SONGWRITER, track)});
        }
        const LibcdioText again = DecodeWithLibcdio(Encode(album));
        EXPECT_TRUE(again.accepted) << dump.file;
        EXPECT_EQ(again.firstTrack, original.firstTrack) << dump.file;
        EXPECT_EQ(again.lastTrack, original.lastTrack) << dump.file;
        for (int track = 0; track <= original.lastTrack; ++track) {
            for (const cdtext_field_t field :
                 {CDTEXT_FIELD_TITLE, CDTEXT_FIELD_PERFORMER, CDTEXT_FIELD_SONGWRITER}) {
                EXPECT_EQ(again.Get(field, track), original.Get(field, track))
                    << dump.file << " track " << track << " field " << field;
            }
        }
    }
}

} // namespace
