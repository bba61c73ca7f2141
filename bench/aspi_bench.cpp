// One command through the transport against the same request handed straight to the bus: the
// cost of ExecScsiCommand itself. The command is READ SUB-CHANNEL as the position poll sends it.
#include "bench/bench_disc.h"
#include "drive/aspi.h"
#include "drive/aspi_request.h"
#include "drive/audio_status.h"
#include "drive/command_blocks.h"
#include "drive/commands.h"
#include "vdrive/bus.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

constexpr int kAdapter = 0;
constexpr int kTarget = 3;
// 42 00 40 01 00 00 00 00 10 00: sub-channel data, LBA, current position, 16 bytes.
const Cdb10 kPollCdb = ReadPositionCdb();
// The log of every request would grow without end; both sides clear it alike.
constexpr unsigned kLogClearMask = 0xFFF;

// A playing drive on an installed bus, the transport loaded.
struct PlayingBus {
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    PlayingBus() {
        bus.AddDrive(kAdapter, kTarget, BenchDisc()).StartPlayingTrack(1);
        bus.Install();
        LoadAspi();
    }
    ~PlayingBus() { UnloadAspi(); }
};

void BM_ExecScsiCommand_ReadSubChannel(benchmark::State& state) {
    PlayingBus playing;
    std::array<uint8_t, 16> answer{};
    unsigned count = 0;
    for (auto _ : state) {
        const int32_t status = ExecScsiCommand(kAdapter, kTarget, kPollCdb, answer);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(answer.data());
        if ((++count & kLogClearMask) == 0) {
            playing.bus.ClearLog();
        }
    }
    if (answer[1] != kAudioStatusPlaying) {
        state.SkipWithError("the drive did not answer as a playing drive");
    }
}
BENCHMARK(BM_ExecScsiCommand_ReadSubChannel);

// The same request, filled in as the transport fills it, sent to the bus entry.
void BM_DirectSendCommand_ReadSubChannel(benchmark::State& state) {
    PlayingBus playing;
    std::array<uint8_t, 16> answer{};
    unsigned count = 0;
    for (auto _ : state) {
        SRB_ExecSCSICmd srb;
        PrepareRequest(srb, kAdapter, kTarget, kPollCdb, answer);
        playing.bus.SendCommand(&srb);
        benchmark::DoNotOptimize(srb.SRB_Status);
        benchmark::DoNotOptimize(answer.data());
        if ((++count & kLogClearMask) == 0) {
            playing.bus.ClearLog();
        }
    }
    if (answer[1] != kAudioStatusPlaying) {
        state.SkipWithError("the drive did not answer as a playing drive");
    }
}
BENCHMARK(BM_DirectSendCommand_ReadSubChannel);

// What the poll calls: the command function that builds the block and runs it.
void BM_ReadSubChannel_AsThePollSends(benchmark::State& state) {
    PlayingBus playing;
    std::array<uint8_t, 16> answer{};
    unsigned count = 0;
    for (auto _ : state) {
        const int32_t status = ReadSubChannel(kAdapter, kTarget, 1, 0, 1, 0, 16, answer);
        benchmark::DoNotOptimize(status);
        if ((++count & kLogClearMask) == 0) {
            playing.bus.ClearLog();
        }
    }
}
BENCHMARK(BM_ReadSubChannel_AsThePollSends);

} // namespace
