// The Q sub-channel of a frame, written as a drive delivers it and read back without trusting it.
// Every check of a decoded Q is against what is known for certain: the frame asked for and the
// table of contents.
#include "playback/sub_q.h"

#include "drive/big_endian.h"
#include "drive/msf.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace playback {

namespace {

constexpr size_t kCatalogDigits = 13;
constexpr size_t kIsrcLength = 12;
constexpr size_t kIsrcCharacters = 5; // then 7 digits
// A sub-channel that lags or leads its frame by this much is still the frame's.
constexpr int32_t kQSlack = 2;

uint8_t ToBcd(int value) {
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

// A field in the drive's form: -1 for a byte that is no BCD number.
int FromField(uint8_t byte, bool binary) {
    if (binary) {
        return byte;
    }
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

// The frame number within its second, the last byte of an absolute address.
int FrameOfSecond(int32_t lba) {
    return static_cast<int>((int64_t{lba} + kMsfLbaOffset) % kFramesPerSecond);
}

// The ISRC's 6-bit characters: digits 00-09, letters 11h-2Ah.
int IsrcCharacterCode(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c - 'A' + 0x11;
}
char IsrcCharacter(uint64_t code) {
    if (code <= 9) {
        return static_cast<char>('0' + code);
    }
    return code >= 0x11 && code <= 0x2A ? static_cast<char>('A' + (code - 0x11)) : '\0';
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool NotAllZeros(std::string_view text) {
    return text.find_first_not_of('0') != std::string_view::npos;
}

// The table-of-contents position of the last track that starts at or before `lba` (the first
// track in front of every start).
size_t TocTrackAt(std::span<const DiscTrack> tracks, int32_t lba) {
    size_t found = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].start <= lba) {
            found = i;
        }
    }
    return found;
}

std::optional<QPosition> DecodePosition(std::span<const uint8_t> q, int32_t lba,
                                        const DiscLayout& disc, bool binary) {
    std::array<int, 9> field{}; // bytes 1-9
    for (size_t i = 0; i < field.size(); ++i) {
        field[i] = FromField(q[kQTrackAt + i], binary);
        if (field[i] < 0) {
            return std::nullopt;
        }
    }
    const int track = field[0];
    const int index = field[1];
    const auto seconds = [&field](size_t at) { return field[at - kQTrackAt]; };
    if (q[kQZeroAt] != 0 || seconds(kQRelativeAt + 1) > 59 || seconds(kQRelativeAt + 2) > 74 ||
        seconds(kQAbsoluteAt + 1) > 59 || seconds(kQAbsoluteAt + 2) > 74 || index > 99) {
        return std::nullopt;
    }
    const int32_t heard = MsfToLba(seconds(kQAbsoluteAt), seconds(kQAbsoluteAt + 1),
                                   seconds(kQAbsoluteAt + 2)); // the frame the Q belongs to
    if (std::abs(int64_t{lba} - heard) > kQSlack || disc.tracks.empty()) {
        return std::nullopt;
    }
    // The track must be the one the table of contents has there, or the next one, in whose
    // pregap the frame lies.
    const size_t at = TocTrackAt(disc.tracks, heard);
    const DiscTrack* owner = nullptr;
    for (size_t i = at; i < std::min(at + 2, disc.tracks.size()); ++i) {
        if (disc.tracks[i].number == track) {
            owner = &disc.tracks[i];
        }
    }
    const int32_t relative =
        MsfToFrames(seconds(kQRelativeAt), seconds(kQRelativeAt + 1), seconds(kQRelativeAt + 2));
    const int64_t fromStart = int64_t{heard} - (owner ? owner->start : 0);
    // Inside a pregap the time counts down to INDEX 01, and the index is 0 there only.
    if (!owner || (fromStart < 0) != (index == 0) || std::abs(fromStart) != relative) {
        return std::nullopt;
    }
    const int32_t here = lba - owner->start;
    return QPosition{static_cast<uint8_t>(q[kQControlAdrAt] >> 4), track,
                     here < 0 ? 0 : std::max(index, 1), here};
}

// The absolute frame number of a catalogue or ISRC Q, in either form, within the slack.
bool FrameOfSecondFits(uint8_t byte, int32_t lba) {
    for (const bool binary : {false, true}) {
        const int frame = FromField(byte, binary);
        const int distance = std::abs(frame - FrameOfSecond(lba));
        if (frame >= 0 && frame < kFramesPerSecond &&
            std::min(distance, kFramesPerSecond - distance) <= kQSlack) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> DecodeCatalog(std::span<const uint8_t> q) {
    std::string digits;
    for (size_t i = 0; i < kCatalogDigits; ++i) {
        const uint8_t byte = q[kQCodeAt + i / 2];
        const int digit = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (digit > 9) {
            return std::nullopt;
        }
        digits += static_cast<char>('0' + digit);
    }
    return digits;
}

std::optional<std::string> DecodeIsrc(std::span<const uint8_t> q) {
    const uint64_t bits = uint64_t{ReadBe32(q, kQCodeAt)} << 32 | ReadBe32(q, kQCodeAt + 4);
    std::string isrc;
    for (size_t i = 0; i < kIsrcCharacters; ++i) {
        const char c = IsrcCharacter(bits >> (58 - 6 * i) & 0x3F);
        if (c == '\0') {
            return std::nullopt;
        }
        isrc += c;
    }
    for (size_t i = 0; i < kIsrcLength - kIsrcCharacters; ++i) {
        const auto digit = static_cast<int>(bits >> (28 - 4 * i) & 0x0F);
        if (digit > 9) {
            return std::nullopt;
        }
        isrc += static_cast<char>('0' + digit);
    }
    return isrc;
}

} // namespace

QPosition QPositionAt(std::span<const DiscTrack> tracks, int32_t lba) {
    const DiscPosition where = PositionAt(tracks, lba);
    return QPosition{
        static_cast<uint8_t>((where.track->control | where.track->qOnlyControl) & 0x0F),
        where.track->number, where.index, where.relative};
}

bool IsCatalogNumber(std::string_view code) {
    return code.size() == kCatalogDigits && AllDigits(code) && NotAllZeros(code);
}

bool IsIsrc(std::string_view code) {
    if (code.size() != kIsrcLength || !AllDigits(code.substr(kIsrcCharacters))) {
        return false;
    }
    return std::all_of(code.begin(), code.begin() + kIsrcCharacters,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }) &&
           NotAllZeros(code);
}

std::array<uint8_t, kFormattedQLength> EncodeQ(const QFrame& frame, int32_t lba, bool binary) {
    std::array<uint8_t, kFormattedQLength> q{};
    const auto put = [binary](int value) {
        return binary ? static_cast<uint8_t>(value) : ToBcd(value);
    };
    uint8_t adr = kQAdrPosition;
    switch (frame.mode) {
    case QFrame::Mode::Catalog:
        adr = kQAdrCatalog;
        for (size_t i = 0; i < kCatalogDigits && i < frame.code.size(); ++i) {
            const auto digit = static_cast<uint8_t>(frame.code[i] - '0');
            q[kQCodeAt + i / 2] |= i % 2 == 0 ? static_cast<uint8_t>(digit << 4) : digit;
        }
        q[kQAbsoluteFrameAt] = put(FrameOfSecond(lba));
        break;
    case QFrame::Mode::Isrc: {
        adr = kQAdrIsrc;
        uint64_t bits = 0;
        for (size_t i = 0; i < kIsrcLength && i < frame.code.size(); ++i) {
            bits |= i < kIsrcCharacters
                        ? uint64_t(IsrcCharacterCode(frame.code[i])) << (58 - 6 * i)
                        : uint64_t(frame.code[i] - '0') << (28 - 4 * (i - kIsrcCharacters));
        }
        WriteBe32(q, kQCodeAt, static_cast<uint32_t>(bits >> 32));
        WriteBe32(q, kQCodeAt + 4, static_cast<uint32_t>(bits));
        q[kQAbsoluteFrameAt] = put(FrameOfSecond(lba));
        break;
    }
    case QFrame::Mode::Position:
    case QFrame::Mode::Unusable: {
        const QPosition& at = frame.position;
        q[kQTrackAt] = put(at.track);
        q[kQIndexAt] = put(at.index);
        std::array<uint8_t, 3> msf{};
        WriteMsf(msf, 0, std::abs(int64_t{at.relative})); // counting down inside a pregap
        for (size_t i = 0; i < msf.size(); ++i) {
            q[kQRelativeAt + i] = put(msf[i]);
        }
        WriteMsf(msf, 0, std::max<int64_t>(0, int64_t{lba} + kMsfLbaOffset));
        for (size_t i = 0; i < msf.size(); ++i) {
            q[kQAbsoluteAt + i] = put(msf[i]);
        }
        break;
    }
    }
    q[kQControlAdrAt] = static_cast<uint8_t>((frame.control & 0x0F) << 4 | adr);
    WriteBe16(q, kQCrcAt, SubcodeCrc(std::span<const uint8_t>(q).first(kQCrcCovers)));
    return q;
}

QFrame DecodeQ(std::span<const uint8_t> q, int32_t lba, const DiscLayout& disc) {
    QFrame frame;
    if (q.size() < kFormattedQLength) {
        return frame;
    }
    const auto crc = static_cast<uint16_t>(ReadBe16(q, kQCrcAt));
    const uint16_t computed = SubcodeCrc(q.first(kQCrcCovers));
    if (crc != 0 && crc != computed && crc != static_cast<uint16_t>(~computed)) {
        return frame; // some drives hand the CRC on as the disc holds it, inverted; some not
    }
    frame.control = static_cast<uint8_t>(q[kQControlAdrAt] >> 4);
    switch (q[kQControlAdrAt] & 0x0F) {
    case kQAdrPosition:
        for (const bool binary : {false, true}) {
            if (const std::optional<QPosition> position = DecodePosition(q, lba, disc, binary)) {
                frame.mode = QFrame::Mode::Position;
                frame.position = *position;
                return frame;
            }
        }
        break;
    case kQAdrCatalog:
    case kQAdrIsrc: {
        const bool catalog = (q[kQControlAdrAt] & 0x0F) == kQAdrCatalog;
        const std::optional<std::string> code = catalog ? DecodeCatalog(q) : DecodeIsrc(q);
        if (code && FrameOfSecondFits(q[kQAbsoluteFrameAt], lba)) {
            frame.mode = catalog ? QFrame::Mode::Catalog : QFrame::Mode::Isrc;
            frame.code = (catalog ? IsCatalogNumber(*code) : IsIsrc(*code)) ? *code : "";
        }
        break;
    }
    default:
        break;
    }
    return frame;
}

} // namespace playback
