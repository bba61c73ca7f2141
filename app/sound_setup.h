// Where the player's sound comes from: the digital play layer over the drives' layer, playing
// through the sound card or into a WAV file, or (--analog, or no sound output to be had) the
// drives' own audio path.
#pragma once

#include "app/command_line.h"
#include "audio/audio_sink.h"
#include "audio/play_layer.h"
#include "audio/wav_file_sink.h"

#include <memory>
#include <string>

struct PlayerSound {
    // The layer, which plays through the sound card's sinks or the file's. It must go before the
    // QApplication (the sound card's thread ends with it), the file and the drives.
    std::unique_ptr<audio::PlayLayer> layer;
    // It plays through the sound card, which StartSound looks for.
    bool soundCard = false;
    // A notice for standard error, in one line without the program's name, or "": why the drives
    // play on their own.
    std::string notice;
};

struct SoundSetupOptions {
    audio::SinkFactory sinks; // a sink of the caller's instead of the sound card or the file
};

// Opens the --audio-file, before any window system is needed. False with the reason in one line,
// naming the file, when it cannot be written; true and no file without --audio-file (or with
// --analog). `notice` is told why, in one line, when the file stops growing.
bool OpenSoundFile(const CommandLine& commandLine, std::unique_ptr<audio::WavFileOutput>& file,
                   std::string& error, const audio::WavFileOutput::Notice& notice = {});

// Puts the digital play layer over the layer that SetUpDrives installed, unless --analog, before
// the window loads the drives' layer. The sound goes to `file` when there is one, else to the
// sound card. Nothing is heard yet: StartSound does that.
void SetUpSound(const CommandLine& commandLine, audio::WavFileOutput* file, PlayerSound& sound,
                const SoundSetupOptions& options = {});

// Opens the sound output, once the window shows: for the sound card, looks for a sound output
// (which needs a QApplication) and, when there is none, leaves the drives to play on their own
// path (`notice` says so). A drive already playing (the demo's) is heard from then on: the layer
// takes its play over.
void StartSound(PlayerSound& sound);
