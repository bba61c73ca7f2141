// The disc refresh: what the window shows for each kind of disc, and when it rebuilds at all.
#include "tests/support/player_on_bus.h"

#include "cdtext/cdtext_encoder.h"

#include <functional>

namespace player_test {
namespace {

vdrive::DiscImage DataOnlyDisc() {
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 30000}, 50000);
    for (playback::DiscTrack& track : disc.tracks) {
        track.control = kControlData;
    }
    return disc;
}

std::vector<uint8_t> Packs(const cdtext::CdTextAlbum& album) {
    std::vector<uint8_t> packs;
    std::string error;
    EXPECT_TRUE(cdtext::EncodeCdText(album, packs, error)) << error;
    return packs;
}

vdrive::DiscImage DataOnlyDiscWithText() {
    vdrive::DiscImage disc = DataOnlyDisc();
    cdtext::CdTextAlbum album;
    album.title = "Manuals";
    album.performer = "Setup Crew";
    album.tracks = {{"Install", "Setup Crew", ""}, {"Data", "Setup Crew", ""}};
    disc.cdText = Packs(album);
    return disc;
}

class Refresh : public PlayerOnBus {};

// One row for each kind of disc a drive can hold.
struct DiscRow {
    const char* disc;
    std::function<std::optional<vdrive::DiscImage>()> image;
    const char* title;
    std::vector<const char*> firstEntries; // the selector's first entries, or none
    int entryCount;
    bool selectorEnabled;
    const char* performer;
    int sliderMax;
    size_t tickCount;
    bool playFlagCleared;
    const char* discTotal;
    const char* trackTotal;
};

TEST_F(Refresh, ShowsEachKindOfDiscAsItsRowSays) {
    const DiscRow rows[] = {
        {"none",
         [] { return std::nullopt; },
         "No Audio CD inserted",
         {},
         0,
         false,
         "unknown artist",
         0,
         0,
         true,
         "Total disc time: 00:00",
         "Total track time: 00:00"},
        {"data tracks only, no CD-Text",
         DataOnlyDisc,
         "No Audio CD inserted",
         {"Track 01", "Track 02"},
         2,
         false,
         "unknown artist",
         0,
         0,
         true,
         "Total disc time: 11:06",
         "Total track time: 06:40"},
        {"audio tracks, no CD-Text",
         ThreeTrackDisc,
         "Audio CD",
         {"Track 01", "Track 02", "Track 03"},
         3,
         true,
         "unknown artist",
         133,
         3,
         false,
         "Total disc time: 13:19",
         "Total track time: 04:26"},
        {"audio tracks with CD-Text",
         vdrive::DemoCdTextDisc,
         "Tides && Tin Roofs",
         {"[01]  Harbour Lights at Four", "[02]  Salt & Cedar"},
         12,
         true,
         "The Marlow Vane Quartet",
         485,
         12,
         false,
         "Total disc time: 48:33",
         "Total track time: 03:34"},
        {"CD-Text but no audio track",
         DataOnlyDiscWithText,
         "Manuals",
         {"[01]  Install", "[02]  Data"},
         2,
         false,
         "Setup Crew",
         111,
         2,
         false,
         "Total disc time: 11:06",
         "Total track time: 06:40"},
    };
    for (const DiscRow& row : rows) {
        SCOPED_TRACE(row.disc);
        vdrive::Bus rowBus(clock);
        rowBus.AddDrive(0, 3, row.image());
        rowBus.Install();
        state = PlayerState{};
        state.isPlaying = 1;
        state.currentTrack = 7;
        OpenWindow();

        EXPECT_EQ(Shown("titleField"), QString::fromLatin1(row.title));
        ASSERT_EQ(dialog->trackCombo->count(), row.entryCount);
        for (size_t i = 0; i < row.firstEntries.size(); ++i) {
            EXPECT_EQ(TrackEntries()[i], QString::fromLatin1(row.firstEntries[i]));
        }
        EXPECT_EQ(dialog->trackCombo->currentIndex(), row.entryCount > 0 ? 0 : -1);
        EXPECT_EQ(dialog->trackCombo->isEnabled(), row.selectorEnabled);
        EXPECT_EQ(Shown("artistField"), QString::fromLatin1(row.performer));
        EXPECT_EQ(dialog->positionSlider->GetRangeMin(), 0);
        EXPECT_EQ(dialog->positionSlider->GetRangeMax(), row.sliderMax);
        EXPECT_EQ(dialog->positionSlider->GetTics().size(), row.tickCount);
        EXPECT_EQ(dialog->positionSlider->GetPos(), 0);
        EXPECT_EQ(state.isPlaying, row.playFlagCleared ? 0 : 1);
        EXPECT_EQ(Shown("discTotalField"), QString::fromLatin1(row.discTotal));
        EXPECT_EQ(Shown("trackTotalField"), QString::fromLatin1(row.trackTotal));
        // In every case:
        EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 1"));
        EXPECT_EQ(Shown("trackTimeLabel"), QStringLiteral("00:00"));
        EXPECT_EQ(Shown("discTimeLabel"), QStringLiteral("00:00"));
        EXPECT_EQ(state.currentTrack, 1);
        EXPECT_EQ(state.firstTrack, 1);
        EXPECT_EQ(state.trackPerformer[0], "unknown artist");
        EXPECT_EQ(state.trackPerformer[99], "unknown artist");
        dialog.reset();
    }
}

