// The demo discs' music: each audio track plays a short tune of its own, synthesized whenever its
// frames are read (nothing is stored). Every note starts and ends in silence, and only whole
// notes fit into a track, so nothing clicks where tracks or reads meet. The first note of each
// track is held for over a second, so that what is playing can be told by its pitch.
#pragma once

#include "playback/disc_layout.h"
#include "vdrive/audio_source.h"

#include <cstdint>
#include <span>

namespace vdrive {

class DemoMusicSource final : public AudioSource {
public:
    // `variant` gives the tracks of one disc other tunes than those of another.
    DemoMusicSource(playback::DiscLayout layout, int variant);

    bool ReadFrames(int32_t lba, std::span<uint8_t> frames) const override;

    // The pitch in Hz of the note sounding in frame `lba`; 0 where the disc is silent (pregaps,
    // rests, data tracks, the end of a track too short for a whole note).
    double NoteFrequency(int32_t lba) const;

private:
    struct Note {
        double frequency = 0; // 0: silence
        int32_t first = 0;    // its first frame, counted from the track's start
        int32_t frames = 0;
    };
    Note NoteAt(int32_t lba) const;

    playback::DiscLayout layout_;
    int variant_;
};

} // namespace vdrive
