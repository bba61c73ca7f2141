// The declarations that programs outside this repository compile against, checked as they are
// written down for them: a changed name, parameter or return type fails this build.
#include "disc/cdtext.h"
#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/srb.h"
#include "platform/aspi_layer.h"
#include "player/player_dlg.h"
#include "player/player_state.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

template <typename Expected, typename Actual> constexpr bool Same(Actual) {
    return std::is_same_v<Expected, Actual>;
}

static_assert(Same<uint32_t (*)()>(&LoadAspi));
static_assert(Same<void (*)()>(&UnloadAspi));
static_assert(
    Same<int32_t (*)(int, int, std::span<const uint8_t>, std::span<uint8_t>)>(&ExecScsiCommand));
static_assert(Same<void (*)(const AspiLayer*)>(&InstallAspiLayer));
static_assert(std::is_same_v<decltype(AspiLayer::getSupportInfo), uint32_t (*)()>);
static_assert(std::is_same_v<decltype(AspiLayer::sendCommand), uint32_t (*)(void*)>);

static_assert(Same<int (*)(int, int, DeviceIdentity&)>(&InquireDevice));
static_assert(Same<std::vector<std::string> (*)(PlayerState&)>(&DiscoverDrives));
static_assert(std::is_same_v<decltype(DeviceIdentity::vendor), std::array<char, 9>>);
static_assert(std::is_same_v<decltype(DeviceIdentity::product), std::array<char, 17>>);
static_assert(std::is_same_v<decltype(DeviceIdentity::revision), std::array<char, 5>>);

static_assert(Same<int32_t (*)(int, int, std::span<uint8_t>)>(&ReadCapacity));
static_assert(Same<int32_t (*)(int, int, int, uint32_t, std::span<uint8_t>)>(&ReadToc));
static_assert(Same<int32_t (*)(int, int, uint32_t, std::span<uint8_t>)>(&ReadDiscText));
static_assert(
    Same<int32_t (*)(int, int, int, int, int, int, uint32_t, std::span<uint8_t>)>(&ReadSubChannel));
static_assert(Same<int32_t (*)(int, int, std::span<uint8_t>)>(&RequestSense));
static_assert(Same<int32_t (*)(int, int)>(&TestUnitReady));
static_assert(Same<int32_t (*)(int, int, int32_t)>(&SeekLba));
static_assert(Same<int32_t (*)(int, int, int32_t, int32_t)>(&PlayAudioLba));
static_assert(Same<int32_t (*)(int, int)>(&PauseAudio));
static_assert(Same<int32_t (*)(int, int)>(&ResumeAudio));
static_assert(Same<int32_t (*)(int, int)>(&EjectMedium));
static_assert(Same<int32_t (*)(int, int)>(&LoadMedium));

static_assert(Same<std::string (*)(int32_t)>(&FormatFrames));
static_assert(Same<bool (*)(PlayerState&, int, int, std::span<uint8_t, 804>)>(&CheckTocChange));
static_assert(Same<bool (*)(int, int, std::span<uint8_t>, int32_t&)>(&FetchDiscText));
static_assert(Same<std::string (*)(uint8_t, int32_t, std::span<const uint8_t>, int32_t)>(
    &ExtractDiscTextItem));

static_assert(std::is_same_v<decltype(PlayerState::driveAdapter), std::array<int32_t, 32>>);
static_assert(std::is_same_v<decltype(PlayerState::driveTarget), std::array<int32_t, 32>>);
static_assert(std::is_same_v<decltype(PlayerState::trackStart), std::array<int32_t, 120>>);
static_assert(std::is_same_v<decltype(PlayerState::trackPerformer), std::array<std::string, 120>>);
static_assert(std::is_same_v<decltype(PlayerState::tocImage), std::array<uint8_t, 804>>);
static_assert(std::is_same_v<decltype(PlayerState::pollTimer), uint32_t>);
static_assert(std::is_same_v<decltype(PlayerState::discTimer), uint32_t>);

static_assert(std::is_base_of_v<QDialog, CPlayerDlg>);
static_assert(std::is_constructible_v<CPlayerDlg, PlayerState&, QWidget*>);
static_assert(std::is_constructible_v<CPlayerDlg, PlayerState&>);
static_assert(std::is_same_v<decltype(CPlayerDlg::titleText), QString>);
static_assert(std::is_same_v<decltype(CPlayerDlg::trackNumberText), QString>);
static_assert(std::is_same_v<decltype(CPlayerDlg::trackTimeCheck), int>);
static_assert(std::is_same_v<decltype(CPlayerDlg::discTimeCheck), int>);
static_assert(Same<void (CPlayerDlg::*)(int32_t)>(&CPlayerDlg::SeekAndPlay));
static_assert(Same<void (CPlayerDlg::*)(int)>(&CPlayerDlg::OnTimer));
static_assert(Same<void (CPlayerDlg::*)(int)>(&CPlayerDlg::OnHScroll));
static_assert(Same<void (CPlayerDlg::*)()>(&CPlayerDlg::RefreshDisc));
static_assert(Same<void (CPlayerDlg::*)()>(&CPlayerDlg::PollPosition));
static_assert(Same<void (CPlayerDlg::*)()>(&CPlayerDlg::OnLButtonUp));

TEST(FixedInterfaces, TheRequestKeepsItsPublishedFieldsAndConstants) {
    SRB_ExecSCSICmd srb{};
    EXPECT_EQ(sizeof srb.SenseArea, 16u);
    EXPECT_EQ(sizeof srb.SRB_Rsvd2, 20u);
    EXPECT_EQ(sizeof srb.CDBByte, 16u);
    EXPECT_EQ(SENSE_LEN, 14);
    EXPECT_EQ(SC_EXEC_SCSI_CMD, 0x02);
    EXPECT_EQ(SS_PENDING, 0x00);
    EXPECT_EQ(SS_COMP, 0x01);
    EXPECT_EQ(SS_ABORTED, 0x02);
    EXPECT_EQ(SS_ERR, 0x04);
    EXPECT_EQ(SS_INVALID_HA, 0x81);
    EXPECT_EQ(SS_NO_DEVICE, 0x82);
    EXPECT_EQ(SS_NO_ADAPTERS, 0xE8);
    EXPECT_EQ(SRB_DIR_IN, 0x08);
    EXPECT_EQ(SRB_POSTING, 0x01);
    EXPECT_EQ(SRB_EVENT_NOTIFY, 0x40);
}

} // namespace
