// Three language blocks built with the disc's own encoder, each renumbered into its place:
// block number in byte 3, every block's last sequence number and language in the size packs.
#include "bench/bench_disc.h"

#include "cdtext/cdtext_encoder.h"
#include "drive/big_endian.h"
#include "vdrive/disc_geometry.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace {

constexpr size_t kPacksPerBlock = kBenchPacks / kBenchBlocks;
constexpr size_t kPackSize = cdtext::kCdTextPackSize;

struct Language {
    uint8_t code;
    const char* song;
    const char* album;
};
constexpr std::array<Language, kBenchBlocks> kLanguages = {{
    {0x09, "Song", "Songs & Dances"},
    {0x08, "Lied", "Lieder & Tanz"},
    {0x0F, "Chanson", "Chansons & Danses"},
}};

const char* const kPerformers[] = {"Ana & Bo", "Kim Lee", "The Odes", "Mo", "Quartet Nine"};

// One block's texts; `padding` 12-byte suffixes make exactly that many more title packs.
cdtext::CdTextAlbum BlockAlbum(const Language& language, size_t padding) {
    cdtext::CdTextAlbum album;
    album.title = language.album;
    album.performer = "Various & Friends";
    for (int t = 1; t <= kBenchTracks; ++t) {
        cdtext::CdTextTrack track;
        track.title = std::string(language.song) + " " + std::to_string(t);
        if (static_cast<size_t>(t) <= padding) {
            track.title += " [bonus mix]"; // 12 bytes: one pack more
        }
        track.performer = kPerformers[static_cast<size_t>(t) % std::size(kPerformers)];
        album.tracks.push_back(track);
    }
    return album;
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "bench disc: %s\n", message.c_str());
    std::abort();
}

std::vector<uint8_t> EncodeBlock(const Language& language) {
    std::vector<uint8_t> packs;
    std::string error;
    if (!cdtext::EncodeCdText(BlockAlbum(language, 0), packs, error)) {
        Fail(error);
    }
    const size_t base = packs.size() / kPackSize;
    if (base > kPacksPerBlock) {
        Fail("the texts of a block need more than " + std::to_string(kPacksPerBlock) + " packs");
    }
    if (!cdtext::EncodeCdText(BlockAlbum(language, kPacksPerBlock - base), packs, error) ||
        packs.size() != kPacksPerBlock * kPackSize) {
        Fail("a block is not " + std::to_string(kPacksPerBlock) + " packs: " + error);
    }
    return packs;
}

void SetCrc(std::span<uint8_t> pack) {
    WriteBe16(pack, 16, cdtext::CdTextCrc(pack.first(16)));
}

} // namespace

std::vector<uint8_t> BenchDiscTextPacks() {
    std::vector<uint8_t> packs;
    for (size_t block = 0; block < kBenchBlocks; ++block) {
        std::vector<uint8_t> encoded = EncodeBlock(kLanguages[block]);
        for (size_t at = 0; at < encoded.size(); at += kPackSize) {
            const std::span pack(encoded.data() + at, kPackSize);
            pack[3] = static_cast<uint8_t>((pack[3] & 0x8F) | (block << 4));
            const bool sizeInfo = pack[0] == cdtext::kPackSizeInfo;
            // Size packs 1 and 2 carry record bytes 20-27 (last sequence numbers, from pack
            // byte 12) and 28-35 (languages, from pack byte 8).
            if (sizeInfo && pack[1] == 1) {
                for (size_t b = 0; b < kBenchBlocks; ++b) {
                    pack[12 + b] = static_cast<uint8_t>(kPacksPerBlock - 1);
                }
            }
            if (sizeInfo && pack[1] == 2) {
                for (size_t b = 0; b < kBenchBlocks; ++b) {
                    pack[8 + b] = kLanguages[b].code;
                }
            }
            SetCrc(pack);
        }
        packs.insert(packs.end(), encoded.begin(), encoded.end());
    }
    return packs;
}

std::vector<uint8_t> BenchDiscTextResponse() {
    const std::vector<uint8_t> packs = BenchDiscTextPacks();
    std::vector<uint8_t> response(4 + packs.size());
    WriteBe16(response, 0, static_cast<uint32_t>(packs.size() + 2));
    std::copy(packs.begin(), packs.end(), response.begin() + 4);
    return response;
}

vdrive::DiscImage BenchDisc() {
    constexpr int32_t kTrackFrames = 45 * kFramesPerSecond;
    std::vector<int32_t> starts;
    for (int t = 0; t < kBenchTracks; ++t) {
        starts.push_back(t * kTrackFrames);
    }
    vdrive::DiscImage disc = vdrive::MakeAudioDisc(starts, kBenchTracks * kTrackFrames);
    disc.cdText = BenchDiscTextPacks();
    return disc;
}
