// Where the player's sound comes from: the digital play layer over the drives' layer, playing
// through the sound card or into a WAV file, or (--analog, or no sound output to be had) the
// drives' own audio path.
#pragma once

#include "app/command_line.h"
#include "app/drive_setup.h"
#include "audio/audio_sink.h"
#include "audio/play_layer.h"
#include "audio/wav_file_sink.h"

#include <memory>
#include <string>

struct PlayerSound {
    std::unique_ptr<audio::WavFileOutput> file; // --audio-file
    // Declared after the file: it goes first, and its sinks with it. It must go before the
    // QApplication (the sound card's sinks live on its thread) and before the drives.
    std::unique_ptr<audio::PlayLayer> layer;
    // One line for standard error (no newline), or "": why the drives play on their own.
    std::string notice;
};

struct SoundSetupOptions {
    audio::SinkFactory sinks; // a sink of the caller's instead of the sound card or the file
};

// Opens the --audio-file, before any window system is needed. False with a one-line message
// naming the file when it cannot be written; `notice` is told the line when it fills up.
bool OpenSoundFile(const CommandLine& commandLine, PlayerSound& sound, std::string& error,
                   const audio::WavFileOutput::Notice& notice = {});

// Puts the digital play layer over the layer that SetUpDrives installed, unless --analog or there
// is no sound output (then `notice` says so), and hands a virtual drive's play that is already
// running to it, so that it is heard from now on. Needs a QApplication for the sound card.
void SetUpSound(const CommandLine& commandLine, const PlayerDrives& drives, PlayerSound& sound,
                const SoundSetupOptions& options = {});
