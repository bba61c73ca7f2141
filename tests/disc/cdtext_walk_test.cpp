// The pack walk on answers built like real discs'. Every pack here carries a CRC of 0, which
// the walk never checks. Each item is read both ways the player reads items, one at a time and
// all from one walk, and both must give the text the row expects.
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "tests/disc/cdtext_packs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

// One item as ExtractDiscTextItem gives it, after checking that DiscTextItems gives the same.
std::string Item(uint8_t packType, int32_t index, const std::vector<uint8_t>& response,
                 int32_t length) {
    const std::string one = ExtractDiscTextItem(packType, index, response, length);
    EXPECT_EQ(DiscTextItems(response, length).Item(packType, index), one)
        << "item " << index << " from one walk of every item";
    return one;
}

// Items 0 .. n-1 of one pack type.
Items ItemsOf(uint8_t packType, const std::vector<uint8_t>& response, size_t count) {
    Items items;
    for (size_t i = 0; i < count; ++i) {
        items.push_back(
            Item(packType, static_cast<int32_t>(i), response, AnnouncedLength(response)));
    }
    return items;
}

Packs PackAt(const Packs& packs, size_t k) {
    return Packs(packs.begin() + static_cast<long>(18 * k),
                 packs.begin() + static_cast<long>(18 * k + 18));
}

struct WalkCase {
    const char* name;
    std::vector<uint8_t> response;
    uint8_t packType;
    Items items; // items 0, 1, ... in order
};

TEST(DiscTextWalk, PicksItemsByTheirPlaceInThePackStream) {
    const Packs titles = EncodePacks(0x80, {"Album", "One", "Two"});
    const Packs performers = EncodePacks(0x81, {"Band", "Singer", "Duo"});        // two packs
    const Packs longTitles = EncodePacks(0x80, {"Album", "Longer title", "Two"}); // two packs
    const WalkCase cases[] = {
        {"items follow one another across packs",
         DiscTextResponse({titles}),
         0x80,
         {"Album", "One", "Two", ""}},
        {"an empty item reads the next one as empty and shifts the rest down",
         DiscTextResponse({EncodePacks(0x80, {"X", "", "Y", "Z"})}),
         0x80,
         {"X", "", "Z", ""}},
        {"an empty item at the start of a pack does the same",
         DiscTextResponse({EncodePacks(0x80, {"0123456789A", "", "Y", "Z"})}),
         0x80,
         {"0123456789A", "", "Z", ""}},
        {"a text ending with its pack is ended by the next pack's null",
         DiscTextResponse({EncodePacks(0x80, {"ABCDEFGHIJKL", "Next", "Two"})}),
         0x80,
         {"ABCDEFGHIJKL", "Next", "Two", ""}},
        {"a next pack that claims character position 0 swallows the following item",
         DiscTextResponse({RawPack(0x80, 0, "ABCDEFGHIJKL"),
                           RawPack(0x80, 0, std::string("\0Next\0Two\0", 10))}),
         0x80,
         {"ABCDEFGHIJKL", "Two", ""}},
        {"performers of the disc and two of four tracks leave tracks 3 and 4 empty",
         DiscTextResponse({titles, performers}),
         0x81,
         {"Band", "Singer", "Duo", "", ""}},
        {"a TAB item is the text TAB",
         DiscTextResponse({EncodePacks(0x81, {"Krosis", "Krosis", "\t", "\t"})}),
         0x81,
         {"Krosis", "Krosis", "\t", "\t", ""}},
        {"other pack types before, among and after the titles change nothing",
         DiscTextResponse({EncodePacks(0x8F, {"size"}), PackAt(longTitles, 0),
                           EncodePacks(0x82, {"Writer", "Someone"}), PackAt(longTitles, 1),
                           EncodePacks(0x87, {"Genre"}), EncodePacks(0x81, {"Band", "Singer"})}),
         0x80,
         {"Album", "Longer title", "Two", ""}},
        {"other pack types among the performers change nothing either",
         DiscTextResponse({titles, PackAt(performers, 0), EncodePacks(0x8E, {"ISRC00000001"}),
                           PackAt(performers, 1)}),
         0x81,
         {"Band", "Singer", "Duo", ""}},
        {"two language blocks count on; the second block's first item reads empty",
         DiscTextResponse(
             {EncodePacks(0x80, {"Album", "One"}, 0), EncodePacks(0x80, {"Album2", "Eins"}, 1)}),
         0x80,
         {"Album", "One", "", "Eins", ""}},
        {"a block whose last pack has no padding lets the next block's first item through",
         DiscTextResponse(
             {EncodePacks(0x80, {"Album", "Track"}, 0), EncodePacks(0x80, {"Album2", "Eins"}, 1)}),
         0x80,
         {"Album", "Track", "Album2", "Eins", ""}},
        {"a disc without titles has none",
         DiscTextResponse({EncodePacks(0x81, {"Band", "Singer"})}),
         0x80,
         {"", ""}},
    };
    for (const WalkCase& c : cases) {
        EXPECT_EQ(ItemsOf(c.packType, c.response, c.items.size()), c.items) << c.name;
    }
}

