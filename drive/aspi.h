// The ASPI transport: the player's only path to a device. Loads the layer that answers to
// "WNASPI32.DLL", and runs one command block at a time on (host adapter, target, LUN 0).
#pragma once

#include <cstdint>
#include <span>

// 0: the layer is not available; otherwise exactly what GetASPI32SupportInfo returned
// (bits 8-15 its status, bits 0-7 the number of host adapters).
uint32_t LoadAspi();
void UnloadAspi();

// 1 (SS_COMP) when the command completed without error, 2..255 the layer's failure status,
// -1 when the request could not be prepared and nothing was sent: no layer loaded, a command
// block shorter than its group's length, or a buffer larger than 32 bits can count. A request
// the layer refuses by its return value alone, the status left pending, gives that value
// (SS_ERR for one that is no status byte) instead of waiting for good.
int32_t ExecScsiCommand(int hostAdapter, int target, std::span<const uint8_t> cdb,
                        std::span<uint8_t> data);
