// The disc-names layer and the digital play layer over each other, in both orders: the window
// shows the names, and the play is read (READ CD from the play's own thread, through or beside
// the names layer) while the window sends its commands.
#include "audio/clock_sink.h"
#include "audio/play_layer.h"
#include "names/names_layer.h"
#include "tests/support/player_on_bus.h"

#include <QDeadlineTimer>
#include <QTest>

namespace {

class KnownNames final : public names::NameSource {
public:
    std::optional<names::DiscNames> NamesFor(const names::DiscIdentity& disc) override {
        ++asked;
        names::DiscNames names;
        names.albumTitle = "Known " + disc.id.substr(0, 4);
        names.albumPerformer = "Someone";
        names.tracks = {{"First", ""}, {"Second", "Someone Else"}, {"Third", ""}};
        return names;
    }
    std::atomic<int> asked = 0;
};

class LayerOrder : public player_test::PlayerOnBus, public testing::WithParamInterface<bool> {};

TEST_P(LayerOrder, NamesShowAndThePlayIsReadWhicheverLayerIsOnTop) {
    const bool playOnTop = GetParam();
    KnownNames source;
    std::unique_ptr<names::NamesLayer> namesLayer;
    std::unique_ptr<audio::PlayLayer> playLayer;
    AddDrive(player_test::ThreeTrackDisc());
    beforeWindow = [&] {
        const auto putNames = [&] {
            namesLayer = names::NamesLayer::OverInstalled(source);
            namesLayer->Install();
        };
        const auto putPlay = [&] {
            playLayer = audio::PlayLayer::OverInstalled([this](audio::PcmFeed& feed) {
                return std::make_unique<audio::ClockSink>(feed, [this] { return clock.NowMs(); });
            });
            playLayer->Install();
        };
        if (playOnTop) {
            putNames();
            putPlay();
        } else {
            putPlay();
            putNames();
        }
    };
    Start();
    EXPECT_TRUE(Shown("titleField").startsWith(QStringLiteral("Known ")));
    EXPECT_EQ(TrackEntries()[1], QStringLiteral("[02]  Second"));
    EXPECT_EQ(Shown("artistField"), QStringLiteral("Someone"));

    dialog->OnPlay();
    const QDeadlineTimer deadline(10000);
    while (playLayer->Stats(0, 3).chunksRead == 0 && !deadline.hasExpired()) {
        QTest::qWait(5);
        Poll();
        RefreshTick();
    }
    EXPECT_TRUE(playLayer->Stats(0, 3).digital);
    EXPECT_GT(playLayer->Stats(0, 3).chunksRead, 0u);

    // The layers go in the order they came, the window before them.
    dialog.reset();
    if (playOnTop) {
        playLayer.reset();
        namesLayer.reset();
    } else {
        namesLayer.reset();
        playLayer.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, LayerOrder, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& order) {
                             return order.param ? "PlayOverNames" : "NamesOverPlay";
                         });

} // namespace
