// Choosing the release that is the disc, in real answers of the web service, and reading answers
// that are not what they should be.
#include "names/answer_parse.h"
#include "names/release_choice.h"
#include "tests/support/lookup_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lookup_test::RecordedAnswer;

// A disc as the layer knows it, from the lookup's table ("1+13+205050+150+...").
names::DiscIdentity Disc(const std::string& toc, const std::string& id) {
    std::vector<int32_t> numbers;
    size_t at = 0;
    while (at <= toc.size()) {
        const size_t plus = toc.find('+', at);
        numbers.push_back(std::stoi(toc.substr(at, plus - at)));
        at = plus == std::string::npos ? toc.size() + 1 : plus + 1;
    }
    names::DiscIdentity disc;
    disc.id = id;
    disc.firstTrack = numbers[0];
    disc.lastTrack = numbers[1];
    disc.leadOut = numbers[2];
    disc.offsets.assign(numbers.begin() + 3, numbers.end());
    return disc;
}

const std::string kAnthologyDisc2 = "1+19+338952+150+18064+34719+48510+64506+82409+99569+117860+"
                                    "137646+147539+166275+184290+205587+223455+241522+258378+"
                                    "275550+294931+320173";
const std::string kFamilyJewels =
    "1+13+205050+150+15239+29625+45763+61420+75862+91642+108918+123698+139895+153589+169239+188495";

std::vector<names::Release> Releases(const char* file) {
    const auto releases = names::ParseLookupAnswer(RecordedAnswer(file));
    EXPECT_TRUE(releases.has_value()) << file;
    return releases.value_or(std::vector<names::Release>{});
}

TEST(ReleaseChoice, TheDiscIdPicksTheMediumOfTheReleaseThatListsIt) {
    const auto releases = Releases("release_with_multiple_discs.json");
    ASSERT_EQ(releases.size(), 4u);
    const auto disc = Disc(kAnthologyDisc2, "XoGwK8t1eeR.pBP8rWC1qTQniCU-");
    const auto choice = names::ChooseRelease(releases, disc);
    ASSERT_TRUE(choice.has_value());
    EXPECT_TRUE(choice->exact);
    EXPECT_EQ(releases[choice->release].id.substr(0, 8), "ec2ad803");
    EXPECT_EQ(choice->medium, 1u);

    const names::DiscNames names =
        names::NamesOf(releases[choice->release], choice->medium, choice->why);
    EXPECT_EQ(names.albumTitle, "THE TORTURED POETS DEPARTMENT: THE ANTHOLOGY (disc 2)");
    EXPECT_EQ(names.albumPerformer, "Taylor Swift");
    ASSERT_EQ(names.tracks.size(), 19u);
    EXPECT_EQ(names.tracks[0].title, "The Black Dog");
    EXPECT_EQ(names.tracks[0].performer, ""); // the album's
    EXPECT_EQ(names.tracks[8].title, "I Look in People\u2019s Windows");
    EXPECT_EQ(names.tracks[15].performer, "Taylor Swift feat. Post Malone");

    // The same disc read with a lead-out 27 frames earlier: no ID matches, the table does.
    auto shorter = Disc(kAnthologyDisc2, "someOtherIdOfTwentyEightChr-");
    shorter.leadOut = 338925;
    const auto fuzzy = names::ChooseRelease(releases, shorter);
    ASSERT_TRUE(fuzzy.has_value());
    EXPECT_FALSE(fuzzy->exact);
    EXPECT_EQ(fuzzy->release, choice->release);
    EXPECT_EQ(fuzzy->medium, 1u);
}

TEST(ReleaseChoice, AFuzzyAnswerGivesTheMatchingReleaseAndNeverAnUnrelatedOne) {
    const auto releases = Releases("fuzzy_response.json");
    ASSERT_EQ(releases.size(), 5u);
    const auto choice =
        names::ChooseRelease(releases, Disc(kFamilyJewels, "6jCVgqiBloWPfG27I5IfdbECRQU-"));
    ASSERT_TRUE(choice.has_value());
    EXPECT_FALSE(choice->exact);
    // Three releases list the same table: the earliest one wins.
    EXPECT_EQ(releases[choice->release].date, "2010-02-22");
    EXPECT_EQ(releases[choice->release].title, "The Family Jewels");
    const names::DiscNames names =
        names::NamesOf(releases[choice->release], choice->medium, choice->why);
    EXPECT_EQ(names.albumTitle, "The Family Jewels"); // one medium: the release's title
    EXPECT_EQ(names.albumPerformer, "Marina & the Diamonds");
    ASSERT_EQ(names.tracks.size(), 13u);
    EXPECT_EQ(names.tracks[12].title, "Guilty");

    // A 13-track disc whose tracks start elsewhere is none of them, though all have 13 tracks.
    auto other = Disc(kFamilyJewels, "6jCVgqiBloWPfG27I5IfdbECRQU-");
    for (size_t i = 1; i < other.offsets.size(); ++i) {
        other.offsets[i] += 40;
    }
    EXPECT_FALSE(names::ChooseRelease(releases, other).has_value());
}

TEST(AnswerParse, GarbageGivesNothingOrNoReleases) {
    struct Case {
        QByteArray json;
        bool parses;
    };
    const Case cases[] = {
        {"", false},
        {"[1, 2]", false},
        {"{\"releases\": [", false},
        {"\xFF\xFE{}", false},
        {"{}", true},
        {"{\"releases\": 5}", true},
        {"{\"releases\": [1, \"x\", null, {\"media\": {\"tracks\": 3}}]}", true},
        {"{\"releases\": [{\"title\": 7, \"media\": [{\"discs\": [{\"offsets\": [\"a\", -5, "
         "1e300]}], "
         "\"tracks\": [{\"title\": [], \"artist-credit\": [{\"name\": {}}]}]}]}]}",
         true},
        {QByteArray(names::kLongestAnswer + 1, ' '), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.left(60).toStdString());
        const auto releases = names::ParseLookupAnswer(c.json);
        ASSERT_EQ(releases.has_value(), c.parses);
        for (const names::Release& release : releases.value_or(std::vector<names::Release>{})) {
            for (const names::ReleaseMedium& medium : release.media) {
                for (const names::SubmittedDisc& disc : medium.discs) {
                    for (const int32_t offset : disc.offsets) {
                        EXPECT_GE(offset, 0);
                    }
                }
            }
        }
    }
    // Texts are bounded whatever comes.
    const QByteArray longTitle =
        "{\"releases\": [{\"title\": \"" + QByteArray(5000, 'x') + "\u00e9\"}]}";
    const auto releases = names::ParseLookupAnswer(longTitle);
    ASSERT_TRUE(releases && releases->size() == 1);
    EXPECT_LE((*releases)[0].title.size(), names::kLongestText);
}

} // namespace
