// Setting up the player's sound.
#include "app/sound_setup.h"

#include "audio/qt_audio_sink.h"
#include "audio/scsi_link.h"
#include "drive/big_endian.h"
#include "drive/scsi_opcodes.h"

#include <array>

namespace {

// A virtual drive that plays by its clock (the demo's) plays on through the layer: the same play,
// from where it has got to the end of the disc, now read and heard.
void HandOverPlays(const vdrive::Bus& bus) {
    for (int adapter = 0; adapter < vdrive::Bus::kMaxAdapters; ++adapter) {
        for (int target = 0; target < vdrive::Bus::kTargetsPerAdapter; ++target) {
            const vdrive::CdromDrive* drive = bus.DriveAt(adapter, target);
            if (!drive || !drive->Disc() || drive->AudioStatus() != vdrive::kAudioPlaying) {
                continue;
            }
            const int32_t from = drive->Position();
            std::array<uint8_t, 12> play{kOpPlayAudio12};
            WriteBe32(play, 2, static_cast<uint32_t>(from));
            WriteBe32(play, 6, static_cast<uint32_t>(drive->Disc()->leadOut - from));
            audio::SendThrough(audio::PlayLayer::Entries(), static_cast<uint8_t>(adapter),
                               static_cast<uint8_t>(target), play, {});
        }
    }
}

} // namespace

bool OpenSoundFile(const CommandLine& commandLine, PlayerSound& sound, std::string& error,
                   const audio::WavFileOutput::Notice& notice) {
    sound = PlayerSound{};
    if (commandLine.analog || commandLine.audioFile.empty()) {
        return true;
    }
    sound.file = audio::WavFileOutput::Open(commandLine.audioFile, error, notice);
    return sound.file != nullptr;
}

void SetUpSound(const CommandLine& commandLine, const PlayerDrives& drives, PlayerSound& sound,
                const SoundSetupOptions& options) {
    sound.layer.reset();
    sound.notice.clear();
    if (commandLine.analog) {
        return;
    }
    audio::SinkFactory sinks = options.sinks;
    if (!sinks && sound.file) {
        sinks = sound.file->Factory();
    }
    if (!sinks) {
        const std::string problem = audio::SoundOutputProblem();
        if (!problem.empty()) {
            sound.notice = "discolo: " + problem + "; the drives play on their own audio path";
            return;
        }
        sinks = audio::SoundCardSinks();
    }
    sound.layer = audio::PlayLayer::OverInstalled(std::move(sinks));
    if (!sound.layer) {
        return; // no drive layer at all: the window says so
    }
    sound.layer->Install();
    if (drives.bus) {
        HandOverPlays(*drives.bus);
    }
}
