// The disc refresh: what the window shows for each kind of disc, and when it rebuilds at all.
// The controller runs it; the stand-in window shows the parts the controller names.
#include "tests/support/controller_on_bus.h"

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

class Refresh : public ControllerOnBus {};

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
        StandInWindow rowWindow;
        PlayerController rowPlayer(state, nullptr, &rowWindow);
        rowPlayer.OnInitDialog();
        const PlayerView& shown = rowWindow.shown;

        EXPECT_EQ(shown.titleText, row.title);
        ASSERT_EQ(shown.trackEntries.size(), static_cast<size_t>(row.entryCount));
        for (size_t i = 0; i < row.firstEntries.size(); ++i) {
            EXPECT_EQ(shown.trackEntries[i], row.firstEntries[i]);
        }
        EXPECT_EQ(shown.trackSelection, row.entryCount > 0 ? 0 : -1);
        EXPECT_EQ(shown.trackSelectorEnabled, row.selectorEnabled);
        EXPECT_EQ(shown.artistText, row.performer);
        EXPECT_EQ(shown.slider.minimum, 0);
        EXPECT_EQ(shown.slider.maximum, row.sliderMax);
        EXPECT_EQ(shown.slider.ticks.size(), row.tickCount);
        EXPECT_EQ(shown.slider.position, 0);
        EXPECT_EQ(state.isPlaying, row.playFlagCleared ? 0 : 1);
        EXPECT_EQ(shown.discTotalText, row.discTotal);
        EXPECT_EQ(shown.trackTotalText, row.trackTotal);
        // In every case:
        EXPECT_EQ(shown.trackNumberText, "Track 1");
        EXPECT_EQ(shown.trackPositionText, "00:00");
        EXPECT_EQ(shown.discPositionText, "00:00");
        EXPECT_EQ(state.currentTrack, 1);
        EXPECT_EQ(state.firstTrack, 1);
        EXPECT_EQ(state.trackPerformer[0], "unknown artist");
        EXPECT_EQ(state.trackPerformer[99], "unknown artist");
        UnloadAspi();
    }
}

TEST_F(Refresh, AnUnreadableTableStillShowsTheCapacity) {
    AddDrive(ThreeTrackDisc());
    bus.InjectFault(0, 3, kOpReadToc, vdrive::Fault::Status(SS_ERR));
    Start();
    EXPECT_EQ(Shown().titleText, "No Audio CD inserted");
    EXPECT_TRUE(Shown().trackEntries.empty());
    EXPECT_EQ(Shown().discTotalText, "Total disc time: 13:19");
    EXPECT_EQ(Shown().slider.maximum, 0);
}

TEST_F(Refresh, WithoutTheCapacityTheDiscEndsWhereTheLeadOutStarts) {
    AddDrive(ThreeTrackDisc());
    bus.InjectFault(0, 3, kOpReadCapacity, vdrive::Fault::Status(SS_ERR));
    Start();
    EXPECT_EQ(Shown().discTotalText, "Total disc time: 00:00");
    EXPECT_EQ(state.trackStart[4], 60000);
    EXPECT_EQ(Shown().slider.maximum, 60000 / 450);
    EXPECT_EQ(Shown().titleText, "Audio CD");
}

TEST_F(Refresh, ADiscNumberedFromThreeListsTrackThreeFirst) {
    AddDrive(vdrive::DemoThirdTrackDisc());
    Start();
    // The disc's CD-Text belongs to tracks 3 to 7: its first track text is track 3's.
    EXPECT_EQ(Shown().trackEntries.front(), "[03]  Dust Jacket");
    EXPECT_EQ(Shown().trackEntries.back(), "[07]  Closing Time at the Library");
    EXPECT_EQ(Shown().trackEntries.size(), 5u);
    EXPECT_EQ(Shown().trackNumberText, "Track 3");
    EXPECT_EQ(Shown().trackTotalText, "Total track time: 03:18");
    EXPECT_EQ(Shown().artistText, "Orla Finchley");
    EXPECT_EQ(state.firstTrack, 3);
    EXPECT_EQ(state.lastTrack, 7);
    EXPECT_EQ(state.listBaseTrack, 3);
    EXPECT_EQ(state.currentTrack, 1);
    EXPECT_EQ(state.trackStart[8], 83045);
}

TEST_F(Refresh, AMixedDiscCountsAsAudioAndListsItsDataTrack) {
    AddDrive(vdrive::DemoMixedDisc());
    Start();
    EXPECT_EQ(Shown().titleText, "Audio CD");
    ASSERT_EQ(Shown().trackEntries.size(), 10u);
    EXPECT_EQ(Shown().trackEntries.front(), "Track 01");
    EXPECT_EQ(Shown().trackEntries.back(), "Track 10");
    EXPECT_TRUE(Shown().trackSelectorEnabled);
    EXPECT_EQ(Shown().slider.ticks.size(), 10u);
    EXPECT_EQ(Shown().slider.ticks[1], 38440 / 450);
    EXPECT_EQ(Shown().slider.maximum, 437);
}

TEST_F(Refresh, AnUnchangedDiscSendsOnlyTheTableRead) {
    AddDrive(ThreeTrackDisc());
    Start();
    ChooseTrackEntry(2);
    bus.ClearLog();
    RefreshTick();
    RefreshTick();
    EXPECT_EQ(Sent(), (Opcodes{kOpReadToc, kOpReadToc}));
    EXPECT_EQ(Shown().trackSelection, 2); // nothing was rebuilt
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
    EXPECT_EQ(Shown().titleText, "Audio CD");
    bus.ClearLog();
    RefreshTick();
    EXPECT_EQ(Sent(), Opcodes{kOpReadToc});
}

TEST_F(Refresh, ASecondDriveWithTheSameTableIsNotRebuilt) {
    AddDrive(ThreeTrackDisc(), 0, 3);
    vdrive::DiscImage copy = ThreeTrackDisc();
    AddDrive(copy, 0, 4);
    Start();
    ChooseTrackEntry(1);
    state.trackPerformer[1] = "kept from before";
    bus.ClearLog();

    player.OnDriveSelChange(1);

    EXPECT_EQ(Sent(),
              (Opcodes{kOpSeek10, kOpReadToc})); // the old drive's stop, the new drive's check
    EXPECT_EQ(Shown().trackSelection, 1);
    EXPECT_EQ(Shown().artistText, "kept from before"); // only the performer is set again
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

    EXPECT_EQ(Shown().titleText, std::string(199, 'A'));
    EXPECT_EQ(Shown().trackEntries[0], "[01]  " + std::string(93, 'T'));
    EXPECT_EQ(state.trackPerformer[1], std::string(119, 'P'));
    EXPECT_EQ(Shown().trackEntries[1], "[02]  Caf\xe9 \xe0 Paris"); // the disc's Latin-1 bytes
    EXPECT_EQ(state.trackPerformer[2], "Andr\xe9");
    ChooseTrackEntry(1);
    EXPECT_EQ(Shown().artistText, "Andr\xe9");
}

TEST_F(Refresh, ARepeatedTextStoredAsTabShowsThePreviousTracksText) {
    AddDrive(vdrive::DemoCdTextDisc());
    Start();
    // Track 2's performer is stored as "same as the previous track".
    EXPECT_EQ(state.trackPerformer[2], "The Marlow Vane Quartet");
    EXPECT_EQ(state.trackPerformer[4], "The Marlow Vane Quartet with Tomas Ekwall");
    for (const std::string& entry : Shown().trackEntries) {
        EXPECT_EQ(entry.find('\t'), std::string::npos) << entry;
    }
}

} // namespace
} // namespace player_test
