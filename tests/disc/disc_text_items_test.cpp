// The one-walk decoder against the one-item walk it stands in for: on every real CD-Text dump
// and on random pack streams, every item it gives must be the text ExtractDiscTextItem gives.
// Both share the walk and the item rules; what this checks is how the one-walk decoder keeps
// every type's items and finds one again (the texts themselves are checked in tests/disc).
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Compares every item from firstIndex to lastIndex of packType; on the first difference tells
// which item differs and stops, so a broken decoder does not flood the log.
::testing::AssertionResult SameItems(const Bytes& response, int32_t length, uint8_t packType,
                                     int32_t firstIndex, int32_t lastIndex) {
    const DiscTextItems items(response, length);
    for (int32_t index = firstIndex; index <= lastIndex; ++index) {
        const std::string expected = ExtractDiscTextItem(packType, index, response, length);
        const std::string actual = items.Item(packType, index);
        if (actual != expected) {
            return ::testing::AssertionFailure()
                   << "pack type 0x" << std::hex << int{packType} << std::dec << ", item " << index
                   << ", length " << length << ", " << response.size() << " response bytes: \""
                   << actual << "\" instead of \"" << expected << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

// --- Real discs --------------------------------------------------------------------------------

struct Dump {
    std::string path;
    Bytes response; // with the READ TOC header, as a drive answers
};

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Dumps of packs alone get the header a drive puts in front.
Bytes WithHeader(const Bytes& packs) {
    const size_t dataLength = packs.size() + 2;
    Bytes response(4 + packs.size());
    response[0] = static_cast<uint8_t>(dataLength >> 8);
    response[1] = static_cast<uint8_t>(dataLength);
    std::copy(packs.begin(), packs.end(), response.begin() + 4);
    return response;
}

std::vector<Dump> RealDumps() {
    struct Source {
        const char* folder;
        const char* suffix;
        bool hasHeader;
    };
    const Source sources[] = {
        {"amass", ".cdtext.readtoc5.bin", true},
        {"libcueify", ".cdt", true},
        {"libcdio", ".cdt", false},
        {"libcdio/history", ".cdt", false},
        {"fragments", ".bin", false},
    };
    std::vector<Dump> dumps;
    for (const Source& source : sources) {
        const fs::path folder = fs::path(DISCOLO_REALDATA_DIR) / source.folder;
        if (!fs::is_directory(folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || !name.ends_with(source.suffix)) {
                continue;
            }
            Bytes bytes = ReadFile(entry.path());
            dumps.push_back(
                {entry.path().string(), source.hasHeader ? std::move(bytes) : WithHeader(bytes)});
        }
    }
    std::sort(dumps.begin(), dumps.end(),
              [](const Dump& a, const Dump& b) { return a.path < b.path; });
    return dumps;
}

int32_t CappedLength(const Bytes& response) {
    return std::min((response[0] << 8) | response[1], kDiscTextLengthCap);
}

TEST(DiscTextItems, GivesEveryItemOfEveryRealDiscAsTheOneItemWalkDoes) {
    const std::vector<Dump> dumps = RealDumps();
    // Two pressed discs, three discs mastering tools wrote, the libcdio files and the Nero chunk.
    ASSERT_GE(dumps.size(), 9U) << "the real-data folder is missing dumps";

    size_t nonEmptyItems = 0;
    for (const Dump& dump : dumps) {
        SCOPED_TRACE(dump.path);
        ASSERT_GE(dump.response.size(), 4U);
        const int32_t length = CappedLength(dump.response);
        // As announced, and as a drive that announces too little or too much would have it.
        for (const int32_t walked : {length, length - 19, length / 2, length + 180}) {
            for (const uint8_t packType : {kPackTypeTitle, kPackTypePerformer}) {
                EXPECT_TRUE(SameItems(dump.response, walked, packType, -1, 120));
            }
        }
        const DiscTextItems items(dump.response, length);
        for (int32_t index = 0; index <= 120; ++index) {
            nonEmptyItems += !items.Item(kPackTypeTitle, index).empty();
        }
    }
    // The comparison means something only if the dumps hold texts.
    EXPECT_GT(nonEmptyItems, 50U);
}

// --- Random pack streams -----------------------------------------------------------------------

// A stream's character: how often nulls and ampersands come, and how many packs it has.
struct Profile {
    double nullChance;
    double ampersandChance;
    int maxPacks;
};

class RandomPacks {
public:
    explicit RandomPacks(uint32_t seed) : random_(seed) {}

    Bytes Response(const Profile& profile) {
        const int packCount = Uniform(0, profile.maxPacks);
        Bytes response(4, 0);
        for (int k = 0; k < packCount; ++k) {
            AppendPack(response, profile);
        }
        // Bytes after the last whole pack, as a cut answer or a tool's trailing byte leaves them.
        response.resize(response.size() +
                            static_cast<size_t>(Uniform(0, 17) < 3 ? Uniform(1, 17) : 0),
                        static_cast<uint8_t>(Uniform(0, 255)));
        const size_t dataLength = response.size() - 2;
        response[0] = static_cast<uint8_t>(dataLength >> 8);
        response[1] = static_cast<uint8_t>(dataLength);
        return response;
    }

    // The length the walk is told: mostly the true one, often a lie either way.
    int32_t Length(const Bytes& response) {
        const auto actual = static_cast<int32_t>(response.size() - 2);
        switch (Uniform(0, 9)) {
        case 0:
            return -Uniform(1, 40);
        case 1:
            return Uniform(0, std::max(actual, 0));
        case 2:
            return actual + Uniform(1, 200);
        case 3:
            return std::numeric_limits<int32_t>::max();
        case 4:
            return std::numeric_limits<int32_t>::min();
        default:
            return actual;
        }
    }

    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

private:
    void AppendPack(Bytes& response, const Profile& profile) {
        static constexpr uint8_t kCommonTypes[] = {kPackTypeTitle, kPackTypePerformer, 0x8F};
        const int pick = Uniform(0, 9);
        uint8_t pack[18] = {};
        pack[0] = pick < 8 ? kCommonTypes[pick % 3] : static_cast<uint8_t>(Uniform(0, 255));
        for (int b = 1; b < 4; ++b) {
            pack[b] = Chance(0.5) ? 0 : static_cast<uint8_t>(Uniform(1, 255));
        }
        for (int l = 4; l < 16; ++l) {
            pack[l] = Chance(profile.nullChance)        ? uint8_t{0}
                      : Chance(profile.ampersandChance) ? uint8_t{'&'}
                      : Chance(0.05)                    ? uint8_t{'\t'}
                                                        : static_cast<uint8_t>(Uniform(1, 255));
        }
        pack[16] = static_cast<uint8_t>(Uniform(0, 255));
        pack[17] = static_cast<uint8_t>(Uniform(0, 255));
        response.insert(response.end(), std::begin(pack), std::end(pack));
    }

    std::mt19937 random_;
};

// Each null in a pack of the type ends at most one item: a bound on the items that exist.
int32_t NullsOfType(const Bytes& response, uint8_t packType) {
    int32_t nulls = 0;
    for (size_t at = 4; at + 18 <= response.size(); at += 18) {
        if (response[at] == packType) {
            nulls +=
                static_cast<int32_t>(std::count(response.begin() + static_cast<long>(at + 4),
                                                response.begin() + static_cast<long>(at + 16), 0));
        }
    }
    return nulls;
}

TEST(DiscTextItems, GivesEveryItemOfRandomPacksAsTheOneItemWalkDoes) {
    const Profile profiles[] = {
        {0.3, 0.1, 40},    // short texts, many of them empty
        {0.7, 0.05, 20},   // mostly nulls: empty items everywhere
        {0.08, 0.1, 60},   // texts of a few dozen bytes
        {0.001, 0.3, 200}, // texts of hundreds of bytes, cut at 499 with ampersands at the edge
    };
    RandomPacks random(20240611);
    for (size_t round = 0; round < 600; ++round) {
        const Profile& profile = profiles[round % std::size(profiles)];
        Bytes response = random.Response(profile);
        if (random.Uniform(0, 30) == 0) {
            response.resize(static_cast<size_t>(random.Uniform(0, 3))); // not even a header
        }
        const int32_t length = random.Length(response);
        for (const uint8_t packType : {kPackTypeTitle, kPackTypePerformer,
                                       response.size() > 4 ? response[4] : uint8_t{0x8F}}) {
            // Items past the last one are empty; compare a few of them too.
            const int32_t lastIndex = NullsOfType(response, packType) + 2;
            ASSERT_TRUE(SameItems(response, length, packType, -2, lastIndex)) << "round " << round;
        }
    }
}

} // namespace
