#include "drive/aspi.h"
#include "drive/aspi_request.h"
#include "drive/srb.h"
#include "platform/module.h"
#include "tests/support/recording_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

uint32_t SupportInfoE800() {
    return 0xE800;
}
uint32_t SendNothing(void*) {
    return SS_COMP;
}

class LoadedLayer : public ::testing::Test {
protected:
    RecordingLayer layer;
    void SetUp() override { ASSERT_NE(LoadAspi(), 0u); }
    void TearDown() override { UnloadAspi(); }
};

TEST(LoadAspi, FailsWithoutAnInstalledLayer) {
    InstallAspiLayer(nullptr);
    const int modulesBefore = LoadedModuleCount();
    EXPECT_EQ(LoadAspi(), 0u);
    EXPECT_EQ(LoadedModuleCount(), modulesBefore);
}

TEST(LoadAspi, FailsAndReleasesTheModuleWhenAnEntryIsMissing) {
    const int modulesBefore = LoadedModuleCount();
    for (AspiLayer layer :
         {AspiLayer{nullptr, &SendNothing}, AspiLayer{&SupportInfoE800, nullptr}}) {
        InstallAspiLayer(&layer);
        EXPECT_EQ(LoadAspi(), 0u);
        EXPECT_EQ(LoadedModuleCount(), modulesBefore)
            << "the module stays loaded after a failed load";
    }
    InstallAspiLayer(nullptr);
}

TEST(LoadAspi, PassesTheSupportInfoOnUnchangedEvenWithNoAdapters) {
    AspiLayer layer{&SupportInfoE800, &SendNothing};
    InstallAspiLayer(&layer);
    EXPECT_EQ(LoadAspi(), 0xE800u);
    UnloadAspi();
    InstallAspiLayer(nullptr);
}

TEST(LoadAspi, ASecondLoadReleasesTheFirstModule) {
    RecordingLayer layer;
    const int modulesBefore = LoadedModuleCount();
    ASSERT_NE(LoadAspi(), 0u);
    ASSERT_NE(LoadAspi(), 0u);
    EXPECT_EQ(LoadedModuleCount(), modulesBefore + 1);
    UnloadAspi();
    EXPECT_EQ(LoadedModuleCount(), modulesBefore);
}

TEST(ExecScsiCommand, RefusesBeforeLoadAndAfterUnload) {
    RecordingLayer layer;
    std::array<uint8_t, 6> cdb{};
    EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), -1);
    ASSERT_NE(LoadAspi(), 0u);
    EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), 1);
    UnloadAspi();
    EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), -1);
    EXPECT_EQ(layer.requests.size(), 1u);
}

TEST_F(LoadedLayer, CdbLengthFollowsTheCommandGroup) {
    struct Row {
        uint8_t op;
        uint8_t length;
    };
    for (Row row : {Row{0x00, 6}, Row{0x1F, 6}, Row{0x20, 10}, Row{0x5F, 10}, Row{0x60, 12},
                    Row{0xA5, 12}, Row{0xFF, 12}}) {
        std::array<uint8_t, 16> cdb{};
        cdb.fill(0xEE);
        cdb[0] = row.op;
        layer.requests.clear();
        EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), 1);
        ASSERT_EQ(layer.requests.size(), 1u);
        const SRB_ExecSCSICmd& srb = layer.requests[0].srb;
        EXPECT_EQ(srb.SRB_CDBLen, row.length) << "op " << int(row.op);
        for (int i = 1; i < 16; ++i) {
            EXPECT_EQ(srb.CDBByte[i], i < row.length ? 0xEE : 0x00)
                << "op " << int(row.op) << " byte " << i;
        }
    }
}

TEST_F(LoadedLayer, RefusesACommandBlockShorterThanItsGroup) {
    std::array<uint8_t, 6> sixBytes{0x43};
    std::array<uint8_t, 10> tenBytes{0xA5};
    EXPECT_EQ(ExecScsiCommand(0, 0, sixBytes, {}), -1);
    EXPECT_EQ(ExecScsiCommand(0, 0, tenBytes, {}), -1);
    EXPECT_EQ(ExecScsiCommand(0, 0, std::span<const uint8_t>{}, {}), -1);
    EXPECT_TRUE(layer.requests.empty());
}

