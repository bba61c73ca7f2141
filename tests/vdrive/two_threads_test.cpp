// Two threads on one bus, as the window and the digital play layer's reader use it: one polls the
// position and plays, pauses and resumes, the other reads audio, while the test moves the clock
// and the tray. Every answer must be whole and right; ThreadSanitizer (`make tsan`) watches the
// rest.
#include "tests/support/pattern_frames.h"
#include "tests/vdrive/bus_fixture.h"

#include "drive/big_endian.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vdrive_test {
namespace {

using namespace vdrive;

constexpr int32_t kLeadOut = 40000;
constexpr uint32_t kChunk = 27;

// One request through the bus's ASPI entry; the sense comes with the request, as autosense.
Sense Submit(Bus& bus, const Bytes& cdb, std::span<uint8_t> data, uint8_t& status) {
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Target = 3;
    srb.SRB_BufLen = static_cast<uint32_t>(data.size());
    srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
    std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
    status = static_cast<uint8_t>(bus.SendCommand(&srb));
    return {static_cast<uint8_t>(srb.SenseArea[2] & 0x0F), srb.SenseArea[12], srb.SenseArea[13]};
}

// Failures a command may meet while the user works the tray (or, for PAUSE and RESUME, after
// the tray stopped the play).
bool Expected(uint8_t status, const Sense& sense) {
    return status == SS_COMP || sense == kSenseNoMediumTrayOpen ||
           sense == kSenseMediumMayHaveChanged || sense == kSenseCommandSequenceError;
}

TEST(TwoThreadsOnTheBus, PollingPlayingAndReadingAtOnceGiveWholeAnswers) {
    ManualClock clock;
    Bus bus(clock);
    CdromDrive& drive = bus.AddDrive(0, 3, MakeAudioDisc({0, 20000}, kLeadOut));
    // Each thread goes on until it has had this many whole answers (failures while the tray
    // moves do not count), within a time that only a hang reaches.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto goOn = [deadline](int done, int wanted) {
        return done < wanted && std::chrono::steady_clock::now() < deadline;
    };
    std::atomic<int> running{2};
    std::atomic<int> readAttempts{0};
    std::vector<std::string> windowProblems, readerProblems; // each thread writes its own
    int polls = 0;
    int reads = 0;

    std::thread window([&] {
        std::array<uint8_t, 16> answer{};
        uint8_t status = 0;
        for (int i = 0; goOn(polls, 1000); ++i) {
            const int32_t start = i * 997 % (kLeadOut - 100);
            const Bytes commands[] = {Play12Cdb(start, static_cast<uint32_t>(kLeadOut - start)),
                                      PauseCdb(), ResumeCdb()};
            if (i % 2 == 1) {
                const Sense sense = Submit(bus, commands[i / 2 % 3], {}, status);
                if (!Expected(status, sense)) {
                    windowProblems.push_back("command " + std::to_string(i) + " failed");
                }
                continue;
            }
            answer.fill(0xEE);
            const Sense sense = Submit(bus, SubChannelCdb(0, 1, 1), answer, status);
            if (status != SS_COMP) {
                if (!Expected(status, sense)) {
                    windowProblems.push_back("poll " + std::to_string(i) + " failed");
                }
                continue;
            }
            ++polls;
            const auto lba = static_cast<int32_t>(ReadBe32(answer, 8));
            if (answer[0] != 0x00 || answer[1] < 0x11 || answer[1] > 0x15 ||
                ReadBe16(answer, 2) != 12 || answer[4] != 0x01 || answer[6] < 1 || answer[6] > 2 ||
                lba < -150 || lba >= kLeadOut) {
                windowProblems.push_back("poll " + std::to_string(i) + ": status " +
                                         std::to_string(answer[1]) + " lba " + std::to_string(lba));
            }
        }
        --running;
    });

    std::thread reader([&] {
        std::vector<uint8_t> frames(kChunk * kFrameBytes);
        uint8_t status = 0;
        for (int i = 0; goOn(reads, 150); ++i, ++readAttempts) {
            const int32_t lba = i * 131 % (kLeadOut - static_cast<int32_t>(kChunk));
            const Sense sense = Submit(bus, ReadCdCdb(1, lba, kChunk), frames, status);
            if (status == SS_COMP) {
                ++reads;
                const std::string mismatch = PatternMismatch(frames, lba);
                if (!mismatch.empty()) {
                    readerProblems.push_back("read at " + std::to_string(lba) + ": " + mismatch);
                }
            } else if (!Expected(status, sense)) {
                readerProblems.push_back("read at " + std::to_string(lba) + " failed");
            } else {
                std::this_thread::yield(); // let the user close the tray
            }
        }
        --running;
    });

    // The user's side meanwhile: time passes, and every 25 reads the tray opens and closes again
    // (counted in reads, not in time, so that a slow build does not spend its run with it open).
    for (int nextCycle = 25; running > 0; std::this_thread::yield()) {
        clock.Advance(7);
        if (readAttempts >= nextCycle) {
            drive.OpenTray();
            std::this_thread::yield();
            drive.CloseTray();
            nextCycle += 25;
        }
    }
    window.join();
    reader.join();

    EXPECT_EQ(windowProblems, std::vector<std::string>{});
    EXPECT_EQ(readerProblems, std::vector<std::string>{});
    EXPECT_EQ(polls, 1000);
    EXPECT_EQ(reads, 150);
    EXPECT_EQ(bus.CountCommands(0xBE), static_cast<size_t>(readAttempts.load()))
        << "every request logged";
}

} // namespace
} // namespace vdrive_test