TEST_F(Refresh, AnUnreadableTableStillShowsTheCapacity) {
    AddDrive(ThreeTrackDisc());
    bus.InjectFault(0, 3, kOpReadToc, vdrive::Fault::Status(SS_ERR));
    Start();
    EXPECT_EQ(Shown("titleField"), QStringLiteral("No Audio CD inserted"));
    EXPECT_EQ(dialog->trackCombo->count(), 0);
    EXPECT_EQ(Shown("discTotalField"), QStringLiteral("Total disc time: 13:19"));
    EXPECT_EQ(dialog->positionSlider->GetRangeMax(), 0);
}

TEST_F(Refresh, WithoutTheCapacityTheDiscEndsWhereTheLeadOutStarts) {
    AddDrive(ThreeTrackDisc());
    bus.InjectFault(0, 3, kOpReadCapacity, vdrive::Fault::Status(SS_ERR));
    Start();
    EXPECT_EQ(Shown("discTotalField"), QStringLiteral("Total disc time: 00:00"));
    EXPECT_EQ(state.trackStart[4], 60000);
    EXPECT_EQ(dialog->positionSlider->GetRangeMax(), 60000 / 450);
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
}

TEST_F(Refresh, ADiscNumberedFromThreeListsTrackThreeFirst) {
    AddDrive(vdrive::DemoThirdTrackDisc());
    Start();
    // The disc's CD-Text belongs to tracks 3 to 7: its first track text is track 3's.
    EXPECT_EQ(TrackEntries().front(), QStringLiteral("[03]  Dust Jacket"));
    EXPECT_EQ(TrackEntries().back(), QStringLiteral("[07]  Closing Time at the Library"));
    EXPECT_EQ(dialog->trackCombo->count(), 5);
    EXPECT_EQ(Shown("trackNumberField"), QStringLiteral("Track 3"));
    EXPECT_EQ(Shown("trackTotalField"), QStringLiteral("Total track time: 03:18"));
    EXPECT_EQ(Shown("artistField"), QStringLiteral("Orla Finchley"));
    EXPECT_EQ(state.firstTrack, 3);
    EXPECT_EQ(state.lastTrack, 7);
    EXPECT_EQ(state.listBaseTrack, 3);
    EXPECT_EQ(state.currentTrack, 1);
    EXPECT_EQ(state.trackStart[8], 83045);
}

TEST_F(Refresh, AMixedDiscCountsAsAudioAndListsItsDataTrack) {
    AddDrive(vdrive::DemoMixedDisc());
    Start();
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    ASSERT_EQ(dialog->trackCombo->count(), 10);
    EXPECT_EQ(TrackEntries().front(), QStringLiteral("Track 01"));
    EXPECT_EQ(TrackEntries().back(), QStringLiteral("Track 10"));
    EXPECT_TRUE(dialog->trackCombo->isEnabled());
    EXPECT_EQ(dialog->positionSlider->GetTics().size(), 10u);
    EXPECT_EQ(dialog->positionSlider->GetTics()[1], 38440 / 450);
    EXPECT_EQ(dialog->positionSlider->GetRangeMax(), 437);
}