TEST(DiscTextWalk, AmpersandsAreDoubledExceptInTrackTitles) {
    const std::vector<uint8_t> response =
        DiscTextResponse({EncodePacks(0x80, {"Rock & Roll", "Rock & Roll", "&&"}),
                          EncodePacks(0x81, {"Me & You", "Me & You"})});
    const int32_t length = AnnouncedLength(response);
    EXPECT_EQ(Item(0x80, 0, response, length), "Rock && Roll") << "album title";
    EXPECT_EQ(Item(0x80, 1, response, length), "Rock & Roll") << "track title";
    EXPECT_EQ(Item(0x80, 2, response, length), "&&") << "track title";
    EXPECT_EQ(Item(0x81, 0, response, length), "Me && You") << "disc performer";
    EXPECT_EQ(Item(0x81, 1, response, length), "Me && You") << "track performer";
}

TEST(DiscTextWalk, AnItemKeepsItsFirstFourHundredNinetyNineBytes) {
    const std::string a498(498, 'a');
    const std::string b600(600, 'b');
    const struct {
        const char* name;
        uint8_t packType;
        std::vector<std::string> texts;
        int32_t index;
        std::string item;
    } rows[] = {
        {"a long title", 0x80, {b600, "Next"}, 0, std::string(499, 'b')},
        {"the item after a long one", 0x80, {b600, "Next"}, 1, "Next"},
        {"a doubled ampersand that fits",
         0x80,
         {std::string(497, 'a') + "&bc"},
         0,
         std::string(497, 'a') + "&&"},
        {"a doubled ampersand that does not fit goes whole, and so does the rest",
         0x80,
         {a498 + "&bc"},
         0,
         a498},
        {"the same after a long item, whose bytes do not show through",
         0x81,
         {b600, a498 + "&bc"},
         1,
         a498},
        {"a track title's single ampersand fits", 0x80, {"Album", a498 + "&bc"}, 1, a498 + "&"},
        {"a short item after a cut one reads whole", 0x80, {a498 + "&bc", "Short"}, 1, "Short"},
        {"an album title of ampersands keeps the pairs that fit",
         0x80,
         {std::string(300, '&'), "One"},
         0,
         std::string(498, '&')},
    };
    for (const auto& row : rows) {
        const std::vector<uint8_t> response =
            DiscTextResponse({EncodePacks(row.packType, row.texts)});
        EXPECT_EQ(Item(row.packType, row.index, response, AnnouncedLength(response)), row.item)
            << row.name;
    }
}

TEST(DiscTextWalk, ReadsNothingOutsideTheResponseWhateverTheLengthClaims) {
    const std::vector<uint8_t> response =
        DiscTextResponse({EncodePacks(0x80, {"Album", "One", "Two"})}); // two packs
    const auto cut = [&](size_t size) {
        return std::vector<uint8_t>(response.begin(), response.begin() + static_cast<long>(size));
    };
    const struct {
        const char* name;
        std::vector<uint8_t> response;
        int32_t length;
        int32_t index;
        std::string item;
    } rows[] = {
        {"length beyond the response", response, 30000, 2, "Two"},
        {"largest length", response, INT32_MAX, 1, "One"},
        {"negative length", response, -1, 0, ""},
        {"most negative length", response, INT32_MIN, 0, ""},
        {"length of one pack walks one", response, 35, 2, ""},
        {"a pack cut short is not read", cut(4 + 18 + 17), 38, 2, ""},
        {"the whole pack before it is", cut(4 + 18 + 17), 38, 1, "One"},
        {"no room for the header", cut(3), 38, 0, ""},
        {"header only", cut(4), 38, 0, ""},
        {"empty response", {}, 38, 0, ""},
        {"negative item", response, 38, -1, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Item(0x80, row.index, row.response, row.length), row.item) << row.name;
    }
}

} // namespace
