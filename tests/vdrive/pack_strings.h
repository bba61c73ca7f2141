// Test helper: the strings of one pack type in CD-Text block 0, read the plain way: payloads
// joined and split at each NUL, a TAB standing for the previous track's string. It does not
// look at track numbers or character positions, so it checks the encoder from another side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Latin-1 strings: [0] the album, [n] the n-th track of the block; `count` strings in all.
inline std::vector<std::string> PackStrings(const std::vector<uint8_t>& packs, uint8_t type,
                                            size_t count) {
    std::string joined;
    for (size_t at = 0; at + 18 <= packs.size(); at += 18) {
        if (packs[at] == type && (packs[at + 3] & 0x70) == 0) {
            joined.append(reinterpret_cast<const char*>(&packs[at + 4]), 12);
        }
    }
    std::vector<std::string> strings;
    size_t start = 0;
    for (size_t i = 0; i < joined.size() && strings.size() < count; ++i) {
        if (joined[i] == '\0') {
            strings.push_back(joined.substr(start, i - start));
            start = i + 1;
        }
    }
    strings.resize(count);
    for (size_t i = 2; i < strings.size(); ++i) {
        if (strings[i] == "\t") {
            strings[i] = strings[i - 1];
        }
    }
    return strings;
}
