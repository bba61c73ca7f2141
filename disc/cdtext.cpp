// CD-Text: the two reads of READ TOC format 5 and the pack walk that picks out one item.
#include "disc/cdtext.h"

#include "disc/cdtext_walk.h"
#include "drive/big_endian.h"
#include "drive/commands.h"
#include "drive/srb.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint32_t kHeaderAllocationLength = 4;
constexpr uint8_t kPackTypeLast = 0x8F; // block size information

// The one item wanted: the walk reads only the packs of its type, collects the bytes of the
// item in progress and stops at the wanted item's end.
class OneItem {
public:
    OneItem(uint8_t packType, int32_t itemIndex) : packType_(packType), itemIndex_(itemIndex) {}

    OneItem* ItemsOf(uint8_t packType) { return packType == packType_ ? this : nullptr; }
    void Add(uint8_t c) { bytes_[length_++] = static_cast<char>(c); }
    bool End() {
        if (itemCounter_ == itemIndex_) {
            found_ = true;
            return false;
        }
        ++itemCounter_;
        length_ = 0;
        return true;
    }

    std::string Text() const {
        return found_ ? ItemText({bytes_.data(), length_}, packType_, itemIndex_) : std::string();
    }

private:
    uint8_t packType_;
    int32_t itemIndex_;
    int32_t itemCounter_ = 0;
    std::array<char, kKeptItemLength> bytes_{}; // the walk hands over at most this many
    size_t length_ = 0;
    bool found_ = false;
};

// Whether every pack the walk would read is of a CD-Text type (0x80-0x8F). A drive that takes
// the format from the control byte answers a CD-Text request with its table of contents, GOOD
// status and all; walked as packs, its addresses would come out as titles.
bool CarriesOnlyCdTextPacks(std::span<const uint8_t> response, int32_t length) {
    const size_t packCount = WalkedPackCount(response, length);
    for (size_t k = 0; k < packCount; ++k) {
        const uint8_t packType = response[kDiscTextHeaderLength + k * kPackLength];
        if (packType < kPackTypeTitle || packType > kPackTypeLast) {
            return false;
        }
    }
    return packCount > 0;
}

} // namespace

bool FetchDiscText(int hostAdapter, int target, std::span<uint8_t> response,
                   int32_t& discTextLength) {
    discTextLength = 0;
    if (ReadDiscText(hostAdapter, target, kHeaderAllocationLength, response) != SS_COMP) {
        return false;
    }
    discTextLength = std::min(static_cast<int32_t>(ReadBe16(response, 0)), kDiscTextLengthCap);
    const auto allocationLength = static_cast<uint32_t>(discTextLength + 2);
    // A response buffer too small for the read makes the command refuse it (-1): no CD-Text.
    if (ReadDiscText(hostAdapter, target, allocationLength, response) != SS_COMP) {
        return false;
    }
    return IsUsableDiscText(response, discTextLength);
}

bool IsUsableDiscText(std::span<const uint8_t> response, int32_t discTextLength) {
    return discTextLength >= kSmallestUsableDiscTextLength &&
           CarriesOnlyCdTextPacks(response, discTextLength);
}

std::string ExtractDiscTextItem(uint8_t packType, int32_t itemIndex,
                                std::span<const uint8_t> response, int32_t length) {
    OneItem item(packType, itemIndex);
    WalkDiscTextItems(response, length, item);
    return item.Text();
}
