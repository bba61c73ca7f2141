// Builds the raw CD-Text packs a pressed disc carries in its lead-in from album and track texts:
// one block, ISO-8859-1, English, titles, performers and songwriters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cdtext {

inline constexpr size_t kCdTextPackSize = 18;
inline constexpr int kMaxCdTextTextPacks =
    253; // 256 sequence numbers in a block, 3 go to the size packs

inline constexpr uint8_t kPackTitle = 0x80;
inline constexpr uint8_t kPackPerformer = 0x81;
inline constexpr uint8_t kPackSongwriter = 0x82;
inline constexpr uint8_t kPackSizeInfo = 0x8F;

// Texts are UTF-8 (a character outside ISO-8859-1 is stored as '?'), or ISO-8859-1 bytes as
// stored when the album says so. An empty text is a track without that item.
struct CdTextTrack {
    std::string title;
    std::string performer;
    std::string songwriter;
};

enum class TextEncoding { Utf8, Latin1 };

struct CdTextAlbum {
    std::string title;
    std::string performer;
    std::string songwriter;
    int firstTrack = 1;
    std::vector<CdTextTrack> tracks; // tracks firstTrack, firstTrack + 1, ...
    // A track text equal to the previous track's is stored as a single TAB, as disc writers do
    // to save room; players show the previous text again.
    bool repeatAsTab = true;
    TextEncoding encoding = TextEncoding::Utf8; // of every text above
};

// What went wrong; for texts that do not fit, the first text that found no room.
struct CdTextProblem {
    std::string message;
    uint8_t packType =
        0;          // kPackTitle, kPackPerformer or kPackSongwriter; 0 when no text is to blame
    int track = -1; // 0 for the album, else the track number
};

// Appends nothing and returns true with empty `packs` when every text is empty.
bool EncodeCdText(const CdTextAlbum& album, std::vector<uint8_t>& packs, CdTextProblem& problem);
bool EncodeCdText(const CdTextAlbum& album, std::vector<uint8_t>& packs, std::string& error);

// The pack checksum over bytes 0-15: CRC-16 x^16 + x^12 + x^5 + 1, start 0, MSB first, inverted.
uint16_t CdTextCrc(std::span<const uint8_t> bytes);

} // namespace cdtext
