// Fuzz target: any answer the web service may give, through the parser, the choice of release and
// the CD-Text packs of every release's every medium, as the disc-names layer would build them.
// Garbage in gives no names, or valid packs: whole 18-byte packs with right CRCs, one block at
// most, that the window reads as usable CD-Text with a name for every track.
#include "cdtext/cdtext_encoder.h"
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "drive/big_endian.h"
#include "names/answer_parse.h"
#include "names/name_packs.h"
#include "names/release_choice.h"
#include "player/track_texts.h"

#include <QByteArray>

#include <cstdlib>
#include <vector>

namespace {

// A disc of 1-99 tracks chosen by the first byte, the last one data when the second says so.
TrackTable TableFor(const uint8_t* data, size_t size) {
    const int tracks = size > 0 ? 1 + data[0] % 99 : 1;
    TrackTable table;
    table.firstTrack = 1;
    table.lastTrack = tracks;
    for (int i = 0; i < tracks; ++i) {
        const bool isData = size > 1 && (data[1] & 1) != 0 && i == tracks - 1 && tracks > 1;
        table.tracks.push_back({i + 1, i * 3000, !isData, i * 3000 / 450});
    }
    table.hasAudio = true;
    table.leadOutStart = tracks * 3000;
    return table;
}

void CheckPacks(const std::vector<uint8_t>& packs, const TrackTable& table) {
    if (packs.empty() || packs.size() % cdtext::kCdTextPackSize != 0 ||
        packs.size() > 256 * cdtext::kCdTextPackSize) {
        std::abort();
    }
    for (size_t at = 0; at < packs.size(); at += cdtext::kCdTextPackSize) {
        const std::span<const uint8_t> pack(packs.data() + at, cdtext::kCdTextPackSize);
        if (cdtext::CdTextCrc(pack.first(16)) != ReadBe16(pack, 16)) {
            std::abort();
        }
    }
    std::vector<uint8_t> response(4 + packs.size());
    WriteBe16(response, 0, static_cast<uint32_t>(2 + packs.size()));
    std::copy(packs.begin(), packs.end(), response.begin() + 4);
    const auto length = static_cast<int32_t>(2 + packs.size());
    if (!IsUsableDiscText(response, length)) {
        std::abort();
    }
    const DiscTextItems items(response, length);
    const DiscTexts texts = MakeDiscTexts(table, &items);
    for (const TrackText& track : texts.tracks) {
        // "[nn]  " and a title: no track goes without a name.
        if (track.entry.size() <= 6 || !track.performer || track.performer->empty()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TrackTable table = TableFor(data, size);
    const auto releases = names::ParseLookupAnswer(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!releases) {
        return 0;
    }
    names::DiscIdentity disc;
    disc.id = "fuzzfuzzfuzzfuzzfuzzfuzzfuz-";
    disc.firstTrack = 1;
    disc.lastTrack = table.lastTrack;
    disc.leadOut = table.leadOutStart + 150;
    for (const TrackEntry& track : table.tracks) {
        disc.offsets.push_back(track.start + 150);
    }
    if (const auto choice = names::ChooseRelease(*releases, disc)) {
        if (choice->release >= releases->size() ||
            choice->medium >= (*releases)[choice->release].media.size()) {
            std::abort();
        }
    }
    for (const names::Release& release : *releases) {
        for (size_t medium = 0; medium < release.media.size() && medium < 4; ++medium) {
            CheckPacks(names::BuildNamePacks(names::NamesOf(release, medium, "fuzz"), table),
                       table);
        }
    }
    return 0;
}
