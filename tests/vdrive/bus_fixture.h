// A virtual bus on a hand-moved clock, installed as the ASPI layer, and a way to send raw
// command blocks that shows everything the bus wrote back (status, target status, sense area).
#pragma once

#include "drive/aspi.h"
#include "vdrive/bus.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace vdrive {
inline void PrintTo(const Sense& sense, std::ostream* out) {
    *out << std::hex << int{sense.key} << "/" << int{sense.asc} << "/" << int{sense.ascq};
}
} // namespace vdrive

namespace vdrive_test {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
    Bytes bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}

// What came back from one request.
struct Sent {
    uint8_t status = 0;
    uint8_t targetStatus = 0;
    uint8_t haStatus = 0;
    Bytes data; // the first `transferred` bytes of the buffer
    std::array<uint8_t, 16> senseArea{};

    Sense sense() const {
        return {static_cast<uint8_t>(senseArea[2] & 0x0F), senseArea[12], senseArea[13]};
    }
};

constexpr uint8_t kUntouched = 0xEE;

// Command blocks the tests send, one line each.
inline Bytes ReadTocCdb(int msf, int format, int track, int alloc, int control = 0) {
    return B({0x43, msf << 1, format, 0, 0, 0, track, alloc >> 8, alloc & 0xFF, control});
}
inline Bytes SubChannelCdb(int msf, int subQ, int format, int alloc = 16, int track = 0) {
    return B({0x42, msf << 1, subQ << 6, format, 0, 0, track, alloc >> 8, alloc & 0xFF, 0});
}
inline Bytes Play10Cdb(int32_t lba, int length) {
    auto u = static_cast<uint32_t>(lba);
    return B({0x45, 0, int(u >> 24), int(u >> 16 & 0xFF), int(u >> 8 & 0xFF), int(u & 0xFF), 0,
              length >> 8, length & 0xFF, 0});
}
inline Bytes Play12Cdb(int32_t lba, uint32_t length) {
    auto u = static_cast<uint32_t>(lba);
    return B({0xA5, 0, int(u >> 24), int(u >> 16 & 0xFF), int(u >> 8 & 0xFF), int(u & 0xFF),
              int(length >> 24), int(length >> 16 & 0xFF), int(length >> 8 & 0xFF),
              int(length & 0xFF), 0, 0});
}
inline Bytes PlayMsfCdb(int m1, int s1, int f1, int m2, int s2, int f2) {
    return B({0x47, 0, 0, m1, s1, f1, m2, s2, f2, 0});
}
inline Bytes SeekCdb(int32_t lba) {
    auto u = static_cast<uint32_t>(lba);
    return B({0x2B, 0, int(u >> 24), int(u >> 16 & 0xFF), int(u >> 8 & 0xFF), int(u & 0xFF), 0, 0,
              0, 0});
}
inline Bytes PauseCdb() {
    return B({0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}
inline Bytes ResumeCdb() {
    return B({0x4B, 0, 0, 0, 0, 0, 0, 0, 1, 0});
}
inline Bytes StopCdb() {
    return B({0x4E, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}
inline Bytes StartStopCdb(int byte4) {
    return B({0x1B, 0, 0, 0, byte4, 0});
}
inline Bytes TurCdb() {
    return B({0x00, 0, 0, 0, 0, 0});
}
inline Bytes SenseCdb(int alloc = 18) {
    return B({0x03, 0, 0, 0, alloc, 0});
}
inline Bytes InquiryCdb(int alloc = 56) {
    return B({0x12, 0, 0, 0, alloc, 0});
}
// READ CD: expected sector type, start, length in frames, main-channel selection, sub-channel.
inline Bytes ReadCdCdb(int type, int32_t lba, uint32_t frames, int selection = 0x10,
                       int subChannel = 0) {
    auto u = static_cast<uint32_t>(lba);
    return B({0xBE, type << 2, int(u >> 24), int(u >> 16 & 0xFF), int(u >> 8 & 0xFF), int(u & 0xFF),
              int(frames >> 16 & 0xFF), int(frames >> 8 & 0xFF), int(frames & 0xFF), selection,
              subChannel, 0});
}
inline Bytes CapacityCdb() {
    return B({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

// Two audio tracks, the second at LBA 20000, lead-out at 40000.
inline vdrive::DiscImage TwoTrackDisc() {
    return vdrive::MakeAudioDisc({0, 20000}, 40000);
}

class VirtualBus : public ::testing::Test {
protected:
    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};

    void SetUp() override {
        bus.Install();
        ASSERT_NE(LoadAspi(), 0u);
    }
    void TearDown() override { UnloadAspi(); }

    // Sends `cdb` as an execute request with a `length`-byte buffer. Bytes past the buffer and
    // past the sense length are watched: the bus must never write them.
    Sent Send(int adapter, int target, const Bytes& cdb, uint32_t length = 0,
              uint8_t senseLength = SENSE_LEN) {
        std::vector<uint8_t> buffer(length + 32, kUntouched);
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = static_cast<uint8_t>(adapter);
        srb.SRB_Target = static_cast<uint8_t>(target);
        srb.SRB_Flags = SRB_DIR_IN;
        srb.SRB_BufLen = length;
        srb.SRB_BufPointer = length ? buffer.data() : nullptr;
        srb.SRB_SenseLen = senseLength;
        srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), std::min<size_t>(cdb.size(), 16));
        std::memset(srb.SenseArea, kUntouched, sizeof srb.SenseArea);
        bus.SendCommand(&srb);

        Sent sent{srb.SRB_Status, srb.SRB_TargStat, srb.SRB_HaStat, {}, {}};
        std::memcpy(sent.senseArea.data(), srb.SenseArea, sizeof srb.SenseArea);
        const uint32_t transferred = bus.Log().empty() ? 0 : bus.Log().back().transferred;
        EXPECT_LE(transferred, length);
        sent.data.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(transferred));
        for (size_t i = transferred; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], kUntouched) << "written past the answer at byte " << i;
        }
        for (size_t i = std::min<size_t>(senseLength, 16); i < 16; ++i) {
            EXPECT_EQ(sent.senseArea[i], kUntouched) << "sense written past SRB_SenseLen at " << i;
        }
        return sent;
    }

    // The sense that REQUEST SENSE reports now (and so clears).
    Sense RequestedSense(int adapter, int target) {
        const Sent sent = Send(adapter, target, SenseCdb(), 18);
        EXPECT_EQ(sent.status, SS_COMP);
        EXPECT_EQ(sent.data.size(), 18u);
        if (sent.data.size() < 18) {
            return {};
        }
        return {static_cast<uint8_t>(sent.data[2] & 0x0F), sent.data[12], sent.data[13]};
    }
};

} // namespace vdrive_test
