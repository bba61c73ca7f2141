// CD-Text answers for the tests, built the way a disc's encoder lays the packs out: texts of one
// type back to back with their nulls, 12 bytes a pack, the last pack padded with nulls, and the
// character position of the text in progress in byte 3. CRCs are left 0: the player never checks
// them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using Packs = std::vector<uint8_t>;

// One pack with the given character-position byte and up to 12 text bytes (null-padded).
inline Packs RawPack(uint8_t packType, uint8_t positionByte, const std::string& text) {
    Packs pack(18, 0);
    pack[0] = packType;
    pack[3] = positionByte;
    std::copy_n(text.begin(), std::min<size_t>(text.size(), 12), pack.begin() + 4);
    return pack;
}

inline Packs EncodePacks(uint8_t packType, const std::vector<std::string>& texts, int block = 0) {
    std::string stream;
    std::vector<size_t> textStarts;
    for (const std::string& text : texts) {
        textStarts.push_back(stream.size());
        stream += text;
        stream += '\0';
    }
    Packs packs;
    for (size_t at = 0; at < stream.size(); at += 12) {
        // The text in progress at the start of this pack, and how much of it earlier packs hold.
        size_t text = 0;
        while (text + 1 < textStarts.size() && textStarts[text + 1] <= at) {
            ++text;
        }
        const size_t carried = std::min<size_t>(at - textStarts[text], 15);
        Packs pack =
            RawPack(packType, static_cast<uint8_t>((block << 4) | static_cast<int>(carried)),
                    stream.substr(at, 12));
        pack[1] = static_cast<uint8_t>(text);
        packs.insert(packs.end(), pack.begin(), pack.end());
    }
    return packs;
}

// The READ TOC format-5 answer: a 4-byte header whose length counts the bytes after it.
inline std::vector<uint8_t> DiscTextResponse(const std::vector<Packs>& groups) {
    std::vector<uint8_t> response(4, 0);
    for (const Packs& packs : groups) {
        response.insert(response.end(), packs.begin(), packs.end());
    }
    const size_t dataLength = response.size() - 2;
    response[0] = static_cast<uint8_t>(dataLength >> 8);
    response[1] = static_cast<uint8_t>(dataLength);
    return response;
}

inline int32_t AnnouncedLength(const std::vector<uint8_t>& response) {
    return (response[0] << 8) | response[1];
}
