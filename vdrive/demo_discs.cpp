// Built-in demo discs. The albums, titles and names are made up for this program.
#include "vdrive/demo_discs.h"

#include "cdtext/cdtext_encoder.h"
#include "drive/msf.h"
#include "vdrive/demo_music.h"

#include <memory>

#include <span>
#include <string>
#include <vector>

namespace vdrive {
namespace {

constexpr int32_t kGapFrames =
    2 * kFramesPerSecond; // the usual two seconds of index 0 between tracks

struct DemoTrack {
    int seconds;
    int frames; // so that lengths do not all end on whole seconds
    uint8_t control;
};

// Track 1 starts at LBA 0; each later track has a two-second pregap at the end of the one before.
// The audio tracks play music of their own, the `variant` of the disc.
DiscImage Layout(int firstTrack, std::span<const DemoTrack> tracks, int variant) {
    DiscImage disc;
    int32_t start = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        playback::DiscTrack track;
        track.number = firstTrack + static_cast<int>(i);
        track.control = tracks[i].control;
        track.start = start;
        track.pregapStart = i == 0 ? 0 : start - kGapFrames;
        disc.tracks.push_back(track);
        start += tracks[i].seconds * kFramesPerSecond + tracks[i].frames;
    }
    disc.leadOut = start;
    disc.audio = std::make_shared<DemoMusicSource>(disc.Layout(), variant);
    return disc;
}

std::vector<uint8_t> Packs(const cdtext::CdTextAlbum& album) {
    std::vector<uint8_t> packs;
    std::string error;
    cdtext::EncodeCdText(album, packs, error); // fixed texts that fit: cannot fail
    return packs;
}

} // namespace

DiscImage DemoCdTextDisc() {
    constexpr DemoTrack kTracks[] = {
        {214, 37, 0x00}, {187, 5, 0x00},  {263, 61, 0x00}, {301, 12, 0x00},
        {158, 44, 0x00}, {242, 70, 0x00}, {329, 3, 0x00},  {195, 29, 0x00},
        {276, 58, 0x00}, {224, 16, 0x00}, {348, 49, 0x00}, {171, 22, 0x00},
    };
    DiscImage disc = Layout(1, kTracks, 0);
    const std::string band = "The Marlow Vane Quartet";
    cdtext::CdTextAlbum album;
    album.title = "Tides & Tin Roofs";
    album.performer = band;
    album.songwriter = "Ilse Brandhorst";
    album.tracks = {
        {"Harbour Lights at Four", band, ""},
        {"Salt & Cedar", band, ""},
        {"The Long Way Round the Bay", band, ""},
        {"R\u00eaverie for Two Oars", band + " with Tomas Ekwall", ""},
        {"Lantern Street", band, ""},
        {"Undertow", band, ""},
        {"A Letter Never Sent", "", ""}, // the one track without a performer
        {"Gulls Over Ferrybridge", band, ""},
        {"Copper Kettle Waltz", band + " with Nadia Rook", ""},
        {"Drift", band, ""},
        {"Nine Knots North", band, ""},
        {"Last Boat Home", band, ""},
    };
    disc.cdText = Packs(album);
    return disc;
}

DiscImage DemoMixedDisc() {
    constexpr DemoTrack kTracks[] = {
        {512, 40, kControlData}, {203, 11, 0x00}, {248, 66, 0x00}, {177, 8, 0x00},  {296, 33, 0x00},
        {231, 52, 0x00},         {162, 19, 0x00}, {318, 7, 0x00},  {209, 45, 0x00}, {265, 28, 0x00},
    };
    return Layout(1, kTracks, 1);
}

DiscImage DemoThirdTrackDisc() {
    constexpr DemoTrack kTracks[] = {
        {198, 14, 0x00}, {256, 9, 0x00}, {143, 67, 0x00}, {287, 31, 0x00}, {221, 50, 0x00},
    };
    DiscImage disc = Layout(3, kTracks, 2);
    cdtext::CdTextAlbum album;
    album.title = "Third Shelf Sessions";
    album.performer = "Orla Finchley";
    album.firstTrack = 3;
    album.tracks = {
        {"Dust Jacket", "Orla Finchley", ""},
        {"Marginalia", "Orla Finchley", ""},
        {"Overdue", "Orla Finchley", ""},
        {"Quiet Reading Room", "Orla Finchley", ""},
        {"Closing Time at the Library", "Orla Finchley", ""},
    };
    disc.cdText = Packs(album);
    return disc;
}

} // namespace vdrive
