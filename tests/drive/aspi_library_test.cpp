// The transport through the system loader (Windows): the stand-in WNASPI32.DLL beside this
// program is what LoadLibraryA finds. Discovery, the command set and the unload run against it as
// against any ASPI layer, some answers completing on the library's own thread. This program is
// built optimised: there, entries of another calling convention than the transport's pointer
// types would corrupt the caller's stack.
#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/srb.h"
#include "platform/module.h"
#include "player/player_state.h"
#include "tests/support/recording_layer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace {

std::string Folder(HMODULE module) {
    std::array<char, MAX_PATH> path{};
    const DWORD length = GetModuleFileNameA(module, path.data(), MAX_PATH);
    std::string folder(path.data(), length);
    folder.erase(folder.find_last_of('\\') + 1);
    std::transform(folder.begin(), folder.end(), folder.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return folder;
}

// The library's second thread holds it until that thread ends: the unmapping may follow the
// unload by a moment.
bool UnmappedWithin(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetModuleHandleA("WNASPI32.DLL") != nullptr) {
        if (GetTickCount() - start > milliseconds) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

// Calls a one-argument entry and tells how many argument bytes it took off the stack (0 for the
// C convention, 4 for __stdcall); the stack pointer is put back either way.
int PoppedArgumentBytes(ModuleEntry entry, void* argument) {
    uint32_t before = 0;
    uint32_t after = 0;
    uint32_t result = 0;
    asm volatile("mov %%esp, %1\n\t"
                 "push %3\n\t"
                 "call *%4\n\t"
                 "mov %%esp, %2\n\t"
                 "mov %1, %%esp"
                 : "=a"(result), "=&S"(before), "=&D"(after), "+d"(argument)
                 : "b"(entry)
                 : "ecx", "memory", "cc");
    (void)result;
    return static_cast<int>(after - (before - 4));
}

TEST(AspiLibrary, DiscoveryPlayAndUnloadRunThroughTheLibraryTheLoaderFinds) {
    InstallAspiLayer(nullptr);
    const int modulesBefore = LoadedModuleCount();
    ASSERT_EQ(LoadAspi(), 0x0101u);
    // Not a layer the system brings along: the one beside this program.
    const HMODULE library = GetModuleHandleA("WNASPI32.DLL");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(Folder(library), Folder(nullptr));

    PlayerState state;
    state.hostAdapterCount = 1;
    EXPECT_EQ(DiscoverDrives(state), std::vector<std::string>{"ID:1   CDS-3200 "});
    ASSERT_EQ(state.driveCount, 1);
    EXPECT_EQ(state.driveAdapter[0], 0);
    EXPECT_EQ(state.driveTarget[0], 1);

    // READ TOC, PLAY and READ SUB-CHANNEL complete on the library's second thread.
    std::array<uint8_t, kTocImageSize> toc{};
    ASSERT_EQ(ReadToc(0, 1, 0, kTocImageSize, toc), SS_COMP);
    const auto table = DecodeTrackTable(toc);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->firstTrack, 1);
    EXPECT_EQ(table->lastTrack, 3);
    ASSERT_EQ(table->tracks.size(), 3u);
    EXPECT_EQ(table->tracks[1].start, 15000);
    EXPECT_EQ(table->leadOutStart, 45000);

    EXPECT_EQ(TestUnitReady(0, 1), SS_COMP);
    ASSERT_EQ(PlayAudioLba(0, 1, 15000, 750), SS_COMP);
    Sleep(200);
    std::array<uint8_t, 16> position{};
    ASSERT_EQ(ReadSubChannel(0, 1, 1, 0, 1, 0, 16, position), SS_COMP);
    const int32_t absolute =
        static_cast<int32_t>((uint32_t{position[8]} << 24) | (uint32_t{position[9]} << 16) |
                             (uint32_t{position[10]} << 8) | position[11]);
    EXPECT_EQ(position[1], 0x11) << "audio status: playing";
    EXPECT_EQ(position[6], 2) << "track";
    EXPECT_GE(absolute, 15000);
    EXPECT_LT(absolute, 15750);

    // Failures come back as the library reports them; the request to an adapter that is not
    // there is refused by the return value alone, its status never written.
    EXPECT_EQ(PauseAudio(0, 1), SS_ERR) << "a command the drive lacks";
    EXPECT_EQ(ReadToc(0, 4, 0, kTocImageSize, toc), SS_ERR) << "the other vendor's drive";
    EXPECT_EQ(TestUnitReady(0, 7), SS_ERR) << "no device";
    EXPECT_EQ(TestUnitReady(1, 1), SS_INVALID_HA) << "no adapter";

    UnloadAspi();
    EXPECT_EQ(LoadedModuleCount(), modulesBefore);
    EXPECT_TRUE(UnmappedWithin(2000)) << "the library stays mapped after the unload";
    EXPECT_EQ(TestUnitReady(0, 1), -1);
}

TEST(AspiLibrary, AnInstalledLayerAnswersBeforeTheLibrary) {
    {
        RecordingLayer layer;
        layer.supportInfo = 0x0102;
        ASSERT_EQ(LoadAspi(), 0x0102u);
        EXPECT_EQ(GetModuleHandleA("WNASPI32.DLL"), nullptr);
        EXPECT_EQ(TestUnitReady(0, 1), SS_COMP);
        EXPECT_EQ(layer.requests.size(), 1u);
        UnloadAspi();
    }
    ASSERT_EQ(LoadAspi(), 0x0101u) << "with the layer gone the library answers again";
    EXPECT_NE(GetModuleHandleA("WNASPI32.DLL"), nullptr);
    UnloadAspi();
}

TEST(AspiLibrary, TheEntryTakesNoArgumentBytesOffTheStack) {
    const ModuleHandle library = OpenModule("WNASPI32.DLL");
    ASSERT_NE(library, nullptr);
    const ModuleEntry send = FindModuleEntry(library, "SendASPI32Command");
    ASSERT_NE(send, nullptr);
    SRB_ExecSCSICmd srb{};
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Flags = SRB_DIR_IN;
    srb.SRB_Target = 1;
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = 6; // TEST UNIT READY, completed before the call returns
    EXPECT_EQ(PoppedArgumentBytes(send, &srb), 0);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    CloseModule(library);
}

} // namespace
