// The drive's position answer and the readout texts. Every readout goes through FormatFrames,
// so it is always five characters, whatever the drive answered.
#include "player/readouts.h"

#include "disc/toc.h"
#include "drive/big_endian.h"
#include "player/track_lookup.h"

#include <limits>

SubChannelPosition
DecodeSubChannelPosition(std::span<const uint8_t, kSubChannelAnswerLength> answer) {
    SubChannelPosition decoded;
    decoded.audioStatus = answer[1];
    decoded.track = answer[6];
    decoded.position = static_cast<int32_t>(ReadBe24(answer, 9));
    return decoded;
}

bool CountsAsPlaying(uint8_t audioStatus, int32_t position, int32_t lastPolledPosition) {
    if (audioStatus == kAudioStatusPlaying) {
        return true;
    }
    // Before the first successful poll there is nothing to have moved from, however long the disc.
    if (lastPolledPosition == kNoPolledPosition) {
        return false;
    }
    // Some drives do not say that they play; a head that moved about one tick's worth has.
    const int64_t moved = int64_t{position} - lastPolledPosition;
    return moved > kAdvanceAbove && moved < kAdvanceBelow;
}

int32_t ShownPosition(int32_t position) {
    return position < 0 || position > kHighestShownPosition ? 0 : position;
}

int32_t PlayableAddress(int32_t address) {
    return address < 0 || address >= kLongestShownFrames ? 0 : address;
}

std::string FormatFrameSpan(int64_t frames) {
    if (frames < std::numeric_limits<int32_t>::min() ||
        frames > std::numeric_limits<int32_t>::max()) {
        frames = 0;
    }
    return FormatFrames(static_cast<int32_t>(frames));
}

std::string DiscReadout(const PlayerState& state, int32_t position, bool remaining) {
    return remaining ? FormatFrameSpan(int64_t{DiscEndOf(state)} - position)
                     : FormatFrames(position);
}

std::string TrackReadout(const PlayerState& state, int32_t track, int32_t position,
                         bool remaining) {
    if (remaining) {
        return FormatFrameSpan(int64_t{TrackStartAt(state, track + 1)} - position);
    }
    return FormatFrameSpan(int64_t{position} - TrackStartAt(state, track));
}
