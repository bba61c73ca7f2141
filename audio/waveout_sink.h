// The sound card as a sink on Windows: the system's wave output (waveOut, winmm). The one part of
// the digital play that is Windows-only; the Qt build has its own (qt_audio_sink.h) with the same
// two functions.
#pragma once

#include "audio/audio_sink.h"

#include <string>

namespace audio {

// Why no sound can be played ("" when an output is there): for the one line on standard error
// when the drives are left to play on their own.
std::string SoundOutputProblem();

// Sinks that play through the system's default wave output, one output per drive.
SinkFactory SoundCardSinks();

} // namespace audio
