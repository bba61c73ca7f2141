// Names for a disc without CD-Text, end to end: a virtual drive holding a rip of a real disc (its
// real table of contents, no CD-Text), the disc-names layer over it, the player window and the
// media bus's view, and a web server on 127.0.0.1 that answers with recorded MusicBrainz answers.
#include "app/names_setup.h"
#include "mpris/mpris_player.h"
#include "names/names_cache.h"
#include "tests/support/image_files.h"
#include "tests/support/lookup_server.h"
#include "tests/support/player_on_bus.h"
#include "vdrive/cue_sheet.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <sstream>

namespace {

using lookup_test::LookupServer;
using lookup_test::RecordedAnswer;
using lookup_test::Reply;

constexpr char kAnthologyId[] = "XoGwK8t1eeR.pBP8rWC1qTQniCU-";
constexpr char kAnthologyToc[] = "1+19+338952+150+18064+34719+48510+64506+82409+99569+117860+"
                                 "137646+147539+166275+184290+205587+223455+241522+258378+275550+"
                                 "294931+320173";
constexpr char kAnthologyRelease[] = "ec2ad803-67ce-4ed3-9d20-29c4222a5954";
constexpr char kAnthologyTitle[] = "THE TORTURED POETS DEPARTMENT: THE ANTHOLOGY (disc 2)";
constexpr char kFamilyJewelsToc[] = "1+13+205050+150+15239+29625+45763+61420+75862+91642+108918+"
                                    "123698+139895+153589+169239+188495";

// Runs the event loop until `done`, or for `ms` at most.
bool SpinUntil(const std::function<bool()>& done, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QTest::qWait(5);
    }
    return done();
}

// The rip of a disc with this table ("first+last+lead-out+offsets", all + 150): a sheet over
// one silent BINARY file, with no TITLE, PERFORMER or CDTEXTFILE.
vdrive::DiscImage Rip(const ImageFolder& folder, const std::string& toc) {
    std::vector<int32_t> numbers;
    std::istringstream fields(toc);
    for (std::string field; std::getline(fields, field, '+');) {
        numbers.push_back(std::stoi(field));
    }
    std::string sheet = "FILE \"rip.bin\" BINARY\n";
    for (size_t i = 3; i < numbers.size(); ++i) {
        const int32_t frame = numbers[i] - 150;
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n",
                      numbers[0] + static_cast<int>(i) - 3, frame / 4500, frame / 75 % 60,
                      frame % 75);
        sheet += line;
    }
    folder.Raw("rip.bin", uint64_t(numbers[2] - 150) * 2352);
    vdrive::DiscImage disc;
    std::string error;
    EXPECT_TRUE(vdrive::LoadCueSheet(folder.Write("rip.cue", sheet), disc, error)) << error;
    EXPECT_TRUE(disc.cdText.empty());
    EXPECT_EQ(disc.leadOut, numbers[2] - 150);
    return disc;
}

