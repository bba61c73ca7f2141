// The sound card as a sink: Qt Multimedia's QAudioSink (PulseAudio on Linux), one stream per drive,
// each a channel of the pump (audio/pump.h) on a sound thread of its own. The one part of the
// digital play that needs Qt.
#pragma once

#include "audio/audio_sink.h"

#include <string>

namespace audio {

// Why no sound can be played ("" when an output is there): for the one line on standard error
// when the drives are left to play on their own. Needs a QCoreApplication; asks on the sound
// thread, which it starts (and which ends with the application).
std::string SoundOutputProblem();

// Sinks that play through the system's default sound output; made on any thread, while a
// QCoreApplication lives.
SinkFactory SoundCardSinks();

} // namespace audio
