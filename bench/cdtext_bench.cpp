// CD-Text decoding: one item, every item a disc rebuild asks for (with the one-item walk and
// with the one-walk decoder), and libcdio's parse of the same packs as the peer.
#include "bench/bench_disc.h"
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"

#include <benchmark/benchmark.h>
#include <cdio/cdtext.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::vector<uint8_t>& Response() {
    static const std::vector<uint8_t> response = BenchDiscTextResponse();
    return response;
}

int32_t Length() {
    const std::vector<uint8_t>& response = Response();
    return std::min((response[0] << 8) | response[1], kDiscTextLengthCap);
}

// One item: the last track's performer, found late in the first block.
void BM_ExtractDiscTextItem_OneItem(benchmark::State& state) {
    const std::vector<uint8_t>& response = Response();
    const int32_t length = Length();
    for (auto _ : state) {
        std::string text = ExtractDiscTextItem(kPackTypePerformer, kBenchTracks, response, length);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ExtractDiscTextItem_OneItem);

// An item that is not there: the walk goes through all 555 packs.
void BM_ExtractDiscTextItem_Missing(benchmark::State& state) {
    const std::vector<uint8_t>& response = Response();
    const int32_t length = Length();
    for (auto _ : state) {
        std::string text = ExtractDiscTextItem(kPackTypePerformer, 1000, response, length);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ExtractDiscTextItem_Missing);

// What a rebuild asks of the decoding: per track its title and its performer (the disc's
// performer when the track has none), then the album title.
template <typename ItemSource> void AskLikeTheRebuild(const ItemSource& item) {
    for (int32_t t = 1; t <= kBenchTracks; ++t) {
        std::string title = item(kPackTypeTitle, t);
        std::string performer = item(kPackTypePerformer, t);
        if (performer.empty()) {
            performer = item(kPackTypePerformer, 0);
        }
        benchmark::DoNotOptimize(title);
        benchmark::DoNotOptimize(performer);
    }
    std::string album = item(kPackTypeTitle, 0);
    benchmark::DoNotOptimize(album);
}

// The texts the encoder put in, as the player shows them: a figure for a decoding that gets
// them wrong would mean nothing.
template <typename ItemSource> bool ReadsTheBenchDisc(const ItemSource& item) {
    return item(kPackTypeTitle, 0) == "Songs && Dances" &&
           item(kPackTypeTitle, kBenchTracks) == "Song 99" &&
           item(kPackTypePerformer, 5) == "Ana && Bo" &&
           item(kPackTypePerformer, kBenchTracks) == "Quartet Nine";
}

void BM_RebuildItems_ExtractDiscTextItem(benchmark::State& state) {
    const std::vector<uint8_t>& response = Response();
    const int32_t length = Length();
    if (!ReadsTheBenchDisc([&](uint8_t packType, int32_t index) {
            return ExtractDiscTextItem(packType, index, response, length);
        })) {
        state.SkipWithError("ExtractDiscTextItem does not read the bench disc's texts");
        return;
    }
    for (auto _ : state) {
        AskLikeTheRebuild([&](uint8_t packType, int32_t index) {
            return ExtractDiscTextItem(packType, index, response, length);
        });
    }
}
BENCHMARK(BM_RebuildItems_ExtractDiscTextItem);

void BM_RebuildItems_DiscTextItems(benchmark::State& state) {
    const std::vector<uint8_t>& response = Response();
    const int32_t length = Length();
    const DiscTextItems check(response, length);
    if (!ReadsTheBenchDisc(
            [&](uint8_t packType, int32_t index) { return check.Item(packType, index); })) {
        state.SkipWithError("DiscTextItems does not read the bench disc's texts");
        return;
    }
    for (auto _ : state) {
        const DiscTextItems items(response, length);
        AskLikeTheRebuild(
            [&](uint8_t packType, int32_t index) { return items.Item(packType, index); });
    }
}
BENCHMARK(BM_RebuildItems_DiscTextItems);

// The peer: libcdio takes the packs without the header and decodes every block, type and track.
// libcdio's reading of the bench disc: three languages, every block's last track title.
bool LibcdioReadsTheBenchDisc(std::vector<uint8_t> packs) {
    cdtext_t* text = cdtext_init();
    bool ok = cdtext_data_init(text, packs.data(), packs.size()) == 0 &&
              cdtext_get_last_track(text) == kBenchTracks;
    const char* const lastTitles[kBenchBlocks] = {"Song 99", "Lied 99", "Chanson 99"};
    for (int block = 0; ok && block < static_cast<int>(kBenchBlocks); ++block) {
        const char* title = cdtext_set_language_index(text, block)
                                ? cdtext_get_const(text, CDTEXT_FIELD_TITLE, kBenchTracks)
                                : nullptr;
        ok = title != nullptr && std::string(title) == lastTitles[block];
    }
    cdtext_destroy(text);
    return ok;
}

void BM_Libcdio_CdtextDataInit(benchmark::State& state) {
    std::vector<uint8_t> packs(Response().begin() + 4, Response().end());
    if (!LibcdioReadsTheBenchDisc(packs)) {
        state.SkipWithError("libcdio does not read the bench disc's three blocks");
        return;
    }
    for (auto _ : state) {
        cdtext_t* text = cdtext_init();
        const int failed = cdtext_data_init(text, packs.data(), packs.size());
        benchmark::DoNotOptimize(failed);
        cdtext_destroy(text);
        if (failed != 0) {
            state.SkipWithError("libcdio refused the packs");
            break;
        }
    }
}
BENCHMARK(BM_Libcdio_CdtextDataInit);

} // namespace
