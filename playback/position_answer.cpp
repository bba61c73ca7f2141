// The current position as READ SUB-CHANNEL answers it.
#include "playback/position_answer.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/msf.h"

namespace playback {

uint8_t ReportedAudioStatus(PlayModel& play, uint32_t allocationLength) {
    return allocationLength >= 2 ? play.TakeAudioStatus() : play.AudioStatus();
}

uint32_t AnswerCurrentPosition(PlayModel& play, bool subQ, bool msf, uint32_t allocationLength,
                               std::span<uint8_t> answer) {
    answer[1] = ReportedAudioStatus(play, allocationLength); // audio status
    const std::span<const DiscTrack> tracks = play.Disc().tracks;
    if (!subQ || tracks.empty()) {
        WriteBe16(answer, 2, 0); // sub-channel data length: the header only
        return 4;
    }
    const int32_t head = play.Head();
    const DiscPosition where = PositionAt(tracks, head);
    WriteBe16(answer, 2, kPositionAnswerLength - 4);       // sub-channel data length
    answer[4] = kSubChannelCurrentPosition;                // data format code
    answer[5] = AdrControl(*where.track);                  // ADR / CONTROL
    answer[6] = static_cast<uint8_t>(where.track->number); // track number
    answer[7] = static_cast<uint8_t>(where.index);         // index number
    if (msf) {
        WriteMsfAddress(answer, 8, head);         // absolute address
        WriteMsfTime(answer, 12, where.relative); // track-relative time
    } else {
        WriteBe32(answer, 8, static_cast<uint32_t>(head));            // absolute address
        WriteBe32(answer, 12, static_cast<uint32_t>(where.relative)); // track-relative address
    }
    return kPositionAnswerLength;
}

} // namespace playback
