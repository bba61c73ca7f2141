// READ SUB-CHANNEL of the current position (format 01h), as a drive answers it from its play: the
// virtual drive and the digital play layer both answer with this.
#pragma once

#include "playback/play_model.h"

#include <cstdint>
#include <span>

namespace playback {

// Byte 1 of a READ SUB-CHANNEL answer, the audio status. A finished play (0x13, 0x14) is reported
// once, when the status byte reaches the host: with an allocation length of 2 or more.
uint8_t ReportedAudioStatus(PlayModel& play, uint32_t allocationLength);

// Writes the answer into `answer` (16 bytes or more, zeroed) and returns its length: the 4-byte
// header with the audio status, and with SubQ the position data: the format, ADR/CONTROL, track
// and index, the absolute address and the track-relative one, as LBAs or (MSF) as 00 M S F, the
// relative time counting down inside a pregap. Without SubQ, or without a disc, the header alone.
uint32_t AnswerCurrentPosition(PlayModel& play, bool subQ, bool msf, uint32_t allocationLength,
                               std::span<uint8_t> answer);

} // namespace playback
