// The drives each way of starting gives the player, seen as the player's discovery sees them:
// the demo bus, one drive per cue sheet, a refused sheet, and the real drives' permission line.
#include "app/drive_setup.h"

#include "drive/aspi.h"
#include "drive/discovery.h"
#include "platform/aspi_layer.h"
#include "tests/support/image_files.h"
#include "vdrive/cue_sheet.h"

#if defined(__linux__)
#include "tests/platform/fake_sg_system.h"
#include "tests/platform/fake_sysfs.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CommandLine WithImages(std::vector<std::string> sheets) {
    CommandLine commandLine;
    commandLine.drives = CommandLine::Drives::Images;
    commandLine.images = std::move(sheets);
    return commandLine;
}

// The captions the player's drive selector would list for the installed layer.
std::vector<std::string> ListedDrives(PlayerState& state) {
    const uint32_t support = LoadAspi();
    if (((support >> 8) & 0xFF) != 1) {
        return {};
    }
    state.hostAdapterCount = static_cast<int32_t>(support & 0xFF);
    std::vector<std::string> captions = DiscoverDrives(state);
    UnloadAspi();
    return captions;
}

DriveSetupOptions WithClock(vdrive::Clock& clock) {
    DriveSetupOptions options;
    options.clock = &clock;
    return options;
}

class DriveSetupTest : public testing::Test {
protected:
    void SetUp() override { InstallAspiLayer(nullptr); }
    void TearDown() override { InstallAspiLayer(nullptr); }

    // A two-track audio disc of 20 seconds in a WAV file; returns the sheet's path.
    std::string GoodSheet(const std::string& name) {
        folder.Wav(name + ".wav", 1500);
        return folder.Write(name + ".cue", "FILE \"" + name +
                                               ".wav\" WAVE\n"
                                               "  TRACK 01 AUDIO\n"
                                               "    INDEX 01 00:00:00\n"
                                               "  TRACK 02 AUDIO\n"
                                               "    INDEX 01 00:10:00\n");
    }

    ImageFolder folder;
    vdrive::ManualClock clock;
    DriveSetupOptions options = WithClock(clock);
    PlayerDrives drives;
    std::string error;
    PlayerState state;
};

TEST_F(DriveSetupTest, TheDemoBusHoldsTheDiskTheThreeDrivesAndAPlayingDisc) {
    CommandLine demo;
    demo.drives = CommandLine::Drives::Demo;
    ASSERT_TRUE(SetUpDrives(demo, drives, error, options)) << error;
    ASSERT_NE(drives.bus, nullptr);
    EXPECT_TRUE(drives.bus->Installed());
    EXPECT_EQ(drives.bus->AdapterCount(), 2);

    vdrive::Bus& bus = *drives.bus;
    EXPECT_NE(bus.DeviceAt(0, 0), nullptr) << "the disk";
    EXPECT_NE(bus.DriveAt(0, 5), nullptr) << "the other maker's drive";
    ASSERT_NE(bus.DriveAt(0, 3), nullptr);
    const vdrive::CdromDrive& playing = *bus.DriveAt(0, 3);
    EXPECT_FALSE(playing.Disc()->cdText.empty()) << "the CD-Text disc";
    EXPECT_EQ(playing.AudioStatus(), kAudioStatusPlaying);
    const int32_t before = playing.Position();
    clock.Advance(2000);
    EXPECT_EQ(playing.Position(), before + 150) << "the drive plays on the clock it was given";

    EXPECT_EQ(ListedDrives(state),
              (std::vector<std::string>{"ID:3   VX-6012SA", "ID:2   VX-4020SA"}));
    EXPECT_TRUE(drives.notice.empty());
}

TEST_F(DriveSetupTest, EachSheetBecomesADriveHoldingItsDisc) {
    const std::string first = GoodSheet("Harbour");
    const std::string second = GoodSheet("Midnight Express Live");
    ASSERT_TRUE(SetUpDrives(WithImages({first, second}), drives, error, options)) << error;
    ASSERT_NE(drives.bus, nullptr);
    EXPECT_TRUE(drives.bus->Installed());

    vdrive::DiscImage expected;
    ASSERT_TRUE(vdrive::LoadCueSheet(first, expected, error)) << error;
    for (int target : {0, 1}) {
        const vdrive::CdromDrive* drive = drives.bus->DriveAt(0, target);
        ASSERT_NE(drive, nullptr) << target;
        ASSERT_NE(drive->Disc(), nullptr);
        EXPECT_EQ(drive->Disc()->leadOut, expected.leadOut);
        ASSERT_EQ(drive->Disc()->tracks.size(), 2u);
        EXPECT_EQ(drive->Disc()->tracks[1].start, 750);
        EXPECT_EQ(drive->AudioStatus(), kAudioStatusNone) << "an image drive waits for Play";
    }
    EXPECT_EQ(drives.bus->DeviceAt(0, 2), nullptr);
    EXPECT_EQ(ListedDrives(state),
              (std::vector<std::string>{"ID:0   Harbour  ", "ID:1   Midnight "}))
        << "the product field is blank-padded to 16 characters";
}

