#include "drive/aspi.h"
#include "drive/commands.h"
#include "tests/support/recording_layer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class CommandSet : public ::testing::Test {
protected:
    RecordingLayer layer;
    void SetUp() override { ASSERT_NE(LoadAspi(), 0u); }
    void TearDown() override { UnloadAspi(); }
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}

struct CommandRow {
    std::string name;
    std::function<int32_t(std::span<uint8_t>)> send;
    std::vector<uint8_t> cdb;
    uint32_t dataLength;
};

TEST_F(CommandSet, EachFunctionSendsItsExactCommandBytes) {
    const std::vector<CommandRow> rows = {
        {"ReadCapacity", [](auto b) { return ReadCapacity(1, 3, b); },
         Bytes({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 8},
        {"ReadToc format 0, 804", [](auto b) { return ReadToc(1, 3, 0, 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0x00}), 804},
        {"ReadToc format 1", [](auto b) { return ReadToc(1, 3, 1, 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0x40}), 804},
        {"ReadToc format 3", [](auto b) { return ReadToc(1, 3, 3, 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0xC0}), 804},
        {"ReadToc format 4 keeps two bits", [](auto b) { return ReadToc(1, 3, 4, 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0x00}), 804},
        {"ReadToc cuts the allocation to 16 bits",
         [](auto b) { return ReadToc(1, 3, 0, 65536 + 804, b); },
         Bytes({0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0x00}), 804},
        {"ReadDiscText 4", [](auto b) { return ReadDiscText(1, 3, 4, b); },
         Bytes({0x43, 0, 0x05, 0, 0, 0, 0, 0x00, 0x04, 0}), 4},
        {"ReadDiscText 10002", [](auto b) { return ReadDiscText(1, 3, 10002, b); },
         Bytes({0x43, 0, 0x05, 0, 0, 0, 0, 0x27, 0x12, 0}), 10002},
        {"ReadSubChannel position", [](auto b) { return ReadSubChannel(1, 3, 1, 0, 1, 0, 16, b); },
         Bytes({0x42, 0x00, 0x40, 0x01, 0, 0, 0x00, 0x00, 0x10, 0}), 16},
        {"ReadSubChannel MSF 3 sets only bit 1",
         [](auto b) { return ReadSubChannel(1, 3, 3, 3, 2, 0x105, 16, b); },
         Bytes({0x42, 0x02, 0x40, 0x02, 0, 0, 0x05, 0x00, 0x10, 0}), 16},
        {"RequestSense", [](auto b) { return RequestSense(1, 3, b); },
         Bytes({0x03, 0, 0, 0, 0x12, 0}), 18},
        {"TestUnitReady", [](auto) { return TestUnitReady(1, 3); }, Bytes({0x00, 0, 0, 0, 0, 0}),
         0},
        {"SeekLba 0", [](auto) { return SeekLba(1, 3, 0); },
         Bytes({0x2B, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0},
        {"SeekLba drops bits above 23", [](auto) { return SeekLba(1, 3, 0x12345678); },
         Bytes({0x2B, 0, 0x00, 0x34, 0x56, 0x78, 0, 0, 0, 0}), 0},
        {"PlayAudioLba 2^24+5, 300000",
         [](auto) { return PlayAudioLba(1, 3, (1 << 24) + 5, 300000); },
         Bytes({0xA5, 0, 0x00, 0x00, 0x00, 0x05, 0x00, 0x04, 0x93, 0xE0, 0, 0}), 0},
        {"PlayAudioLba negative length keeps 24 bits",
         [](auto) { return PlayAudioLba(1, 3, 100, -1); },
         Bytes({0xA5, 0, 0x00, 0x00, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0xFF, 0, 0}), 0},
        {"PauseAudio", [](auto) { return PauseAudio(1, 3); },
         Bytes({0x4B, 0, 0, 0, 0, 0, 0, 0, 0x00, 0}), 0},
        {"ResumeAudio", [](auto) { return ResumeAudio(1, 3); },
         Bytes({0x4B, 0, 0, 0, 0, 0, 0, 0, 0x01, 0}), 0},
        {"EjectMedium", [](auto) { return EjectMedium(1, 3); }, Bytes({0x1B, 0, 0, 0, 0x02, 0}), 0},
        {"LoadMedium", [](auto) { return LoadMedium(1, 3); }, Bytes({0x1B, 0, 0, 0, 0x03, 0}), 0},
    };
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.name);
        layer.requests.clear();
        std::vector<uint8_t> buffer(20000);
        EXPECT_EQ(row.send(buffer), 1);
        ASSERT_EQ(layer.requests.size(), 1u);
        const RecordedRequest& sent = layer.requests[0];
        EXPECT_EQ(sent.cdb, row.cdb);
        const uint32_t bufLen = sent.srb.SRB_BufLen;
        uint8_t* const bufPointer = sent.srb.SRB_BufPointer;
        EXPECT_EQ(bufLen, row.dataLength);
        EXPECT_EQ(bufPointer, row.dataLength ? buffer.data() : nullptr);
        EXPECT_EQ(sent.srb.SRB_HaId, 1);
        EXPECT_EQ(sent.srb.SRB_Target, 3);
        EXPECT_EQ(sent.srb.SRB_Lun, 0);
        EXPECT_EQ(sent.srb.SRB_Flags, SRB_DIR_IN);
    }
}

TEST_F(CommandSet, ABufferShorterThanTheDataSendsNothing) {
    std::vector<uint8_t> small(7);
    EXPECT_EQ(ReadCapacity(0, 0, small), -1);
    EXPECT_EQ(RequestSense(0, 0, small), -1);
    EXPECT_EQ(ReadToc(0, 0, 0, 804, std::span<uint8_t>(small)), -1);
    EXPECT_EQ(ReadDiscText(0, 0, 8, small), -1);
    EXPECT_EQ(ReadSubChannel(0, 0, 1, 0, 1, 0, 16, small), -1);
    EXPECT_TRUE(layer.requests.empty());

    std::vector<uint8_t> exact(804);
    EXPECT_EQ(ReadToc(0, 0, 0, 65536 + 804, exact), 1)
        << "the cut length is what the buffer must hold";
}

TEST_F(CommandSet, ResultsComeBackUnchanged) {
    layer.status = SS_ERR;
    std::array<uint8_t, 16> answer{};
    EXPECT_EQ(ReadSubChannel(0, 0, 1, 0, 1, 0, 16, answer), 4);
    layer.status = SS_NO_DEVICE;
    EXPECT_EQ(TestUnitReady(0, 0), 0x82);
}

} // namespace