QByteArray Png() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkMagenta);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class NamesOnBus : public player_test::PlayerOnBus {
protected:
    LookupServer server;
    QTemporaryDir cache;
    ImageFolder folder;
    std::unique_ptr<names::DiscNamesService> service;
    std::unique_ptr<names::NamesLayer> layer;
    std::unique_ptr<MprisPlayer> mediaBus;
    std::vector<QString> unknown; // the submission URLs announced

    void TearDown() override {
        mediaBus.reset();
        PlayerOnBus::TearDown();
        layer.reset();
        service.reset();
    }

    names::NamesSettings Settings(const QString& root) const {
        names::NamesSettings settings;
        settings.cacheFolder = cache.path();
        settings.web.musicBrainzRoot = root + QStringLiteral("/ws/2");
        settings.web.coverArtRoot = root + QStringLiteral("/caa");
        settings.web.userAgent = "Discolo/1.0.12.0 ( https://discolo.org )";
        settings.web.retryWaitMs = 300;
        settings.web.timeoutMs = 800;
        return settings;
    }
    names::NamesSettings Settings() const { return Settings(server.Root()); }

    // The window on a drive holding `disc`, the names layer between them, as the program has it.
    void StartWithNames(vdrive::DiscImage disc, const names::NamesSettings& settings) {
        AddDrive(std::move(disc));
        service = std::make_unique<names::DiscNamesService>(settings);
        QObject::connect(service.get(), &names::DiscNamesService::UnknownDisc,
                         [this](const QString&, const QString& url) { unknown.push_back(url); });
        beforeWindow = [this] {
            layer = names::NamesLayer::OverInstalled(*service);
            ASSERT_TRUE(layer);
            layer->Install();
        };
        Start();
        RebuildWhenNamesArrive(
            *service, [this] { return dialog.get(); }, state);
        mediaBus = std::make_unique<MprisPlayer>(dialog->Controller(), *dialog,
                                                 QDBusConnection(QStringLiteral("none")));
        mediaBus->artUrl = [this] { return ShownCoverUrl(*service, state); };
    }

    void ServeAnthology(std::vector<Reply> lookup) {
        server.On(QStringLiteral("/ws/2/discid/"), std::move(lookup));
        server.On(QStringLiteral("/caa/release/%1/front-250").arg(QLatin1String(kAnthologyRelease)),
                  {Reply::Redirect(server.Root().toLatin1() + "/img/front.png")});
        server.On(QStringLiteral("/img/"), {Reply::Image(Png())});
    }
    static Reply Answer(const char* file) { return Reply::Json(200, RecordedAnswer(file)); }

    // Ends this run as the program ends, for another run on a fresh window and record.
    void Restart() {
        TearDown();
        bus.RemoveDevice(0, 3);
        state = PlayerState{};
        unknown.clear();
    }

    bool NamesShown() {
        return SpinUntil([this] { return Shown("titleField") == QLatin1String(kAnthologyTitle); });
    }
    QString CachedEntry(const char* id) const {
        QFile file(cache.filePath(QLatin1String(id) + QStringLiteral(".json")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(NamesOnBus, ARipWithoutCdTextShowsTheNamesOfTheReleaseAndItsCover) {
    ServeAnthology({Answer("release_with_multiple_discs.json")});
    StartWithNames(Rip(folder, kAnthologyToc), Settings());
    // A disc not known yet reads as one without CD-Text at once; the lookup runs meanwhile.
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    EXPECT_EQ(TrackEntries().front(), QStringLiteral("Track 01"));
    dialog->OnPlay();
    bus.ClearLog();

    ASSERT_TRUE(NamesShown()) << Shown("titleField").toStdString();
    EXPECT_EQ(Shown("artistField"), QStringLiteral("Taylor Swift"));
    const std::vector<QString> entries = TrackEntries();
    ASSERT_EQ(entries.size(), 19u);
    EXPECT_EQ(entries[0], QStringLiteral("[01]  The Black Dog"));
    EXPECT_EQ(entries[8], QStringLiteral("[09]  I Look in People's Windows"));
    EXPECT_EQ(state.trackPerformer[16], "Taylor Swift feat. Post Malone");
    // The rebuild is the refresh's own: it left the play alone.
    for (const uint8_t opcode : Sent()) {
        EXPECT_TRUE(opcode != kOpPlayAudio12 && opcode != kOpSeek10 && opcode != kOpPauseResume &&
                    opcode != kOpStopPlayScan)
            << "sent " << int{opcode};
    }
    EXPECT_EQ(state.isPlaying, 1);

    // One request, as the service asks to be asked.
    const std::vector<lookup_test::Request> requests = server.Requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests[0].target.toStdString(),
              std::string("/ws/2/discid/") + kAnthologyId + "?toc=" + kAnthologyToc +
                  "&fmt=json&inc=artist-credits+recordings&cdstubs=no");
    EXPECT_EQ(requests[0].userAgent, "Discolo/1.0.12.0 ( https://discolo.org )");

    // The media bus shows the names, and the cover once it came.
    Poll();
    ASSERT_TRUE(SpinUntil([this] { return mediaBus->View().metadata.contains("mpris:artUrl"); }));
    const QVariantMap metadata = mediaBus->View().metadata;
    EXPECT_EQ(metadata.value("xesam:album").toString(), QLatin1String(kAnthologyTitle));
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Taylor Swift"});
    EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("The Black Dog"));
    const QUrl art(metadata.value("mpris:artUrl").toString());
    EXPECT_TRUE(art.isLocalFile());
    QFile cover(art.toLocalFile());
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    EXPECT_EQ(cover.readAll(), Png());
    EXPECT_EQ(server.Requests().size(), 3u); // the lookup, the cover and where it was sent
}

TEST_F(NamesOnBus, WhatTheServersGetWrongLeavesTheDiscWithoutNames) {
    struct Case {
        const char* what;
        std::vector<Reply> lookup;
        std::vector<Reply> covers;
        bool names;
        bool announced; // the disc counts as unknown: one line with the submission URL
        bool remembered;
        bool cover;
        size_t requests;
    };
    const Reply png = Reply::Image(Png());
    const Reply notFound = Reply::Json(404, "{\"error\": \"Not Found\"}");
    const Reply anthology = Answer("release_with_multiple_discs.json");
    // clang-format off
    const Case cases[] = {
        // what                               lookup               cover  names  unknown cached cover requests
        {"404",                               {notFound},          {png}, false, true,  true,  false, 1},
        {"503, then the answer",    {Reply::Json(503, "busy"), anthology}, {png}, true, false, true, true, 3},
        {"no answer at all",                  {Reply::Silent()},   {png}, false, false, false, false, 1},
        {"malformed JSON", {Reply::Json(200, "{\"releases\": [{\"media\": ")}, {png}, false, false, false, false, 1},
        {"a huge answer",    {Reply::Json(200, QByteArray(6 << 20, '['))}, {png}, false, false, false, false, 1},
        {"an answer of unrelated releases",   {Answer("fuzzy_response.json")}, {png}, false, true, true, false, 1},
        {"a cover that is no image", {anthology}, {Reply::Image("<html>no</html>")}, true, false, true, false, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Restart();
        QDir(cache.path()).removeRecursively();
        LookupServer fresh;
        fresh.On(QStringLiteral("/ws/2/discid/"), c.lookup);
        fresh.On(QStringLiteral("/caa/"), c.covers);
        StartWithNames(Rip(folder, kAnthologyToc), Settings(fresh.Root()));

        // The window goes on while the servers take their time.
        // What should come has some seconds (a 503 is waited out a second); what should not
        // come is given more than the lookup's time-out.
        const QDeadlineTimer settled(1200);
        const QDeadlineTimer patience(8000);
        const auto done = [&] {
            return (!c.names || Shown("titleField") == QLatin1String(kAnthologyTitle)) &&
                   (!c.cover || mediaBus->View().metadata.contains("mpris:artUrl"));
        };
        int ticks = 0;
        while (!settled.hasExpired() || (!done() && !patience.hasExpired())) {
            RefreshTick();
            Poll();
            ++ticks;
            QTest::qWait(50);
        }
        EXPECT_GT(ticks, 12);
        EXPECT_EQ(Shown("titleField") == QLatin1String(kAnthologyTitle), c.names);
        EXPECT_EQ(unknown.size(), c.announced ? 1u : 0u);
        if (c.announced) {
            EXPECT_TRUE(unknown[0].contains(QLatin1String(kAnthologyId)));
            EXPECT_TRUE(unknown[0].contains(QLatin1String(kAnthologyToc)));
        }
        EXPECT_EQ(!CachedEntry(kAnthologyId).isEmpty(), c.remembered);
        EXPECT_EQ(mediaBus->View().metadata.contains("mpris:artUrl"), c.cover);
        EXPECT_EQ(fresh.Requests().size(), c.requests);
    }
}

TEST_F(NamesOnBus, TheCacheNamesADiscSeenBeforeWithoutAnyRequest) {
    ServeAnthology({Answer("release_with_multiple_discs.json")});
    StartWithNames(Rip(folder, kAnthologyToc), Settings());
    ASSERT_TRUE(NamesShown());
    ASSERT_TRUE(SpinUntil([this] { return !ShownCoverUrl(*service, state).isEmpty(); }));
    const QString entry = CachedEntry(kAnthologyId);
    EXPECT_TRUE(entry.contains(QStringLiteral("\"version\": 1")));
    EXPECT_TRUE(entry.contains(QStringLiteral("I Look in People\u2019s Windows"))); // Unicode kept

    // The next run, with no server where the names came from: they show at the first refresh.
    Restart();
    StartWithNames(Rip(folder, kAnthologyToc), Settings(QStringLiteral("http://127.0.0.1:1")));
    EXPECT_EQ(Shown("titleField"), QLatin1String(kAnthologyTitle));
    EXPECT_FALSE(ShownCoverUrl(*service, state).isEmpty());
    EXPECT_EQ(service->RequestsSent(), 0);

    // A damaged entry is no entry: the disc is looked up again, and the entry replaced.
    Restart();
    QFile damaged(cache.filePath(QLatin1String(kAnthologyId) + QStringLiteral(".json")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("{\"format\": \"discolo-disc-names\", \"version\": 1, \"discid\": \"");
    damaged.close();
    const size_t asked = server.Requests().size();
    StartWithNames(Rip(folder, kAnthologyToc), Settings());
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    ASSERT_TRUE(NamesShown());
    EXPECT_GT(server.Requests().size(), asked);
    EXPECT_TRUE(CachedEntry(kAnthologyId).contains(QStringLiteral("\"found\": true")));
}

TEST_F(NamesOnBus, OfflineSendsNothingAndStillShowsCachedNames) {
    ServeAnthology({Answer("release_with_multiple_discs.json")});
    names::NamesSettings offline = Settings();
    offline.offline = true;
    StartWithNames(Rip(folder, kFamilyJewelsToc), offline);
    SpinUntil([] { return false; }, 1000);
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    EXPECT_TRUE(server.Requests().empty());

    // A disc whose names a run before found.
    Restart();
    StartWithNames(Rip(folder, kAnthologyToc), Settings());
    ASSERT_TRUE(NamesShown());
    ASSERT_TRUE(SpinUntil([this] { return !ShownCoverUrl(*service, state).isEmpty(); }));
    const size_t asked = server.Requests().size();
    Restart();
    StartWithNames(Rip(folder, kAnthologyToc), offline);
    EXPECT_EQ(Shown("titleField"), QLatin1String(kAnthologyTitle));
    SpinUntil([] { return false; }, 500);
    EXPECT_EQ(server.Requests().size(), asked);
}

TEST_F(NamesOnBus, ADiscWithCdTextOfItsOwnIsNeverLookedUp) {
    ServeAnthology({Answer("release_with_multiple_discs.json")});
    vdrive::DiscImage disc = Rip(folder, kAnthologyToc);
    disc.cdText = vdrive::DemoCdTextDisc().cdText;
    StartWithNames(disc, Settings());
    SpinUntil([] { return false; }, 1000);
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Tides && Tin Roofs"));
    EXPECT_TRUE(server.Requests().empty());
}

} // namespace
