// The texts of a disc's tracks as the refresh shows them.
#include "player/track_texts.h"

#include "disc/cdtext.h"
#include "disc/text_cut.h"
#include "disc/toc.h"

#include <cstdio>
#include <string>

namespace {

const char* const kSameAsPrevious = "\t";

// "Track 07": the entry of a track on a disc without CD-Text.
std::string NumberedEntry(int32_t track) {
    char entry[24] = {};
    std::snprintf(entry, sizeof entry, "Track %02d", static_cast<int>(track));
    return entry;
}

// "[07]  ": what comes before a track's title in its entry.
std::string TitlePrefix(int32_t track) {
    char prefix[24] = {};
    std::snprintf(prefix, sizeof prefix, "[%02d]  ", static_cast<int>(track));
    return prefix;
}

} // namespace

DiscTexts MakeDiscTexts(const TrackTable& table, const DiscTextItems* discText) {
    DiscTexts texts;
    auto item = [&](uint8_t packType, int32_t index) {
        return CutText(discText->Item(packType, index), kItemTextLimit);
    };
    std::string discPerformer;
    if (discText != nullptr) {
        texts.albumTitle = item(kPackTypeTitle, 0);
        discPerformer = item(kPackTypePerformer, 0);
    }
    std::string previousTitle;
    std::string previousPerformer = discPerformer;
    for (const TrackEntry& track : table.tracks) {
        TrackText& text = texts.tracks.emplace_back();
        text.track = track.number;
        if (discText == nullptr) {
            text.entry = NumberedEntry(track.number);
            text.title = text.entry;
            continue;
        }
        const int32_t index = track.number - table.firstTrack + 1;
        std::string title = item(kPackTypeTitle, index);
        if (title == kSameAsPrevious) {
            title = previousTitle;
        }
        previousTitle = title;
        text.title = CutText(title, kLabelTitleLimit);
        text.entry = TitlePrefix(track.number) + text.title;

        std::string performer = item(kPackTypePerformer, index);
        if (performer == kSameAsPrevious) {
            performer = previousPerformer;
        } else if (performer.empty()) {
            performer = discPerformer;
        }
        previousPerformer = performer;
        text.performer = CutText(performer, kPerformerTextLimit);
    }
    return texts;
}

std::string DiscTotalText(int32_t frames) {
    return "Total disc time: " + FormatFrames(frames);
}

std::string TrackTotalText(int32_t frames) {
    return "Total track time: " + FormatFrames(frames);
}

std::string TrackNumberText(int32_t track) {
    return "Track " + std::to_string(track);
}
