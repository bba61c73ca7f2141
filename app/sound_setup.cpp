// Setting up the player's sound.
#include "app/sound_setup.h"

#ifdef _WIN32
#include "audio/waveout_sink.h"
#else
#include "audio/qt_audio_sink.h"
#endif

bool OpenSoundFile(const CommandLine& commandLine, std::unique_ptr<audio::WavFileOutput>& file,
                   std::string& error, const audio::WavFileOutput::Notice& notice) {
    file.reset();
    if (commandLine.analog || commandLine.audioFile.empty()) {
        return true;
    }
    file = audio::WavFileOutput::Open(commandLine.audioFile, error, notice);
    return file != nullptr;
}

void SetUpSound(const CommandLine& commandLine, audio::WavFileOutput* file, PlayerSound& sound,
                const SoundSetupOptions& options) {
    sound = PlayerSound{};
    if (commandLine.analog) {
        return;
    }
    audio::SinkFactory sinks = options.sinks;
    if (!sinks && file) {
        sinks = file->Factory();
    }
    if (!sinks) {
        sinks = audio::SoundCardSinks(); // whether there is a sound card is asked at the start
        sound.soundCard = true;
    }
    audio::PlaySettings settings;
    settings.deemphasis = commandLine.deemphasis;
    sound.layer = audio::PlayLayer::OverInstalled(std::move(sinks), settings);
    if (!sound.layer) {
        return; // no drive layer at all: the window says so
    }
    sound.layer->Install(audio::PlayLayer::Adopt::Later);
}

void StartSound(PlayerSound& sound) {
    if (!sound.layer) {
        return;
    }
    if (sound.soundCard) {
        const std::string problem = audio::SoundOutputProblem();
        if (!problem.empty()) {
            sound.notice = problem + "; the drives play on their own audio path";
            sound.layer->LeaveToDrives();
            return;
        }
    }
    sound.layer->AdoptPlays();
}
