// One function per SCSI command the player sends. Each takes its command block from the builders
// (drive/command_blocks.h), runs it once through the transport and returns the result unchanged;
// none interprets an answer or retries.
// A buffer shorter than the data length the command moves gives -1, and nothing is sent.
#pragma once

#include "drive/scsi_opcodes.h"

#include <cstdint>
#include <span>

int32_t ReadCapacity(int hostAdapter, int target, std::span<uint8_t> buffer);
int32_t ReadToc(int hostAdapter, int target, int format, uint32_t allocationLength,
                std::span<uint8_t> buffer);
int32_t ReadDiscText(int hostAdapter, int target, uint32_t allocationLength,
                     std::span<uint8_t> buffer);
int32_t ReadSubChannel(int hostAdapter, int target, int subQ, int msf, int format, int track,
                       uint32_t allocationLength, std::span<uint8_t> buffer);
int32_t RequestSense(int hostAdapter, int target, std::span<uint8_t> buffer);
int32_t TestUnitReady(int hostAdapter, int target);
int32_t SeekLba(int hostAdapter, int target, int32_t address);
int32_t PlayAudioLba(int hostAdapter, int target, int32_t start, int32_t length);
int32_t PauseAudio(int hostAdapter, int target);
int32_t ResumeAudio(int hostAdapter, int target);
int32_t EjectMedium(int hostAdapter, int target);
int32_t LoadMedium(int hostAdapter, int target);