TEST_F(LoadedLayer, FillsEveryFieldOfTheRequest) {
    std::array<uint8_t, 10> cdb{0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
    std::array<uint8_t, 804> data{};
    ASSERT_EQ(ExecScsiCommand(0x102, 0x107, cdb, data), 1);
    const SRB_ExecSCSICmd& srb = layer.requests.at(0).srb;
    EXPECT_EQ(srb.SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(srb.SRB_Status, SS_PENDING);
    EXPECT_EQ(srb.SRB_HaId, 0x02) << "only the low byte of the adapter id is sent";
    EXPECT_EQ(srb.SRB_Target, 0x07) << "only the low byte of the target id is sent";
    EXPECT_EQ(srb.SRB_Lun, 0);
    EXPECT_EQ(srb.SRB_Flags, SRB_DIR_IN);
    // Fields of the packed request are read by value: a reference to one may be misaligned.
    const uint32_t bufLen = srb.SRB_BufLen;
    uint8_t* const bufPointer = srb.SRB_BufPointer;
    const uint32_t headerReserved = srb.SRB_Hdr_Rsvd;
    const uint16_t reserved1 = srb.SRB_Rsvd1;
    void* const postProc = srb.SRB_PostProc;
    EXPECT_EQ(bufLen, 804u);
    EXPECT_EQ(bufPointer, data.data());
    EXPECT_EQ(srb.SRB_SenseLen, 14);
    EXPECT_EQ(srb.SRB_CDBLen, 10);
    EXPECT_EQ(headerReserved, 0u);
    EXPECT_EQ(reserved1, 0);
    EXPECT_EQ(srb.SRB_HaStat, 0);
    EXPECT_EQ(srb.SRB_TargStat, 0);
    EXPECT_EQ(postProc, nullptr);
    for (uint8_t b : srb.SRB_Rsvd2) {
        EXPECT_EQ(b, 0);
    }
    for (uint8_t b : srb.SenseArea) {
        EXPECT_EQ(b, 0);
    }
    EXPECT_EQ(layer.requests[0].cdb, std::vector<uint8_t>(cdb.begin(), cdb.end()));
}

TEST_F(LoadedLayer, ACommandWithoutDataSendsANullBufferAndStillReadsIn) {
    std::array<uint8_t, 6> cdb{};
    ASSERT_EQ(ExecScsiCommand(256, 0, cdb, {}), 1);
    const SRB_ExecSCSICmd& srb = layer.requests.at(0).srb;
    uint8_t* const bufPointer = srb.SRB_BufPointer;
    const uint32_t bufLen = srb.SRB_BufLen;
    EXPECT_EQ(bufPointer, nullptr);
    EXPECT_EQ(bufLen, 0u);
    EXPECT_EQ(srb.SRB_Flags, SRB_DIR_IN);
    EXPECT_EQ(srb.SRB_HaId, 0) << "adapter 256 is sent as 0";
}

TEST_F(LoadedLayer, ReturnsTheLayersStatusZeroExtended) {
    std::array<uint8_t, 6> cdb{};
    for (uint8_t status : {SS_ERR, SS_ABORTED, SS_INVALID_HA, SS_NO_DEVICE, uint8_t{0xFF}}) {
        layer.status = status;
        EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), int32_t{status});
    }
}

// A layer that completes the request from another thread, some time after the submission.
std::atomic<SRB_ExecSCSICmd*> pendingRequest{nullptr};
std::thread completer;

uint32_t OneAdapter() {
    return 0x0101;
}
uint32_t CompleteLater(void* request) {
    auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
    completer = std::thread([srb] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::atomic_ref<uint8_t>(srb->SRB_Status).store(SS_ERR);
    });
    return SS_PENDING;
}

// A layer that answers each request with `returned` and writes `written` into the status unless
// that is SS_PENDING, as a layer that refuses a request outright may do.
struct Refusal {
    uint32_t returned;
    uint8_t written;
    int32_t result;
};
Refusal refusal{};
std::atomic<SRB_ExecSCSICmd*> refusedRequest{nullptr};

uint32_t Refuse(void* request) {
    auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
    refusedRequest = srb;
    if (refusal.written != SS_PENDING) {
        srb->SRB_Status = refusal.written;
    }
    return refusal.returned;
}

TEST(ExecScsiCommand, ARefusalReturnedWithoutAStatusIsTheResult) {
    AspiLayer layer{&OneAdapter, &Refuse};
    InstallAspiLayer(&layer);
    ASSERT_NE(LoadAspi(), 0u);
    for (Refusal row : {Refusal{SS_INVALID_SRB, SS_PENDING, SS_INVALID_SRB},
                        Refusal{SS_INVALID_HA, SS_PENDING, SS_INVALID_HA},
                        Refusal{0x1E0, SS_PENDING, SS_ERR},  // no status byte: still a failure
                        Refusal{SS_COMP, SS_ERR, SS_ERR}}) { // a written status wins
        refusal = row;
        auto command = std::async(std::launch::async, [] {
            std::array<uint8_t, 6> cdb{};
            return ExecScsiCommand(1, 0, cdb, {});
        });
        if (command.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Release the waiting transport so that the test ends with a failure, not a hang.
            std::atomic_ref<uint8_t>(refusedRequest.load()->SRB_Status).store(SS_ABORTED);
            ADD_FAILURE() << "still waiting for a request the layer refused with " << row.returned;
        }
        EXPECT_EQ(command.get(), row.result) << "returned " << row.returned;
    }
    UnloadAspi();
    InstallAspiLayer(nullptr);
}

TEST(ExecScsiCommand, WaitsUntilTheLayerCompletesTheRequest) {
    AspiLayer layer{&OneAdapter, &CompleteLater};
    InstallAspiLayer(&layer);
    ASSERT_NE(LoadAspi(), 0u);
    std::array<uint8_t, 6> cdb{};
    EXPECT_EQ(ExecScsiCommand(0, 0, cdb, {}), SS_ERR);
    completer.join();
    UnloadAspi();
    InstallAspiLayer(nullptr);
}

// The layers' own commands (the play's, the names') wait by sleeping, not by reading the status
// over and over; they still see the status the layer writes later.
TEST(SendCommandBlock, WaitsUntilTheLayerCompletesTheRequestFromAnotherThread) {
    std::array<uint8_t, 10> cdb{0x43};
    const Completion completion = SendCommandBlock(&CompleteLater, 0, 0, cdb, {});
    completer.join();
    EXPECT_EQ(completion.status, SS_ERR);
    EXPECT_FALSE(completion.Ok());
}

} // namespace