TEST_F(Refresh, AnUnchangedDiscSendsOnlyTheTableRead) {
    AddDrive(ThreeTrackDisc());
    Start();
    dialog->trackCombo->setCurrentIndex(2);
    RefreshTick();
    RefreshTick();
    EXPECT_EQ(Sent(), (Opcodes{kOpReadToc, kOpReadToc}));
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 2); // nothing was rebuilt
}

TEST_F(Refresh, AnEmptyDriveRebuildsOnEveryTickAndADiscArrivingRebuildsOnce) {
    vdrive::CdromDrive& drive = AddDrive(std::nullopt);
    Start();
    const Opcodes rebuild{kOpReadToc, kOpRequestSense, kOpReadCapacity, kOpReadToc};
    for (int tick = 0; tick < 3; ++tick) {
        RefreshTick();
        EXPECT_EQ(Sent(), rebuild) << "tick " << tick;
        bus.ClearLog();
    }

    drive.InsertDisc(ThreeTrackDisc());
    RefreshTick(); // the drive first reports the new medium, which counts as a failed read
    RefreshTick();
    EXPECT_EQ(Shown("titleField"), QStringLiteral("Audio CD"));
    bus.ClearLog();
    RefreshTick();
    EXPECT_EQ(Sent(), Opcodes{kOpReadToc});
}

TEST_F(Refresh, ASecondDriveWithTheSameTableIsNotRebuilt) {
    AddDrive(ThreeTrackDisc(), 0, 3);
    vdrive::DiscImage copy = ThreeTrackDisc();
    AddDrive(copy, 0, 4);
    Start();
    state.trackPerformer[1] = "kept from before";
    dialog->trackCombo->setCurrentIndex(1);

    dialog->driveCombo->setCurrentIndex(1);
    dialog->OnDriveSelChange();

    EXPECT_EQ(Sent(),
              (Opcodes{kOpSeek10, kOpReadToc})); // the old drive's stop, the new drive's check
    EXPECT_EQ(dialog->trackCombo->currentIndex(), 1);
    EXPECT_EQ(Shown("artistField"),
              QStringLiteral("kept from before")); // only the performer is set again
}

TEST_F(Refresh, CutsLongTextsToTheirFieldsAndReadsLatin1) {
    vdrive::DiscImage disc = ThreeTrackDisc();
    cdtext::CdTextAlbum album;
    album.title = std::string(250, 'A');
    album.performer = "Band";
    album.tracks = {{std::string(150, 'T'), std::string(150, 'P'), ""},
                    {"Caf\u00e9 \u00e0 Paris", "Andr\u00e9", ""},
                    {"Last", "Band", ""}};
    disc.cdText = Packs(album);
    AddDrive(disc);
    Start();

    EXPECT_EQ(dialog->titleText, QString(199, QLatin1Char('A')));
    EXPECT_EQ(TrackEntries()[0], QStringLiteral("[01]  ") + QString(93, QLatin1Char('T')));
    EXPECT_EQ(state.trackPerformer[1], std::string(119, 'P'));
    EXPECT_EQ(TrackEntries()[1], QStringLiteral("[02]  Caf\u00e9 \u00e0 Paris"));
    EXPECT_EQ(state.trackPerformer[2], "Andr\xe9"); // kept as the disc's Latin-1 bytes
    ChooseTrackEntry(1);
    EXPECT_EQ(Shown("artistField"), QStringLiteral("Andr\u00e9"));
}

TEST_F(Refresh, ARepeatedTextStoredAsTabShowsThePreviousTracksText) {
    AddDrive(vdrive::DemoCdTextDisc());
    Start();
    // Track 2's performer is stored as "same as the previous track".
    EXPECT_EQ(state.trackPerformer[2], "The Marlow Vane Quartet");
    EXPECT_EQ(state.trackPerformer[4], "The Marlow Vane Quartet with Tomas Ekwall");
    for (const QString& entry : TrackEntries()) {
        EXPECT_FALSE(entry.contains(QLatin1Char('\t'))) << entry.toStdString();
    }
}

} // namespace
} // namespace player_test
