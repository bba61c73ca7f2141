// The packs of a disc's names read back as the window reads them, and the texts made fit for
// the single-byte CD-Text the window reads.
#include "cdtext/cdtext_encoder.h"
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "drive/big_endian.h"
#include "names/name_packs.h"
#include "names/romanize.h"
#include "player/track_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TrackTable Table(int first, int tracks, int dataTracks = 0) {
    TrackTable table;
    table.firstTrack = first;
    table.lastTrack = first + tracks - 1;
    for (int i = 0; i < tracks; ++i) {
        table.tracks.push_back({first + i, i * 1000, i < tracks - dataTracks, i * 1000 / 450});
    }
    table.hasAudio = true;
    table.leadOutStart = tracks * 1000;
    return table;
}

// The window's texts for the packs: what the refresh puts in the selector, the performer rows
// and the title field.
DiscTexts AsTheWindowReadsThem(const std::vector<uint8_t>& packs, const TrackTable& table) {
    std::vector<uint8_t> response(4 + packs.size());
    WriteBe16(response, 0, static_cast<uint32_t>(2 + packs.size()));
    std::copy(packs.begin(), packs.end(), response.begin() + 4);
    const auto length = static_cast<int32_t>(2 + packs.size());
    EXPECT_TRUE(IsUsableDiscText(response, length));
    const DiscTextItems items(response, length);
    return MakeDiscTexts(table, &items);
}

std::string Latin1(const std::string& utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(0xC0 | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else if (c == 0xC2 && i + 1 < utf8.size()) {
            bytes += utf8[++i];
        } else {
            bytes += utf8[i];
        }
    }
    return bytes;
}

TEST(Romanize, KeepsIsoLatin1AndRomanizesEveryOtherScript) {
    struct Row {
        const char* utf8;
        const char* latin1; // written as UTF-8 here, for reading
    };
    const Row rows[] = {
        {"José González", "José González"},
        {"Marina & the Diamonds", "Marina & the Diamonds"},
        {"God Bless the Go\u2010Go\u2019s", "God Bless the Go-Go's"},
        {"\u0427\u0430\u0439\u043a\u043e\u0432\u0441\u043a\u0438\u0439", "Cajkovskij"},
        {"\u03a3\u03c9\u03ba\u03c1\u03ac\u03c4\u03b7\u03c2", "Sokrátes"},
        {"\u30b1\u30a2\u30ec\u30b9", "kearesu"},
        {"  Two\tlines\r\nand\x01 a bell\x07  ", "Two lines and a bell"},
        {"Caf\xC3", "Caf"},                        // broken UTF-8 at the end
        {"\U0001F3B5 only a note", "only a note"}, // what no step can write is left out
    };
    for (const Row& row : rows) {
        EXPECT_EQ(names::RomanizeToLatin1(row.utf8), Latin1(row.latin1)) << row.utf8;
    }
}

TEST(NamePacks, TheWindowReadsTheNamesOfEveryTrack) {
    names::DiscNames disc;
    disc.albumTitle = "Rock & Roll \u2013 Live";
    disc.albumPerformer = "Marina & the Diamonds";
    disc.tracks = {{"Intro", ""}, {"", ""}, {"Duet", "Marina feat. \u00c9lodie"}, {"Outro", ""}};
    const TrackTable table = Table(3, 5, 1); // tracks 3-7, the last one data, not listed
    const std::vector<uint8_t> packs = names::BuildNamePacks(disc, table);
    ASSERT_FALSE(packs.empty());
    ASSERT_EQ(packs.size() % 18, 0u);
    for (size_t at = 0; at < packs.size(); at += 18) {
        const std::span<const uint8_t> pack(packs.data() + at, 18);
        EXPECT_EQ(cdtext::CdTextCrc(pack.first(16)), ReadBe16(pack, 16)) << "pack " << at / 18;
    }

    const DiscTexts texts = AsTheWindowReadsThem(packs, table);
    EXPECT_EQ(texts.albumTitle, "Rock && Roll - Live");
    ASSERT_EQ(texts.tracks.size(), 5u);
    const std::vector<std::string> entries = {"[03]  Intro", "[04]  [untitled]", "[05]  Duet",
                                              "[06]  Outro", "[07]  [data track]"};
    const std::vector<std::string> performers = {
        "Marina && the Diamonds", "Marina && the Diamonds", Latin1("Marina feat. Élodie"),
        "Marina && the Diamonds", "Marina && the Diamonds"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(texts.tracks[i].entry, entries[i]);
        EXPECT_EQ(texts.tracks[i].performer.value_or("none"), performers[i]);
    }
}

TEST(NamePacks, LongNamesAreShortenedFairlyAndEveryTrackKeepsOne) {
    names::DiscNames disc;
    disc.albumTitle = std::string(300, 'A');
    disc.albumPerformer = std::string(150, 'P');
    for (int i = 0; i < 99; ++i) {
        disc.tracks.push_back({"Title " + std::to_string(i) + std::string(200, 't'),
                               "Performer " + std::to_string(i) + std::string(200, 'p')});
    }
    const TrackTable table = Table(1, 99);
    const std::vector<uint8_t> packs = names::BuildNamePacks(disc, table);
    ASSERT_FALSE(packs.empty());
    EXPECT_LE(packs.size(), 256u * 18);

    const names::PackTexts fitted = names::FitNames(disc, table);
    const size_t cap = fitted.titles.front().size();
    EXPECT_GE(cap, 10u);
    for (size_t i = 0; i < 99; ++i) {
        EXPECT_EQ(fitted.titles[i].size(), cap) << i;
        EXPECT_EQ(fitted.performers[i].size(), cap) << i;
    }
    const DiscTexts texts = AsTheWindowReadsThem(packs, table);
    ASSERT_EQ(texts.tracks.size(), 99u);
    EXPECT_EQ(texts.tracks[98].entry, "[99]  " + fitted.titles[98]);
    EXPECT_EQ(texts.tracks[98].performer.value_or(""), fitted.performers[98]);

    // Names that fit are kept whole, each cut only to its field in the window.
    names::DiscNames few;
    few.albumTitle = std::string(250, 'a');
    few.albumPerformer = "Band";
    few.tracks = {{std::string(120, 'x'), ""}};
    const names::PackTexts kept = names::FitNames(few, Table(1, 1));
    EXPECT_EQ(kept.albumTitle.size(), kItemTextLimit);
    EXPECT_EQ(kept.titles[0].size(), kLabelTitleLimit);
}

} // namespace
