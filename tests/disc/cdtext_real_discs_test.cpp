// The pack walk on CD-Text read from real discs (and from discs mastering tools wrote). Where
// the dump's answer key and the walk agree, the key is asserted; where the walk's rules give
// something else, the test's name says which rule.
#include "disc/cdtext.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

struct RealDisc {
    const char* name;
    const char* file; // below the real-data folder
    bool hasHeader;   // the READ TOC header is there; otherwise the packs alone
    Items titles;     // items 0 .. n of pack type 0x80
    Items performers; // items 0 .. n of pack type 0x81
};

void PrintTo(const RealDisc& disc, std::ostream* out) {
    *out << disc.file;
}

// The answer a drive would give for the dump: packs alone get the 4-byte header in front.
std::vector<uint8_t> LoadResponse(const RealDisc& disc) {
    std::ifstream file(std::string(DISCOLO_REALDATA_DIR) + "/" + disc.file, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    if (disc.hasHeader || bytes.empty()) {
        return bytes;
    }
    const size_t dataLength = bytes.size() + 2;
    std::vector<uint8_t> response = {static_cast<uint8_t>(dataLength >> 8),
                                     static_cast<uint8_t>(dataLength), 0, 0};
    response.insert(response.end(), bytes.begin(), bytes.end());
    return response;
}

Items ItemsOf(uint8_t packType, const std::vector<uint8_t>& response, size_t count) {
    const int32_t length = std::min((response[0] << 8) | response[1], kDiscTextLengthCap);
    Items items;
    for (size_t i = 0; i < count; ++i) {
        items.push_back(ExtractDiscTextItem(packType, static_cast<int32_t>(i), response, length));
    }
    return items;
}

Items Repeat(const std::string& first, const std::string& rest, size_t restCount) {
    Items items{first};
    items.insert(items.end(), restCount, rest);
    return items;
}

const Items kHeathenTitles = {"Heathen",
                              "Sunday",
                              "Cactus",
                              "Slip Away",
                              "Slow Burn",
                              "Afraid",
                              "I've Been Waiting For You",
                              "I Would Be Your Slave",
                              "I Took A Trip On A Gemini Spaceship",
                              "5:15 The Angels Have Gone",
                              "Everyone Says 'Hi'",
                              "A Better Future",
                              "Heathen (The Rays)"};

Items Plus(Items items, const Items& more) {
    items.insert(items.end(), more.begin(), more.end());
    return items;
}

const RealDisc kRealDiscs[] = {
    {"GlassworksTrackPerformersAreEmpty",
     "amass/glassworks.cdtext.readtoc5.bin",
     true,
     {"Glassworks - Expanded Edition", "Glassworks: Opening", "Glassworks: Floe",
      "Glassworks: Islands", "Glassworks: Rubric", "Glassworks: Facades", "Glassworks: Closing",
      "In The Upper Room: Dance I", "In The Upper Room: Dance II", "In The Upper Room: Dance V",
      "In The Upper Room: Dance VIII", "In The Upper Room: Dance IX"},
     Repeat("Philip Glass Ensemble, Philip Glass, Michael Reisman", "", 11)},
    // The key lists track titles only; the disc title and performers are read off the dump.
    {"WonderWhatsNextTitleStartingMidPackIsFound",
     "amass/wonder_whats_next.cdtext.readtoc5.bin",
     true,
     {"Wonder What's Next", "Family System", "Comfortable Liar", "Send The Pain Below", "Closure",
      "The Red", "Wonder What's Next", "Don't Fake This", "Forfeit", "Grab Thy Hand",
      "An Evening With El Diablo", "One Lonely Visitor"},
     Repeat("Chevelle", "Chevelle", 11)},
    // The table of contents has a data track 13 that the CD-Text does not cover.
    {"HeathenDataTrackThirteenHasNoText", "libcueify/check_unportable.cdt", true,
     Plus(kHeathenTitles, {""}), Plus(Repeat("David Bowie", "David Bowie", 12), {""})},
    // Block 0 matches the key, its TABs included; block 1 follows. Its album title ("Païen")
    // reads empty behind block 0's padding nulls; its album performer had no padding before it.
    {"HeathenThreeLanguagesSecondBlockAlbumTitleReadsEmpty", "libcueify/check_cdtext.cdt", true,
     Plus(kHeathenTitles, {"", "\t"}),
     Plus(Repeat("David Bowie", "\t", 12), {"David Bowie", "\t"})},
    // The key repeats "Krosis" for every track; on the disc tracks 2-10 say TAB, "as before".
    {"KrosisRepeatedPerformersReadAsTab",
     "libcdio/cdtext-krosis.cdt",
     false,
     {"A Memoir of Free Will", "Gone But Not Forgotten", "Insanity A Moniker Of Me",
      "To Persist or Adhere", "An Elegy for a Man Alive", "Psychoticlysm", "An Intramural Madness",
      "Questions of a Holistic Divine", "With Virtue I Am Free", "Battles Are Won Within",
      "A Memior of Free Will"},
     Plus(Items{"Krosis"}, Repeat("Krosis", "\t", 9))},
    // Items 0-3 are the English block of the key. The German block counts on from item 4,
    // whose album texts read empty behind the English block's padding nulls.
    {"NightCatsGermanBlockCountsOnAfterAnEmptyItem",
     "libcdio/cdtext-libburnia.cdt",
     false,
     {"Night Cats II", "Song of Joy", "The Hunt", "Mee Owwww", "", "Freudenlied", "Die Jagd",
      "Mie auu", ""},
     {"United Cat Orchestra", "Felix and The Purrs", "Catwalk Beauties", "Mia Kitten", "",
      "Felix und Die Schnurrer", "Laufsteg Miezen", "Mia K\xe4tzchen", ""}},
    // The same layout from another mastering tool, with one stray byte after the last pack.
    {"JoyfulNightsGermanBlockCountsOnAfterAnEmptyItem",
     "libcdio/cdtext.cdt",
     false,
     {"Joyful Nights", "Song of Joy", "Humpty Dumpty", "Mee Owwww", "", "Lied der Freude",
      "Rubbeldiekatz", "Mie auu", ""},
     {"United Cat Orchestra", "Felix and The Purrs", "Catwalk Beauties", "Mia Kitten", "",
      "Felix und Die Schnurrer", "Katzengang Sch\xf6nheiten", "Mia K\xe4tzchen", ""}},
    {"VoiceOfTheGnuMatchesTheKey",
     "libcdio/history/cdtext_2011_gnu_single_language.cdt",
     false,
     {"The Voice of the Gnu", "I Will Survive", "A Forest Full of Gnus", "Gnu Opera", ""},
     {"A Gnu", "Gnu2", "Those Particular Gnus", "Whatwasitsname?", ""}},
    {"NeroChunkEmptyTrackTextsReadEmpty",
     "libcdio/p1.nrg.CDTX-chunk.cdt",
     false,
     {"Join us now we have the software", "", ""},
     {"Richard Stallman", "", ""}},
};

class RealDiscText : public ::testing::TestWithParam<RealDisc> {};

TEST_P(RealDiscText, TitlesAndPerformersUnderThePackWalk) {
    const RealDisc& disc = GetParam();
    const std::vector<uint8_t> response = LoadResponse(disc);
    ASSERT_GE(response.size(), 4u) << disc.file << " is missing";
    EXPECT_EQ(ItemsOf(0x80, response, disc.titles.size()), disc.titles);
    EXPECT_EQ(ItemsOf(0x81, response, disc.performers.size()), disc.performers);
}

INSTANTIATE_TEST_SUITE_P(Dumps, RealDiscText, ::testing::ValuesIn(kRealDiscs),
                         [](const ::testing::TestParamInfo<RealDisc>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
