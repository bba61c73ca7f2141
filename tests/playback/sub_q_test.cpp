// The Q sub-channel as a drive delivers it with READ CD: what the virtual drive writes reads back
// as the disc's position and codes, in BCD or in binary, and what a drive gets wrong is never
// taken for a position.
#include "drive/big_endian.h"
#include "playback/sub_q.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using playback::DecodeQ;
using playback::EncodeQ;
using playback::QFrame;
using playback::QPosition;

// Track 1 from 0, track 2 from 3000 with a pregap from 2850 (which its table of contents does not
// show), track 3 from 6000; the lead-out at 9000.
playback::DiscLayout Disc() {
    playback::DiscLayout disc{{playback::TocTrack(1, 0x00, 0), playback::TocTrack(2, 0x01, 3000),
                               playback::TocTrack(3, 0x00, 6000)},
                              9000};
    disc.tracks[1].pregapStart = 2850;
    return disc;
}

// The table of contents the layer knows: no pregaps.
playback::DiscLayout Toc() {
    playback::DiscLayout toc = Disc();
    for (playback::DiscTrack& track : toc.tracks) {
        track.pregapStart = track.start;
    }
    return toc;
}

QFrame Position(int32_t lba) {
    QFrame frame;
    frame.mode = QFrame::Mode::Position;
    frame.position = playback::QPositionAt(Disc().tracks, lba);
    frame.control = frame.position.control;
    return frame;
}

QFrame Code(QFrame::Mode mode, const std::string& code) {
    QFrame frame;
    frame.mode = mode;
    frame.code = code;
    return frame;
}

TEST(SubQ, WhatADriveDeliversReadsBackAsTheDiscsPositionAndCodesInBcdOrBinary) {
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "BCD");
        for (const int32_t lba : {-150, -1, 0, 2849, 2850, 2999, 3000, 3001, 8999}) {
            const QFrame read = DecodeQ(EncodeQ(Position(lba), lba, binary), lba, Toc());
            ASSERT_EQ(read.mode, QFrame::Mode::Position) << lba;
            EXPECT_EQ(read.position, Position(lba).position) << lba;
        }
        for (const auto& [mode, code] : {std::pair{QFrame::Mode::Catalog, "0602517484290"},
                                         std::pair{QFrame::Mode::Isrc, "GBAYE0601498"},
                                         std::pair{QFrame::Mode::Isrc, "US5R10300045"}}) {
            const QFrame read = DecodeQ(EncodeQ(Code(mode, code), 4321, binary), 4321, Toc());
            EXPECT_EQ(read.mode, mode);
            EXPECT_EQ(read.code, code);
        }
    }
    // In the pregap the relative time counts down to track 2's start.
    const QPosition pregap = DecodeQ(EncodeQ(Position(2900), 2900), 2900, Toc()).position;
    EXPECT_EQ(pregap, (QPosition{0x01, 2, 0, -100}));
    // A sub-channel a frame behind its audio still places the frame it came with.
    const QFrame late = DecodeQ(EncodeQ(Position(2999), 2999), 3000, Toc());
    EXPECT_EQ(late.position, (QPosition{0x01, 2, 1, 0}));
}

TEST(SubQ, AQThatDoesNotHoldUpIsUnusable) {
    const auto with = [](int32_t lba, size_t at, uint8_t value, bool keepCrc = false) {
        auto q = EncodeQ(Position(lba), lba);
        q[at] = value;
        if (!keepCrc) {
            WriteBe16(q, kQCrcAt, SubcodeCrc(std::span<const uint8_t>(q).first(kQCrcCovers)));
        }
        return q;
    };
    const auto moved = [](int32_t lba, int32_t by) {
        return EncodeQ(Position(lba + by), lba + by);
    };
    struct Row {
        const char* what;
        std::array<uint8_t, kFormattedQLength> q;
        int32_t lba;
    };
    const Row rows[] = {
        {"a CRC that does not match", with(100, kQIndexAt, 0x02, true), 100},
        {"an address three frames off", moved(100, 3), 100},
        {"a track the table of contents has elsewhere", with(100, kQTrackAt, 0x03), 100},
        {"a track number that is no number", with(100, kQTrackAt, 0xAA), 100},
        {"index 0 outside a pregap", with(100, kQIndexAt, 0x00), 100},
        {"index 1 inside a pregap", with(2900, kQIndexAt, 0x01), 2900},
        {"a relative time that does not lead to the start", with(100, kQRelativeAt + 2, 0x02), 100},
        {"a nonzero zero byte", with(100, kQZeroAt, 0x01), 100},
        {"an ADR no Q has", with(100, kQControlAdrAt, 0x05), 100},
        {"an ISRC of characters a Q cannot hold",
         [] {
             auto q = EncodeQ(Code(QFrame::Mode::Isrc, "GBAYE0601498"), 100);
             q[kQCodeAt] = 0xFF;
             WriteBe16(q, kQCrcAt, SubcodeCrc(std::span<const uint8_t>(q).first(kQCrcCovers)));
             return q;
         }(),
         100},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecodeQ(row.q, row.lba, Toc()).mode, QFrame::Mode::Unusable) << row.what;
    }
    // A drive that passes no CRC on (zeros) is read all the same; a placeholder code names none.
    EXPECT_EQ(DecodeQ(with(100, kQCrcAt, 0x00, true), 100, Toc()).mode, QFrame::Mode::Unusable)
        << "one CRC byte cleared is a mismatch";
    auto noCrc = EncodeQ(Position(100), 100);
    noCrc[kQCrcAt] = noCrc[kQCrcAt + 1] = 0;
    EXPECT_EQ(DecodeQ(noCrc, 100, Toc()).mode, QFrame::Mode::Position);
    EXPECT_EQ(DecodeQ(EncodeQ(Code(QFrame::Mode::Catalog, "0000000000000"), 100), 100, Toc()).code,
              "");
}

} // namespace
