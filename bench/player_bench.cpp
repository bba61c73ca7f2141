// The player window's two periodic jobs on an offscreen dialog with the virtual drive: a full
// rebuild for the 99-track disc with 555 packs of CD-Text, and one tick of the position poll.
// Until the dialog's handlers do their work, each benchmark stops with an error instead of
// timing an empty call.
#include "bench/bench_disc.h"
#include "drive/aspi.h"
#include "drive/audio_status.h"
#include "drive/commands.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "vdrive/bus.h"

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

constexpr int kAdapter = 0;
constexpr int kTarget = 3;
constexpr unsigned kLogClearMask = 0xFF;

// The player as the program starts it: the bus installed with the drive, the dialog shown
// (which runs its initialisation), its timers left to the benchmark.
struct PlayerOnBus {
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    vdrive::CdromDrive& drive;
    PlayerState state;
    CPlayerDlg dialog{state};

    PlayerOnBus() : drive(bus.AddDrive(kAdapter, kTarget, BenchDisc())) {
        drive.StartPlayingTrack(1);
        bus.Install();
        dialog.show();
        QApplication::processEvents();
    }
    ~PlayerOnBus() { UnloadAspi(); }
};

void BM_RefreshDisc_Rebuild99Tracks(benchmark::State& state) {
    PlayerOnBus player;
    player.state.tocImage.fill(0);
    player.dialog.RefreshDisc();
    if (player.dialog.trackCombo->count() != kBenchTracks) {
        state.SkipWithError("RefreshDisc did not fill the track list: the player's behaviour is "
                            "not there yet");
        return;
    }
    unsigned count = 0;
    for (auto _ : state) {
        player.state.tocImage.fill(0); // the cached table of contents no longer matches: rebuild
        player.dialog.RefreshDisc();
        if ((++count & kLogClearMask) == 0) {
            player.bus.ClearLog();
        }
    }
}
BENCHMARK(BM_RefreshDisc_Rebuild99Tracks)->Unit(benchmark::kMicrosecond);

// Whether a call of the handler sends the command at all: an empty handler is not timed.
template <typename Call> bool Sends(PlayerOnBus& player, uint8_t opcode, Call call) {
    player.bus.ClearLog();
    call();
    return player.bus.CountCommands(opcode) > 0;
}

// The refresh of every disc tick while the disc stays: one READ TOC and the comparison.
void BM_RefreshDisc_Unchanged(benchmark::State& state) {
    PlayerOnBus player;
    if (!Sends(player, kOpReadToc, [&] { player.dialog.RefreshDisc(); })) {
        state.SkipWithError(
            "RefreshDisc sent no READ TOC: the player's behaviour is not there yet");
        return;
    }
    unsigned count = 0;
    for (auto _ : state) {
        player.dialog.RefreshDisc();
        if ((++count & kLogClearMask) == 0) {
            player.bus.ClearLog();
        }
    }
}
BENCHMARK(BM_RefreshDisc_Unchanged);

// One poll tick while the disc plays: READ SUB-CHANNEL and the readouts, slider and selector.
void BM_PollPosition_Tick(benchmark::State& state) {
    PlayerOnBus player;
    if (!Sends(player, kOpReadSubChannel, [&] { player.dialog.PollPosition(); })) {
        state.SkipWithError("PollPosition sent no READ SUB-CHANNEL: the player's behaviour is "
                            "not there yet");
        return;
    }
    unsigned count = 0;
    for (auto _ : state) {
        player.clock.Advance(kPollIntervalMs);
        player.dialog.PollPosition();
        if ((++count & kLogClearMask) == 0) {
            player.bus.ClearLog();
            if (player.drive.AudioStatus() != kAudioStatusPlaying) { // played out: start again
                state.PauseTiming();
                player.drive.StartPlayingTrack(1);
                state.ResumeTiming();
            }
        }
    }
}
BENCHMARK(BM_PollPosition_Tick);

} // namespace
