// Fuzz target: the 16 bytes of a Q sub-channel, as a drive delivers them with READ CD, decoded
// against a table of contents. Whatever they hold, a position that is taken names a track of the
// disc, index 0 exactly inside a pregap, and the relative address of the frame it came with.
#include "playback/sub_q.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kFormattedQLength + 4) {
        return 0;
    }
    int32_t lba = 0;
    std::memcpy(&lba, data + kFormattedQLength, sizeof lba);
    const playback::DiscLayout disc{{playback::TocTrack(1, 0x00, 0),
                                     playback::TocTrack(2, 0x01, 3150),
                                     playback::TocTrack(3, 0x04, 6000)},
                                    9000};
    const playback::QFrame frame =
        playback::DecodeQ(std::span<const uint8_t>(data, kFormattedQLength), lba, disc);
    if (frame.mode == playback::QFrame::Mode::Position) {
        const playback::QPosition& at = frame.position;
        const playback::DiscTrack* track = nullptr;
        for (const playback::DiscTrack& candidate : disc.tracks) {
            track = candidate.number == at.track ? &candidate : track;
        }
        if (!track || (at.index == 0) != (at.relative < 0) ||
            int64_t{lba} - track->start != at.relative) {
            __builtin_trap();
        }
    }
    if ((frame.mode == playback::QFrame::Mode::Catalog && !frame.code.empty() &&
         !playback::IsCatalogNumber(frame.code)) ||
        (frame.mode == playback::QFrame::Mode::Isrc && !frame.code.empty() &&
         !playback::IsIsrc(frame.code))) {
        __builtin_trap();
    }
    return 0;
}
