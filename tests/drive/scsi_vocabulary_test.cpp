// The SCSI vocabulary every layer shares: the length rule over every operation code, as the
// transport sends it and as a receiving device reads it, and the bytes of the builders that no
// command function sends (the command functions' blocks are checked in commands_test).
#include "drive/aspi.h"
#include "drive/command_blocks.h"
#include "tests/support/recording_layer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CommandLength, EveryOperationCodeGoesOutAndIsReadWithTheLengthOfItsGroup) {
    struct Group {
        int first;
        int last;
        uint8_t sent;     // what the program sends: the 6/10/12 rule
        uint8_t received; // what a device can tell: 16 for 80h-9Fh, 0 where no one can
    };
    const Group groups[] = {
        {0x00, 0x1F, 6, 6},   {0x20, 0x5F, 10, 10}, {0x60, 0x7F, 12, 0}, // reserved group 3
        {0x80, 0x9F, 12, 16}, {0xA0, 0xBF, 12, 12}, {0xC0, 0xFF, 12, 0}, // vendor groups 6, 7
    };
    RecordingLayer layer;
    ASSERT_NE(LoadAspi(), 0u);
    size_t sent = 0;
    for (const Group& group : groups) {
        for (int code = group.first; code <= group.last; ++code) {
            const auto opcode = static_cast<uint8_t>(code);
            SCOPED_TRACE(testing::Message() << "operation code " << std::hex << code);
            EXPECT_EQ(CommandLength(opcode), group.sent);
            EXPECT_EQ(ReceivedCommandLength(opcode), group.received);
            std::array<uint8_t, 16> cdb{opcode};
            ASSERT_EQ(ExecScsiCommand(0, 0, cdb, {}), 1);
            ASSERT_EQ(layer.requests.size(), ++sent);
            EXPECT_EQ(layer.requests.back().srb.SRB_CDBLen, group.sent)
                << "as the transport sends it";
        }
    }
    EXPECT_EQ(sent, 256u) << "the groups cover every operation code once";
    UnloadAspi();
}

std::vector<uint8_t> Bytes(std::span<const uint8_t> cdb) {
    return {cdb.begin(), cdb.end()};
}

TEST(CommandBlocks, EachBuilderSetsItsCommandsBytes) {
    struct Row {
        std::string name;
        std::vector<uint8_t> built;
        std::vector<uint8_t> expected;
    };
    const Row rows[] = {
        {"INQUIRY, 56 bytes", Bytes(InquiryCdb(56)), {0x12, 0, 0, 0, 0x38, 0}},
        {"READ SUB-CHANNEL as the poll asks",
         Bytes(ReadPositionCdb()),
         {0x42, 0, 0x40, 0x01, 0, 0, 0, 0, 0x10, 0}},
        {"STOP PLAY/SCAN", Bytes(StopPlayScanCdb()), {0x4E, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"SEEK(10) to an address above 24 bits",
         Bytes(SeekCdb(0x12345678)),
         {0x2B, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 0, 0}},
        {"PLAY AUDIO(12) from the first pregap, all 32 bits",
         Bytes(PlayAudio12Cdb(static_cast<uint32_t>(-150), 300)),
         {0xA5, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0, 0x01, 0x2C, 0, 0}},
        {"PLAY AUDIO MSF from LBA 0 (00:02:00) up to 60:00:00",
         Bytes(PlayAudioMsfCdb(0, 60 * kFramesPerMinute - kMsfLbaOffset)),
         {0x47, 0, 0, 0x00, 0x02, 0x00, 0x3C, 0x00, 0x00, 0}},
        {"READ CD of 27 CD-DA frames",
         Bytes(ReadCdCdb(0x12345, 27)),
         {0xBE, 0x04, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x1B, 0x10, 0, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.built, row.expected) << row.name;
        EXPECT_EQ(row.built.size(), static_cast<size_t>(CommandLength(row.built[0]))) << row.name;
    }
}

} // namespace
