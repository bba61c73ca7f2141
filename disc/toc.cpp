// Table of contents and time units: the change check against the one cached image, the track
// table decode, the disc end and the "mm:ss" text.
#include "disc/toc.h"

#include "drive/big_endian.h"
#include "drive/commands.h"
#include "drive/srb.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint8_t kFailedReadPattern = 99; // the cache after a failed read: never a real answer
constexpr uint8_t kUnreadFill = 1;         // the buffer before each read
constexpr int32_t kLowestTrack = 1;
constexpr int32_t kHighestTrack = 99;

size_t DescriptorOffset(int32_t index) {
    return static_cast<size_t>(kTocHeaderLength + kTocDescriptorLength * index);
}

// Only the low three bytes of a descriptor's address count: a CD never reaches 2^24 frames.
int32_t DescriptorStart(std::span<const uint8_t> toc, size_t descriptor) {
    return static_cast<int32_t>(ReadBe24(toc, descriptor + 5));
}

bool InTrackTable(int32_t index) {
    return index >= 0 && index < kTrackTableSize;
}

} // namespace

std::string FormatFrames(int32_t frames) {
    if (frames < 0 || frames > kLongestShownFrames) {
        frames = 0;
    }
    const int32_t minutes = frames / kFramesPerMinute;
    const int32_t seconds = (frames - minutes * kFramesPerMinute) / kFramesPerSecond;
    // "%02ld:%02ld": both fields have two digits, minutes being at most 80.
    std::string text = "00:00";
    text[0] = static_cast<char>('0' + minutes / 10);
    text[1] = static_cast<char>('0' + minutes % 10);
    text[3] = static_cast<char>('0' + seconds / 10);
    text[4] = static_cast<char>('0' + seconds % 10);
    return text;
}

int32_t SliderPositionOf(int32_t frames) {
    return frames / kFramesPerSliderStep;
}

int32_t FramesAtSliderPosition(int32_t position) {
    // A slider never reaches the limits; clamp rather than overflow if a caller passes one.
    const int64_t frames = int64_t{position} * kFramesPerSliderStep;
    return static_cast<int32_t>(std::clamp<int64_t>(frames, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool CheckTocChange(PlayerState& state, int hostAdapter, int target,
                    std::span<uint8_t, kTocImageSize> buffer) {
    std::fill_n(buffer.data(), buffer.size(),
                kUnreadFill); // one memset, not a loop of checked stores
    if (ReadToc(hostAdapter, target, 0, kTocImageSize, buffer) != SS_COMP) {
        state.tocImage.fill(kFailedReadPattern);
        return true;
    }
    // The length field and the bytes it announces, never more than the image holds.
    const size_t compared = std::min<size_t>(ReadBe16(buffer, 0) + 2, buffer.size());
    const bool changed =
        !std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(compared),
                    state.tocImage.begin());
    std::ranges::copy(buffer, state.tocImage.begin());
    return changed;
}

std::optional<TrackTable> DecodeTrackTable(std::span<const uint8_t> toc) {
    if (toc.size() < static_cast<size_t>(kTocHeaderLength)) {
        return std::nullopt;
    }
    TrackTable table;
    table.firstTrack = toc[2];
    table.lastTrack = toc[3];
    if (table.firstTrack < kLowestTrack || table.lastTrack > kHighestTrack ||
        table.lastTrack < table.firstTrack) {
        return std::nullopt;
    }
    const int32_t trackCount = table.lastTrack - table.firstTrack + 1;
    if (toc.size() < DescriptorOffset(trackCount)) {
        return std::nullopt;
    }

    table.tracks.reserve(static_cast<size_t>(trackCount));
    for (int32_t i = 0; i < trackCount; ++i) {
        const size_t descriptor = DescriptorOffset(i);
        TrackEntry track;
        track.number = table.firstTrack + i;
        track.start = DescriptorStart(toc, descriptor);
        track.isAudio = (toc[descriptor + 1] & kControlData) == 0;
        track.sliderTick = SliderPositionOf(track.start);
        table.hasAudio = table.hasAudio || track.isAudio;
        table.tracks.push_back(track);
    }

    // The lead-out descriptor follows the last track's. It counts only when the answer
    // announces it and marks it as the lead-out; anything else leaves the disc end unknown.
    const size_t leadOut = DescriptorOffset(trackCount);
    const size_t answered = std::min<size_t>(ReadBe16(toc, 0) + 2, toc.size());
    if (leadOut + kTocDescriptorLength <= answered && toc[leadOut + 2] == kLeadOutTrackNumber) {
        table.leadOutStart = DescriptorStart(toc, leadOut);
    }
    return table;
}

int32_t DiscEndFromCapacity(std::span<const uint8_t> capacity) {
    if (capacity.size() < 4) {
        return 0;
    }
    return static_cast<int32_t>(ReadBe24(capacity, 1));
}

int32_t ResolveDiscEnd(std::optional<int32_t> capacityDiscEnd, const TrackTable& table) {
    return capacityDiscEnd.value_or(table.leadOutStart);
}

void StoreTrackTable(PlayerState& state, const TrackTable& table, int32_t discEnd) {
    state.firstTrack = table.firstTrack;
    state.lastTrack = table.lastTrack;
    state.listBaseTrack = table.firstTrack;
    // A decoded table only holds tracks 1..99; the checks keep a hand-made one inside too.
    for (const TrackEntry& track : table.tracks) {
        if (InTrackTable(track.number)) {
            state.trackStart[static_cast<size_t>(track.number)] = track.start;
        }
    }
    if (InTrackTable(table.lastTrack + 1)) {
        state.trackStart[static_cast<size_t>(table.lastTrack + 1)] = discEnd;
    }
}

int32_t TrackLength(const PlayerState& state, int32_t track) {
    if (!InTrackTable(track) || !InTrackTable(track + 1)) {
        return 0;
    }
    const auto at = static_cast<size_t>(track);
    return state.trackStart[at + 1] - state.trackStart[at];
}
