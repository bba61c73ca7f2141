// The sound card as a sink: Qt Multimedia's QAudioSink (PulseAudio on Linux). The one part of the
// digital play that needs Qt; it lives on the thread of the QApplication.
#pragma once

#include "audio/audio_sink.h"

#include <string>

namespace audio {

// Why no sound can be played ("" when an output is there): for the one line on standard error
// when the drives are left to play on their own. Needs a QCoreApplication.
std::string SoundOutputProblem();

// Sinks that play through the system's default sound output; made on the application's thread.
SinkFactory SoundCardSinks();

} // namespace audio
