// READ SUB-CHANNEL as a drive answers it from its play: the current position (format 01h), the
// catalogue number (02h) and a track's ISRC (03h). The virtual drive and the digital play layer
// both answer with these.
#pragma once

#include "playback/play_model.h"
#include "playback/sub_q.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace playback {

// Byte 1 of a READ SUB-CHANNEL answer, the audio status. A finished play (0x13, 0x14) is reported
// once, when the status byte reaches the host: with an allocation length of 2 or more.
uint8_t ReportedAudioStatus(PlayModel& play, uint32_t allocationLength);

// Writes the answer into `answer` (16 bytes or more, zeroed) and returns its length: the 4-byte
// header with the audio status, and with SubQ the position data: the format, ADR/CONTROL, track
// and index, the absolute address and the track-relative one, as LBAs or (MSF) as 00 M S F, the
// relative time counting down inside a pregap. The position is the head's: what `heard` says of
// it (a Q the drive delivered), or else what the disc's layout says. Without SubQ, or without a
// disc, the header alone.
uint32_t AnswerCurrentPosition(PlayModel& play, bool subQ, bool msf, uint32_t allocationLength,
                               std::span<uint8_t> answer, const QPosition* heard = nullptr);

// The answer of format 02h (`track` null) or 03h (`track` the one asked for) into `answer` (24
// bytes or more, zeroed), and its length: the header with the audio status, the format, for an
// ISRC the track's ADR/CONTROL and number, and the code with its valid bit ("": none is known).
uint32_t AnswerCode(PlayModel& play, uint32_t allocationLength, std::span<uint8_t> answer,
                    const DiscTrack* track, std::string_view code);

} // namespace playback
