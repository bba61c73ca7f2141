// The digital play layer: an ASPI layer that decorates the one installed below it (the Linux SG
// layer, the virtual bus, the system's ASPI library) and plays the discs itself, reading their
// audio with READ CD and sending it to a sink, while every command block the player sends stays
// as it is. Each drive is a DrivePlay (audio/drive_play.h says what it takes over and when).
//
//     audio::PlayLayer layer(below, sinkFactory);   // or PlayLayer::OverInstalled(...)
//     layer.Install();                              // "WNASPI32.DLL" is now this layer, and a
//                                                   // drive already playing is heard from now
//     ...                                           // LoadAspi() and the player as ever
//     // destroying the layer stops every play, joins the readers and puts `below` back; it
//     // must go before the layer below it does
//
// Requests it takes over complete synchronously on the caller's thread; passed-on requests are
// waited for before it returns. The two entries may be called from several threads at once.
#pragma once

#include "audio/audio_sink.h"
#include "audio/drive_play.h"
#include "platform/aspi_layer.h"
#include "platform/module.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace audio {

class PlayLayer {
public:
    PlayLayer(const AspiLayer& below, SinkFactory makeSink, PlaySettings settings = {});
    ~PlayLayer();
    PlayLayer(const PlayLayer&) = delete;
    PlayLayer& operator=(const PlayLayer&) = delete;

    // A layer over what answers to "WNASPI32.DLL" now (loaded through the module seam and kept
    // loaded while the layer lives), or nullptr when nothing does.
    static std::unique_ptr<PlayLayer> OverInstalled(SinkFactory makeSink,
                                                    PlaySettings settings = {});

    // Makes this layer the one that answers to "WNASPI32.DLL" until Uninstall or its end; then
    // the layer below answers again. Unless `adopt` is Later, it then takes over the plays the
    // drives below make on their own (AdoptPlays).
    enum class Adopt { Now, Later };
    void Install(Adopt adopt = Adopt::Now);
    void Uninstall();
    // A drive below that the player lists and that is playing on its own (READ SUB-CHANNEL says
    // so) plays on through the layer: the same play, from where it has got to the end of the disc,
    // now read and heard. The program does this once its window shows, so that the sound output
    // opens after the first paint.
    void AdoptPlays();
    // There is no sound to play through after all: from now on every request passes straight
    // through, and a drive that plays digitally plays the rest on its own audio path.
    void LeaveToDrives();

    // The two entries through which the installed layer is reached (what a module load gives).
    static AspiLayer Entries();

    uint32_t GetSupportInfo() const;
    uint32_t SendCommand(void* request);

    // How the drive at this address plays (all zero for one that never played).
    DrivePlayStats Stats(int adapter, int target) const;

    // The digital play's volume, 0 to 1 (1 at first): every drive's play, whatever sink it goes
    // to, is heard at it (audio/pcm_stage.h). Any thread.
    void SetVolume(double volume);
    double Volume() const;

private:
    DrivePlay& DriveAt(uint8_t adapter, uint8_t target); // with mutex_ held

    const AspiLayer below_;
    const SinkFactory makeSink_;
    const PlaySettings settings_;
    ModuleHandle module_ = nullptr; // the library below, when this layer loaded it
    std::atomic<bool> leftToDrives_{false};
    mutable std::mutex mutex_; // guards drives_ and volume_ (never held while a drive is sent to)
    std::map<uint16_t, std::unique_ptr<DrivePlay>> drives_;
    double volume_ = 1.0;
};

} // namespace audio
