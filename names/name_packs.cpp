// Fitting a disc's names into one block of CD-Text packs.
#include "names/name_packs.h"

#include "cdtext/cdtext_encoder.h"
#include "names/romanize.h"
#include "player/track_texts.h"

#include <algorithm>

namespace names {

namespace {

constexpr size_t kTextBytesPerPack = 12;

// What the window shows of a text: its bytes, an ampersand twice where the window doubles it.
size_t ShownLength(const std::string& text, bool doubledAmpersands) {
    return text.size() +
           (doubledAmpersands ? static_cast<size_t>(std::ranges::count(text, '&')) : 0);
}

// The longest start of text the window shows whole within limit and that is at most cap bytes,
// without spaces at its end; a text that would lose everything keeps its first character.
std::string Cut(const std::string& text, size_t limit, bool doubledAmpersands, size_t cap) {
    std::string cut = text.substr(0, std::min(cap, text.size()));
    while (!cut.empty() && ShownLength(cut, doubledAmpersands) > limit) {
        cut.pop_back();
    }
    while (cut.size() > 1 && cut.back() == ' ') {
        cut.pop_back();
    }
    return cut.empty() ? text.substr(0, 1) : cut;
}

PackTexts Limited(const PackTexts& full, size_t cap) {
    PackTexts cut;
    cut.albumTitle = Cut(full.albumTitle, kItemTextLimit, true, cap);
    cut.albumPerformer = Cut(full.albumPerformer, kPerformerTextLimit, true, cap);
    for (const std::string& title : full.titles) {
        cut.titles.push_back(Cut(title, kLabelTitleLimit, false, cap));
    }
    for (const std::string& performer : full.performers) {
        cut.performers.push_back(Cut(performer, kPerformerTextLimit, true, cap));
    }
    return cut;
}

// The packs one pack type's texts take: each text and its null, a repeat of the text before it
// (from the second track on) a TAB and its null.
size_t PacksOf(const std::string& album, const std::vector<std::string>& tracks) {
    size_t bytes = album.size() + 1;
    for (size_t i = 0; i < tracks.size(); ++i) {
        bytes += i > 0 && tracks[i] == tracks[i - 1] ? 2 : tracks[i].size() + 1;
    }
    return (bytes + kTextBytesPerPack - 1) / kTextBytesPerPack;
}

bool FitsOneBlock(const PackTexts& texts) {
    return PacksOf(texts.albumTitle, texts.titles) +
               PacksOf(texts.albumPerformer, texts.performers) <=
           static_cast<size_t>(cdtext::kMaxCdTextTextPacks);
}

std::string OrElse(std::string text, const char* otherwise) {
    return text.empty() ? std::string(otherwise) : text;
}

} // namespace

PackTexts FitNames(const DiscNames& names, const TrackTable& table) {
    PackTexts full;
    full.albumTitle = OrElse(RomanizeToLatin1(names.albumTitle), kUntitled);
    full.albumPerformer = OrElse(RomanizeToLatin1(names.albumPerformer), kUnknownArtist);
    for (size_t i = 0; i < table.tracks.size(); ++i) {
        const bool listed = i < names.tracks.size();
        std::string title = listed ? RomanizeToLatin1(names.tracks[i].title) : std::string();
        std::string performer =
            listed ? RomanizeToLatin1(names.tracks[i].performer) : std::string();
        full.titles.push_back(
            OrElse(std::move(title), table.tracks[i].isAudio || listed ? kUntitled : kDataTrack));
        full.performers.push_back(performer.empty() ? full.albumPerformer : performer);
    }

    // The longest cap that fits: every text keeps up to that many bytes.
    size_t longest = kItemTextLimit;
    PackTexts fitted = Limited(full, longest);
    if (FitsOneBlock(fitted)) {
        return fitted;
    }
    size_t fits = 1;
    while (fits + 1 < longest) {
        const size_t middle = (fits + longest) / 2;
        (FitsOneBlock(Limited(full, middle)) ? fits : longest) = middle;
    }
    return Limited(full, fits);
}

std::vector<uint8_t> BuildNamePacks(const DiscNames& names, const TrackTable& table) {
    if (table.tracks.empty()) {
        return {};
    }
    const PackTexts texts = FitNames(names, table);
    cdtext::CdTextAlbum album;
    album.encoding = cdtext::TextEncoding::Latin1;
    album.title = texts.albumTitle;
    album.performer = texts.albumPerformer;
    album.firstTrack = table.firstTrack;
    for (size_t i = 0; i < table.tracks.size(); ++i) {
        album.tracks.push_back({texts.titles[i], texts.performers[i], {}});
    }
    std::vector<uint8_t> packs;
    std::string error;
    if (!cdtext::EncodeCdText(album, packs, error)) {
        return {}; // texts that fit one block always encode; anything else names nothing
    }
    return packs;
}

} // namespace names
