// CD-Text: reading the packs from the drive (READ TOC format 5) and picking one text item out
// of them, the way the player has always done it (see ExtractDiscTextItem for its quirks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr uint8_t kPackTypeTitle = 0x80;
inline constexpr uint8_t kPackTypePerformer = 0x81;
inline constexpr size_t kPackLength = 18;
inline constexpr size_t kPackTextLength = 12;
inline constexpr int32_t kDiscTextLengthCap = 10000;         // data length the player reads at most
inline constexpr size_t kDiscTextBufferLength = 10000 + 2;   // what a response buffer must hold
inline constexpr int32_t kSmallestUsableDiscTextLength = 22; // one pack (20) is not enough
inline constexpr size_t kItemAccumulatorLength = 500; // text bytes of an item, its null included

// Reads the drive's CD-Text into response: first its 4-byte header, then the announced data
// length capped at 10000, plus 2. True when the second read completed, the length is at least
// 22 and every pack within it is of a CD-Text type (0x80-0x8F): an answer of anything else is
// no CD-Text. discTextLength is the capped header value (0 when even the header could not be
// read). A response too short for a read counts as no CD-Text.
bool FetchDiscText(int hostAdapter, int target, std::span<uint8_t> response,
                   int32_t& discTextLength);

// Whether a CD-Text response (4-byte header included) with this capped data length is one the
// player can use: at least 22 bytes, and every pack within them of a CD-Text type (0x80-0x8F).
bool IsUsableDiscText(std::span<const uint8_t> response, int32_t discTextLength);

// Item itemIndex of packType (0x80 title, 0x81 performer), walking the packs of the response
// (4-byte header included) that length covers. Item 0 is the disc's text, item n track n's.
// Empty when the item is not there. Reads nothing outside the response, whatever length claims.
// The walk, kept exactly as players in the field behave (disc/cdtext_walk.h, which DiscTextItems
// shares):
// - packs of every other type are skipped; block (language), sequence, track byte and CRC are
//   not read, so the items of all blocks count on as one list;
// - a null ends an item only when the byte before it is not null: the previous text byte, or
//   for a pack's first text byte the pack's character-position byte. An empty item therefore
//   ends nothing; its null stays at the front of the item text, which is not cleared between
//   items, so the next item reads empty and every later one moves one index down;
// - an ampersand is doubled (so that a label shows it rather than taking it as a mnemonic),
//   except in track titles (packType 0x80, itemIndex != 0);
// - a TAB item ("same as the previous track") is the one-character text TAB;
// - an item keeps its first 499 bytes; a doubled ampersand that does not fit whole is dropped
//   whole, and nothing after it is kept.
std::string ExtractDiscTextItem(uint8_t packType, int32_t itemIndex,
                                std::span<const uint8_t> response, int32_t length);
