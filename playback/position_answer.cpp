// The answers of READ SUB-CHANNEL.
#include "playback/position_answer.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/msf.h"
#include "drive/toc_layout.h"

#include <algorithm>

namespace playback {

namespace {

constexpr size_t kCodeValidAt = 8; // MCVal / TCVal in bit 7
constexpr size_t kCodeAt = 9;

} // namespace

uint8_t ReportedAudioStatus(PlayModel& play, uint32_t allocationLength) {
    return allocationLength >= 2 ? play.TakeAudioStatus() : play.AudioStatus();
}

uint32_t AnswerCurrentPosition(PlayModel& play, bool subQ, bool msf, uint32_t allocationLength,
                               std::span<uint8_t> answer, const QPosition* heard) {
    answer[1] = ReportedAudioStatus(play, allocationLength); // audio status
    if (!subQ || play.Disc().tracks.empty()) {
        WriteBe16(answer, 2, 0); // sub-channel data length: the header only
        return 4;
    }
    const int32_t head = play.Head();
    const QPosition where = heard ? *heard : QPositionAt(play.Disc().tracks, head);
    WriteBe16(answer, 2, kPositionAnswerLength - 4); // sub-channel data length
    answer[4] = kSubChannelCurrentPosition;          // data format code
    answer[5] = static_cast<uint8_t>(kAdrPosition | (where.control & 0x0F)); // ADR / CONTROL
    answer[6] = static_cast<uint8_t>(where.track);                           // track number
    answer[7] = static_cast<uint8_t>(where.index);                           // index number
    if (msf) {
        WriteMsfAddress(answer, 8, head);         // absolute address
        WriteMsfTime(answer, 12, where.relative); // track-relative time
    } else {
        WriteBe32(answer, 8, static_cast<uint32_t>(head));            // absolute address
        WriteBe32(answer, 12, static_cast<uint32_t>(where.relative)); // track-relative address
    }
    return kPositionAnswerLength;
}

uint32_t AnswerCode(PlayModel& play, uint32_t allocationLength, std::span<uint8_t> answer,
                    const DiscTrack* track, std::string_view code) {
    answer[1] = ReportedAudioStatus(play, allocationLength);  // audio status
    WriteBe16(answer, 2, kCodeAnswerLength - 4);              // sub-channel data length
    answer[4] = track ? kSubChannelIsrc : kSubChannelCatalog; // data format code
    if (track) {
        answer[5] = AdrControl(*track);                  // ADR / CONTROL
        answer[6] = static_cast<uint8_t>(track->number); // track number
    }
    answer[kCodeValidAt] = code.empty() ? 0x00 : 0x80; // MCVal / TCVal
    // The digits or the ISRC: 13 characters at most, up to the answer's last reserved bytes.
    std::copy_n(code.begin(), std::min<size_t>(code.size(), 13), answer.begin() + kCodeAt);
    return kCodeAnswerLength;
}

} // namespace playback
