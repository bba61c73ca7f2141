// Disc IDs of real discs, through the code the layer uses: a READ TOC answer, decoded as the
// player decodes it, then libdiscid.
#include "drive/big_endian.h"
#include "names/disc_id.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kData = 0x04;

struct TocRow {
    std::string source;
    int first = 0;
    int last = 0;
    int32_t leadOut = 0;          // + 150
    std::vector<int32_t> offsets; // + 150
    std::string id;
};

std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream file(std::string(DISCOLO_REALDATA_DIR "/musicbrainz/") + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::vector<TocRow> TocRows() {
    const std::vector<uint8_t> bytes = ReadFile("tocs.csv");
    std::istringstream csv(std::string(bytes.begin(), bytes.end()));
    std::vector<TocRow> rows;
    std::string line;
    std::getline(csv, line); // the column names
    while (std::getline(csv, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) {
            cells.push_back(cell);
        }
        if (cells.size() != 7) {
            continue;
        }
        TocRow row{cells[0], std::stoi(cells[1]), std::stoi(cells[2]), std::stoi(cells[3]), {},
                   cells[5]};
        std::istringstream offsets(cells[4]);
        for (int32_t offset = 0; offsets >> offset;) {
            row.offsets.push_back(offset);
        }
        rows.push_back(row);
    }
    return rows;
}

// What a drive answers READ TOC format 0 in LBA form: tracks `first`.. at `starts` with their
// CONTROL nibbles, then the lead-out.
std::vector<uint8_t> TocAnswer(int first, const std::vector<int32_t>& starts,
                               const std::vector<uint8_t>& controls, int32_t leadOut) {
    std::vector<uint8_t> answer(4 + 8 * (starts.size() + 1));
    WriteBe16(answer, 0, static_cast<uint32_t>(answer.size() - 2));
    answer[2] = static_cast<uint8_t>(first);
    answer[3] = static_cast<uint8_t>(first + static_cast<int>(starts.size()) - 1);
    for (size_t i = 0; i <= starts.size(); ++i) {
        const size_t at = 4 + 8 * i;
        const bool leadOutEntry = i == starts.size();
        answer[at + 1] =
            static_cast<uint8_t>(0x10 | (leadOutEntry ? controls.back() : controls[i]));
        answer[at + 2] = leadOutEntry ? 0xAA : static_cast<uint8_t>(first + static_cast<int>(i));
        WriteBe32(answer, at + 4, static_cast<uint32_t>(leadOutEntry ? leadOut : starts[i]));
    }
    return answer;
}

TEST(DiscId, EveryRealTableGivesItsKnownIdAlsoBehindADataSession) {
    const std::vector<TocRow> rows = TocRows();
    ASSERT_EQ(rows.size(), 14u);
    for (const TocRow& row : rows) {
        SCOPED_TRACE(row.source);
        std::vector<int32_t> starts;
        for (const int32_t offset : row.offsets) {
            starts.push_back(offset - names::kAddressOffset);
        }
        // The mixed-mode disc's first track holds data, and still counts.
        std::vector<uint8_t> controls(starts.size(), 0);
        if (row.source.find("FREEDOM") != std::string::npos) {
            controls[0] = kData;
        }
        const int32_t leadOut = row.leadOut - names::kAddressOffset;
        const auto plain = names::IdentifyDisc(TocAnswer(row.first, starts, controls, leadOut));
        ASSERT_TRUE(plain.has_value());
        EXPECT_EQ(plain->id, row.id);
        EXPECT_EQ(plain->offsets, row.offsets);
        EXPECT_NE(plain->submissionUrl.find(row.id), std::string::npos);

        // The same audio with a data track in a second session, as on an Enhanced CD.
        std::vector<int32_t> enhanced = starts;
        enhanced.push_back(leadOut + names::kSessionGap);
        controls.push_back(kData);
        const auto behind =
            names::IdentifyDisc(TocAnswer(row.first, enhanced, controls, leadOut + 60000));
        ASSERT_TRUE(behind.has_value());
        EXPECT_EQ(behind->id, row.id);
        EXPECT_EQ(behind->TocParameter(), plain->TocParameter());
    }
}

TEST(DiscId, RawAnswersOfRealDrives) {
    struct Case {
        const char* file;
        const char* id;
        const char* tocStart; // picard's expected table, as the lookup sends it
    };
    const Case cases[] = {
        {"scsi.toc", "oPcLV2AbBTjnZNQf8R_X6Xl6DVw-", "1+13+186400+150+1577+"},
        {"scsi-last-track-data.toc", "eCsxBl65JjxAZan1KUxUBfdVdTg-", "1+9+226647+150+22032+"},
        {"scsi-first-track-data.toc", "scjFsvo0SdpF3McsfHFF3lbVnSc-", "1+11+259800+150+22637+"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto disc = names::IdentifyDisc(ReadFile(c.file));
        ASSERT_TRUE(disc.has_value());
        EXPECT_EQ(disc->id, c.id);
        EXPECT_EQ(disc->TocParameter().rfind(c.tocStart, 0), 0u) << disc->TocParameter();
    }
}

TEST(DiscId, NoIdForWhatIsNoAudioDisc) {
    const std::vector<uint8_t> noAudio = TocAnswer(1, {0, 5000}, {kData, kData}, 9000);
    const std::vector<uint8_t> outOfOrder = TocAnswer(1, {0, 7000, 5000}, {0, 0, 0}, 9000);
    const std::vector<uint8_t> pastLeadOut = TocAnswer(1, {0, 9500}, {0, 0}, 9000);
    std::vector<uint8_t> noLeadOut = TocAnswer(1, {0, 5000}, {0, 0}, 9000);
    noLeadOut[4 + 16 + 2] = 3; // the entry after the last track is no lead-out
    for (const auto& answer : {noAudio, outOfOrder, pastLeadOut, noLeadOut}) {
        EXPECT_FALSE(names::IdentifyDisc(answer).has_value());
    }
    EXPECT_FALSE(names::IdentifyDisc(std::vector<uint8_t>(3)).has_value());
}

} // namespace
