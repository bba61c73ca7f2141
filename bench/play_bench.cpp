// How soon a click on Play is heard on the virtual drive: the time from OnPlay to the first PCM
// the digital play layer hands to the sink. The player window runs over the layer with the demo
// disc (its synthesized music) in a virtual drive; the sink here takes the first frame as soon as
// the reader has it, so what is timed is the window's commands, the layer, and the first READ CD.
#include "audio/audio_sink.h"
#include "audio/play_layer.h"
#include "drive/aspi.h"
#include "player/player_dlg.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <array>
#include <chrono>
#include <memory>

namespace {

// A sink that leaves the taking to the benchmark: Wake only says that a play started.
class FirstFrameSink final : public audio::AudioSink {
public:
    explicit FirstFrameSink(audio::PcmFeed& feed) : feed_(feed) {}
    void Wake() override { ++wakes_; }
    // The first frame of the play, as soon as the reader has it; false when none comes.
    bool TakeFirstFrame() {
        std::array<uint8_t, audio::kCdFrameBytes> frame{};
        return feed_.Take(feed_.Play(), frame, std::chrono::seconds(5)) == 1;
    }
    int Wakes() const { return wakes_; }

private:
    audio::PcmFeed& feed_;
    int wakes_ = 0;
};

void BM_OnPlay_FirstPcm(benchmark::State& state) {
    vdrive::ManualClock clock;
    vdrive::Bus bus(clock);
    bus.AddDrive(0, 3, vdrive::DemoCdTextDisc());
    bus.Install();
    FirstFrameSink* sink = nullptr;
    auto layer = audio::PlayLayer::OverInstalled([&sink](audio::PcmFeed& feed) {
        auto made = std::make_unique<FirstFrameSink>(feed);
        sink = made.get();
        return made;
    });
    layer->Install();
    PlayerState playerState;
    auto dialog = std::make_unique<CPlayerDlg>(playerState);
    dialog->show();
    QApplication::processEvents();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        dialog->OnPlay();
        const bool heard = sink && sink->TakeFirstFrame();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!heard) {
            state.SkipWithError("OnPlay handed no PCM to the sink");
            break;
        }
        dialog->OnStop();
    }
    if (sink && sink->Wakes() < static_cast<int>(state.iterations())) {
        state.SkipWithError("a play did not wake the sink");
    }
    dialog.reset();
    UnloadAspi();
    layer.reset(); // its reader stops before the bus goes
}
BENCHMARK(BM_OnPlay_FirstPcm)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