TEST_F(DriveSetupTest, SheetsBeyondSixteenGoOnTheNextAdapter) {
    const std::string sheet = GoodSheet("disc");
    const std::vector<std::string> seventeen(17, sheet);
    ASSERT_TRUE(SetUpDrives(WithImages(seventeen), drives, error, options)) << error;
    EXPECT_NE(drives.bus->DriveAt(0, 15), nullptr);
    EXPECT_NE(drives.bus->DriveAt(1, 0), nullptr);
    EXPECT_EQ(drives.bus->DriveAt(1, 1), nullptr);
    EXPECT_EQ(ListedDrives(state).size(), 17u);
    EXPECT_EQ(state.driveAdapter[16], 1);
    EXPECT_EQ(state.driveTarget[16], 0);
}

TEST(ImageDrives, AreNamedAfterTheirSheetInPrintableAscii) {
    const std::pair<const char*, const char*> cases[] = {
        {"/music/Album.cue", "CD-ROM Album"},
        {"Harbour Lights Live.cue", "CD-ROM Harbour L"}, // the selector shows 9 characters
        {"dir/Caf\xC3\xA9.cue", "CD-ROM Caf__"},         // UTF-8 bytes are not ASCII
        {"dir/.cue", "CD-ROM .cue"},
        {"a.b.cue", "CD-ROM a.b"},
    };
    for (const auto& [path, product] : cases) {
        const vdrive::Identity identity = ImageDriveIdentity(path);
        EXPECT_EQ(identity.product, product) << path;
        EXPECT_EQ(identity.vendor, "VORTANE ") << "listed by the player";
    }
}

TEST_F(DriveSetupTest, ABadSheetGivesTheLoadersErrorAndInstallsNothing) {
    const std::string good = GoodSheet("good");
    const std::string missingFile = folder.Write("missing.cue", "FILE \"gone.wav\" WAVE\n"
                                                                "  TRACK 01 AUDIO\n"
                                                                "    INDEX 01 00:00:00\n");
    const std::string noSheet = folder.Path("no-such.cue");
    const std::pair<std::string, const char*> cases[] = {
        {missingFile, ":1: "}, // the FILE line
        {noSheet, ": "},
    };
    for (const auto& [bad, where] : cases) {
        SCOPED_TRACE(bad);
        vdrive::DiscImage ignored;
        std::string loaderError;
        ASSERT_FALSE(vdrive::LoadCueSheet(bad, ignored, loaderError));

        EXPECT_FALSE(SetUpDrives(WithImages({good, bad}), drives, error, options));
        EXPECT_EQ(error, loaderError);
        EXPECT_EQ(error.rfind(bad + where, 0), 0u) << "names the sheet first: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(drives.bus, nullptr);
        EXPECT_EQ(LoadAspi(), 0u) << "no layer answers";
        UnloadAspi();
    }
}

TEST_F(DriveSetupTest, RefusesMoreSheetsThanThePlayerCanList) {
    const std::string sheet = GoodSheet("disc");
    EXPECT_TRUE(
        SetUpDrives(WithImages(std::vector<std::string>(32, sheet)), drives, error, options));
    EXPECT_FALSE(
        SetUpDrives(WithImages(std::vector<std::string>(33, sheet)), drives, error, options));
    EXPECT_EQ(error, "at most 32 images at once (33 given)");
    EXPECT_EQ(drives.bus, nullptr);
}

#if defined(__linux__)
TEST_F(DriveSetupTest, RealDrivesNameADriveThatCannotBeOpenedInOneLine) {
    FakeSysfs sysfs;
    sysfs.AddBlock("sr0", "2:0:0:0");
    FakeSgSystem system;
    options.sg = SgConfig{sysfs.Root(), "/dev", &system.table};
    CommandLine real;

    ASSERT_TRUE(SetUpDrives(real, drives, error, options));
    EXPECT_EQ(drives.bus, nullptr);
    EXPECT_TRUE(drives.notice.empty()) << "the drive opens";
    EXPECT_EQ(LoadAspi(), 0x0101u) << "the SG layer answers, with the drive's host";
    UnloadAspi();

    system.openErrors["/dev/sr0"] = EACCES;
    ASSERT_TRUE(SetUpDrives(real, drives, error, options));
    EXPECT_EQ(drives.notice, SgPermissionMessage({"/dev/sr0"}));
    EXPECT_NE(drives.notice.find("/dev/sr0"), std::string::npos);
    EXPECT_EQ(drives.notice.find('\n'), std::string::npos);
    ConfigureSgLayer(SgConfig{}); // forget this test's fake
}
#endif

} // namespace
