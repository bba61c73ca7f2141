// CD-Text: the two reads of READ TOC format 5 and the pack walk that picks out one item.
#include "disc/cdtext.h"

#include "drive/big_endian.h"
#include "drive/commands.h"
#include "drive/srb.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint32_t kHeaderAllocationLength = 4;
constexpr int kPackHeaderLength = 4;
constexpr int kCharacterPositionByte = 3;
constexpr uint8_t kAmpersand = 0x26;
constexpr uint8_t kPackTypeLast = 0x8F;                          // block size information
constexpr size_t kItemTextCapacity = kItemAccumulatorLength - 1; // the last byte stays null

// The text of the item in progress. Writing starts again at the front for every item without
// wiping what earlier items left; that never shows, because the text ends at the first null
// and the item's own bytes come first. An empty item's null, written at the front, does show.
class ItemAccumulator {
public:
    void Append(uint8_t byte) { Write(&byte, 1); }
    void AppendDoubledAmpersand() {
        const std::array<uint8_t, 2> pair{kAmpersand, kAmpersand};
        Write(pair.data(), pair.size());
    }
    void Restart() { writePosition = 0; }
    // Up to the first null: an empty item's null left at the front makes this empty.
    std::string Text() const {
        const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
        return {bytes.begin(), end};
    }

private:
    // Bytes go in whole or not at all; once something did not fit the item is full, and its
    // text ends where it stopped.
    void Write(const uint8_t* data, size_t count) {
        if (writePosition + count > kItemTextCapacity) {
            if (writePosition < kItemTextCapacity) {
                bytes[writePosition] = 0;
            }
            writePosition = kItemTextCapacity;
            return;
        }
        std::copy(data, data + count, bytes.begin() + static_cast<std::ptrdiff_t>(writePosition));
        writePosition += count;
    }

    std::array<uint8_t, kItemAccumulatorLength> bytes{};
    size_t writePosition = 0;
};

// Packs the walk may read: as many as length covers, but only whole packs inside the response.
size_t WalkedPackCount(std::span<const uint8_t> response, int32_t length) {
    if (length < 0 || response.size() < static_cast<size_t>(kPackHeaderLength)) {
        return 0;
    }
    // The 2 reserved header bytes counted in length vanish in the division.
    const auto announced = static_cast<size_t>(length / kPackLength);
    const size_t present = (response.size() - kPackHeaderLength) / kPackLength;
    return std::min(announced, present);
}

// Whether every pack the walk would read is of a CD-Text type (0x80-0x8F). A drive that takes
// the format from the control byte answers a CD-Text request with its table of contents, GOOD
// status and all; walked as packs, its addresses would come out as titles.
bool CarriesOnlyCdTextPacks(std::span<const uint8_t> response, int32_t length) {
    const size_t packCount = WalkedPackCount(response, length);
    for (size_t k = 0; k < packCount; ++k) {
        const uint8_t packType = response[kPackHeaderLength + k * kPackLength];
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
    return discTextLength >= kSmallestUsableDiscTextLength &&
           CarriesOnlyCdTextPacks(response, discTextLength);
}

std::string ExtractDiscTextItem(uint8_t packType, int32_t itemIndex,
                                std::span<const uint8_t> response, int32_t length) {
    const bool doubleAmpersands = !(packType == kPackTypeTitle && itemIndex != 0);
    ItemAccumulator item;
    int32_t itemCounter = 0;

    const size_t packCount = WalkedPackCount(response, length);
    for (size_t k = 0; k < packCount; ++k) {
        const auto pack = response.subspan(kPackHeaderLength + k * kPackLength, kPackLength);
        if (pack[0] != packType) {
            continue;
        }
        for (int l = 0; l < kPackTextLength; ++l) {
            const auto at = static_cast<size_t>(kPackHeaderLength + l);
            const uint8_t c = pack[at];
            if (c == kAmpersand && doubleAmpersands) {
                item.AppendDoubledAmpersand();
            } else {
                item.Append(c);
            }
            // For the first text byte the byte before is the pack's character position.
            const uint8_t before = l == 0 ? pack[kCharacterPositionByte] : pack[at - 1];
            if (c == 0 && before != 0) {
                if (itemCounter == itemIndex) {
                    return item.Text();
                }
                ++itemCounter;
                item.Restart();
            }
        }
    }
    return {};
}
