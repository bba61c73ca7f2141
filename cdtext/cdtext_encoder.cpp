// CD-Text packs as disc writers lay them out: the strings of one pack type run on from pack to
// pack, each pack names the track of its first character and how much of that string earlier
// packs already hold, and three size packs close the block.
#include "cdtext/cdtext_encoder.h"

#include "cdtext/text_encoding.h"
#include "drive/big_endian.h"
#include "drive/sub_q_layout.h"

#include <algorithm>
#include <array>

namespace cdtext {
namespace {

constexpr size_t kPayloadSize = 12;
constexpr uint8_t kCharsetLatin1 = 0x00;
constexpr uint8_t kLanguageEnglish = 0x09;
constexpr int kMaxTrackNumber = 99;
constexpr uint8_t kMaxCharacterPosition = 15;

// One pack type's strings laid end to end, each byte tagged with its string and its place in it.
struct TextStream {
    uint8_t packType = 0;
    std::vector<uint8_t> bytes;
    std::vector<int> item;     // 0 album, 1.. tracks in order
    std::vector<size_t> place; // index of the byte within its string (the NUL included)
};

const std::string& TextOf(const CdTextAlbum& album, uint8_t packType, size_t item) {
    if (item == 0) {
        return packType == kPackTitle       ? album.title
               : packType == kPackPerformer ? album.performer
                                            : album.songwriter;
    }
    const CdTextTrack& track = album.tracks[item - 1];
    return packType == kPackTitle       ? track.title
           : packType == kPackPerformer ? track.performer
                                        : track.songwriter;
}

// Returns false when the type has no text at all, so that it gets no packs.
bool BuildStream(const CdTextAlbum& album, uint8_t packType, TextStream& stream) {
    stream.packType = packType;
    bool anyText = false;
    std::string previous;
    for (size_t item = 0; item <= album.tracks.size(); ++item) {
        const std::string& given = TextOf(album, packType, item);
        const std::string text =
            album.encoding == TextEncoding::Latin1 ? given : Utf8ToLatin1(given);
        anyText = anyText || !text.empty();
        // Only a track after the first may point back; the first track never repeats the album.
        const bool repeat = album.repeatAsTab && item >= 2 && !text.empty() && text == previous;
        const std::string stored = repeat ? std::string("\t") : text;
        for (size_t i = 0; i <= stored.size(); ++i) {
            stream.bytes.push_back(i < stored.size() ? static_cast<uint8_t>(stored[i]) : 0);
            stream.item.push_back(static_cast<int>(item));
            stream.place.push_back(i);
        }
        previous = text;
    }
    return anyText;
}

size_t PackCount(const TextStream& stream) {
    return (stream.bytes.size() + kPayloadSize - 1) / kPayloadSize;
}

int TrackNumberOf(const CdTextAlbum& album, int item) {
    return item == 0 ? 0 : album.firstTrack + item - 1;
}

void AppendPack(std::vector<uint8_t>& packs, uint8_t type, uint8_t track, uint8_t sequence,
                uint8_t position, std::span<const uint8_t> payload) {
    std::array<uint8_t, kCdTextPackSize> pack{};
    pack[0] = type;     // pack type
    pack[1] = track;    // track of the first character (extension flag 0)
    pack[2] = sequence; // sequence number within the block
    pack[3] = position; // single-byte text, block 0, character position
    std::copy(payload.begin(), payload.end(), pack.begin() + 4);
    WriteBe16(pack, 16, CdTextCrc(std::span(pack).first(16)));
    packs.insert(packs.end(), pack.begin(), pack.end());
}

const char* TypeName(uint8_t packType) {
    return packType == kPackTitle       ? "title"
           : packType == kPackPerformer ? "performer"
                                        : "songwriter";
}

} // namespace

uint16_t CdTextCrc(std::span<const uint8_t> bytes) {
    return SubcodeCrc(bytes);
}

bool EncodeCdText(const CdTextAlbum& album, std::vector<uint8_t>& packs, CdTextProblem& problem) {
    packs.clear();
    problem = {};
    const int lastTrack = album.firstTrack + static_cast<int>(album.tracks.size()) - 1;
    if (album.tracks.empty()) {
        problem.message = "CD-Text needs at least one track";
        return false;
    }
    if (album.firstTrack < 1 || lastTrack > kMaxTrackNumber) {
        problem.message = "CD-Text tracks must lie within 1-99 (tracks " +
                          std::to_string(album.firstTrack) + "-" + std::to_string(lastTrack) + ")";
        return false;
    }

    std::vector<TextStream> streams;
    for (const uint8_t type : {kPackTitle, kPackPerformer, kPackSongwriter}) {
        TextStream stream;
        if (BuildStream(album, type, stream)) {
            streams.push_back(std::move(stream));
        }
    }
    if (streams.empty()) {
        return true;
    }

    size_t textPacks = 0;
    for (const TextStream& stream : streams) {
        const size_t count = PackCount(stream);
        if (textPacks + count > kMaxCdTextTextPacks) {
            const size_t firstLost = (kMaxCdTextTextPacks - textPacks) * kPayloadSize;
            problem.packType = stream.packType;
            problem.track = TrackNumberOf(album, stream.item[firstLost]);
            size_t needed = 0;
            for (const TextStream& s : streams) {
                needed += PackCount(s);
            }
            problem.message = "the CD-Text texts need " + std::to_string(needed) +
                              " packs but a disc holds at most " +
                              std::to_string(kMaxCdTextTextPacks) + "; the " +
                              (problem.track == 0 ? std::string("album")
                                                  : "track " + std::to_string(problem.track)) +
                              " " + TypeName(stream.packType) + " is the first that does not fit";
            return false;
        }
        textPacks += count;
    }

    std::array<uint8_t, 16> typeCounts{};
    uint8_t sequence = 0;
    for (const TextStream& stream : streams) {
        for (size_t start = 0; start < stream.bytes.size(); start += kPayloadSize) {
            std::array<uint8_t, kPayloadSize> payload{};
            const size_t end = std::min(stream.bytes.size(), start + kPayloadSize);
            std::copy(stream.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                      stream.bytes.begin() + static_cast<std::ptrdiff_t>(end), payload.begin());
            const auto track = static_cast<uint8_t>(TrackNumberOf(album, stream.item[start]));
            const auto position =
                static_cast<uint8_t>(std::min<size_t>(stream.place[start], kMaxCharacterPosition));
            AppendPack(packs, stream.packType, track, sequence++, position, payload);
            ++typeCounts[stream.packType & 0x0F];
        }
    }

    // The size information: a 36-byte record spread over three packs.
    typeCounts[kPackSizeInfo & 0x0F] = 3;
    std::array<uint8_t, 36> record{};
    record[0] = kCharsetLatin1;                         // character code of this block
    record[1] = static_cast<uint8_t>(album.firstTrack); // first track
    record[2] = static_cast<uint8_t>(lastTrack);        // last track
    record[3] = 0x00;                                   // no copyright flag
    std::copy(typeCounts.begin(), typeCounts.end(), record.begin() + 4); // packs per type 0x80-0x8F
    record[20] = static_cast<uint8_t>(sequence + 2); // last sequence number of block 0
    record[28] = kLanguageEnglish;                   // language of block 0
    for (uint8_t part = 0; part < 3; ++part) {
        AppendPack(packs, kPackSizeInfo, part, sequence++, 0,
                   std::span(record).subspan(part * kPayloadSize, kPayloadSize));
    }
    return true;
}

bool EncodeCdText(const CdTextAlbum& album, std::vector<uint8_t>& packs, std::string& error) {
    CdTextProblem problem;
    const bool ok = EncodeCdText(album, packs, problem);
    error = problem.message;
    return ok;
}

} // namespace cdtext
