// Test helper: decodes raw CD-Text packs with libcdio, a decoder written independently of ours.
#pragma once

#include <cdio/cdtext.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct LibcdioText {
    bool accepted = false; // libcdio took the packs without complaint
    int firstTrack = 0;
    int lastTrack = 0;
    int language = 0;
    // (field, track) -> UTF-8 text, track 0 = album; only fields libcdio reports as set
    std::map<std::pair<int, int>, std::string> texts;

    std::string Get(cdtext_field_t field, int track) const {
        const auto it = texts.find({field, track});
        return it == texts.end() ? std::string() : it->second;
    }
};

inline LibcdioText DecodeWithLibcdio(std::vector<uint8_t> packs) {
    LibcdioText result;
    cdtext_t* text = cdtext_init();
    result.accepted = cdtext_data_init(text, packs.data(), packs.size()) == 0;
    result.firstTrack = cdtext_get_first_track(text);
    result.lastTrack = cdtext_get_last_track(text);
    result.language = cdtext_get_language(text);
    for (int track = 0; track <= result.lastTrack; ++track) {
        for (const cdtext_field_t field :
             {CDTEXT_FIELD_TITLE, CDTEXT_FIELD_PERFORMER, CDTEXT_FIELD_SONGWRITER}) {
            const char* value = cdtext_get_const(text, field, static_cast<track_t>(track));
            if (value != nullptr) {
                result.texts[{field, track}] = value;
            }
        }
    }
    cdtext_destroy(text);
    return result;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
