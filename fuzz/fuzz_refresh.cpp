// Fuzz target: the player's disc refresh, position poll and handlers, run by its controller with
// no window, against a drive whose answers to READ TOC, READ CAPACITY, READ SUB-CHANNEL and the
// rest come from the fuzzer's bytes, with the bytes also choosing which tick or user action
// comes next and where the user leaves the slider.
//
// An input is a session of start-up and up to 16 ticks or actions: short sessions reach the
// same code as sessions of 64, several times as often. The bus keeps no log, which nothing reads.
#include "cdtext/cdtext_encoder.h"
#include "drive/aspi.h"
#include "player/player_controller.h"
#include "player/player_timers.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"
#include "vdrive/hostile_drive.h"

#include <memory>
#include <string>

namespace {

struct Bytes {
    const uint8_t* at;
    const uint8_t* end;
    uint8_t Next() { return at < end ? *at++ : 0; }
    bool Done() const { return at >= end; }
};

// The honest disc behind the hostile drive, made once: three audio tracks with CD-Text, a title
// and a performer each, the second performer a repeat. Every path of the refresh is there as on
// a longer disc, and each rebuild decodes a few packs (the CD-Text decoding has its own target).
const vdrive::DiscImage& Disc() {
    static const vdrive::DiscImage disc = [] {
        vdrive::DiscImage image = vdrive::MakeAudioDisc({0, 9000, 21000}, 33000);
        cdtext::CdTextAlbum album;
        album.title = "Rock & Roll";
        album.performer = "Band";
        album.tracks = {{"One", "Singer", ""}, {"Two", "Singer", ""}, {"Three", "", ""}};
        std::string error;
        cdtext::EncodeCdText(album, image.cdText, error);
        return image;
    }();
    return disc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes bytes{data, data + size};
    vdrive::ManualClock clock;
    vdrive::Bus bus(clock);
    bus.KeepLog(false);
    vdrive::CdromDrive honest(clock, Disc());
    bus.AddDevice(
        0, 3, std::make_unique<vdrive::HostileDrive>(honest, [&bytes] { return bytes.Next(); }));
    bus.Install();

    PlayerState state;
    {
        PlayerController player(state);
        player.OnInitDialog();
        for (int step = 0; step < 16 && !bytes.Done(); ++step) {
            switch (bytes.Next() % 8) {
            case 0: // timer 2
                player.RefreshDisc();
                break;
            case 1:
                player.OnPlay();
                break;
            case 2:
                player.OnNextTrack();
                break;
            case 3:
                player.OnPreviousTrack();
                break;
            case 4:
                player.OnHScroll(bytes.Next() % 10, bytes.Next() * 4);
                break;
            case 5:
                player.OnTrackDropDown();
                break;
            case 6:
                player.OnTrackSelChange(bytes.Next() % 101 - 1);
                break;
            default: // timer 1, a poll interval after the last
                clock.Advance(kPollIntervalMs);
                player.PollPosition();
                break;
            }
            const PlayerView& view = player.View();
            if (view.trackPositionText.size() != 5 || view.discPositionText.size() != 5) {
                __builtin_trap(); // a readout is always "mm:ss"
            }
        }
    }
    UnloadAspi();
    return 0;
}
