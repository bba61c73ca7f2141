// The disc the benchmarks play: 99 audio tracks with as much CD-Text as a drive answers for, 555
// packs in three language blocks, the last pack type in each block the size information.
#pragma once

#include "vdrive/disc_image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kBenchTracks = 99;
inline constexpr size_t kBenchPacks = 555; // 10000 bytes of answer hold 555 whole packs
inline constexpr size_t kBenchBlocks = 3;

// The raw packs, as the lead-in holds them (no header).
std::vector<uint8_t> BenchDiscTextPacks();
// The READ TOC format-5 answer: the 4-byte header, then the packs.
std::vector<uint8_t> BenchDiscTextResponse();
// The disc itself, tracks of about 45 seconds, CD-Text included.
vdrive::DiscImage BenchDisc();
