// Two threads on one bus, as the window and the digital play layer's reader use it: one polls the
// position and plays, pauses and resumes, the other reads audio, while the test moves the clock
// and the tray. Every answer must be whole and right; ThreadSanitizer (`make tsan`) watches the
// rest.
#include "tests/support/pattern_frames.h"
#include "vdrive/bus.h"

#include "drive/big_endian.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vdrive;

constexpr int kAdapter = 0;
constexpr int kTarget = 3;
constexpr int32_t kLeadOut = 40000;
constexpr int32_t kChunk = 27;
// Each thread goes on until it has had this many whole answers (failures while the tray moves do
// not count), within a time that only a hang reaches.
constexpr int kPolls = 1000;
constexpr int kReads = 150;
constexpr auto kTimeLimit = std::chrono::seconds(30);

struct Outcome {
    uint8_t status = 0;
    Sense sense;
};

// One request through the bus's ASPI entry, its sense taken from the request itself.
Outcome Submit(Bus& bus, std::vector<uint8_t> cdb, std::span<uint8_t> data) {
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = kAdapter;
    srb.SRB_Target = kTarget;
    srb.SRB_Flags = SRB_DIR_IN;
    srb.SRB_BufLen = static_cast<uint32_t>(data.size());
    srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
    std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
    bus.SendCommand(&srb);
    Outcome outcome{srb.SRB_Status, {}};
    if (srb.SRB_TargStat == STATUS_CHKCOND) {
        outcome.sense = {static_cast<uint8_t>(srb.SenseArea[2] & 0x0F), srb.SenseArea[12],
                         srb.SenseArea[13]};
    }
    return outcome;
}

// What a command may meet while the test works the tray.
bool TrayMoved(const Outcome& outcome) {
    return outcome.status == SS_ERR &&
           (outcome.sense == kSenseNoMediumTrayOpen || outcome.sense == kSenseMediumMayHaveChanged);
}

std::vector<uint8_t> Cdb(std::initializer_list<int> bytes) {
    std::vector<uint8_t> cdb;
    for (int b : bytes) {
        cdb.push_back(static_cast<uint8_t>(b));
    }
    return cdb;
}

TEST(TwoThreadsOnTheBus, PollingPlayingAndReadingAtOnceGiveWholeAnswers) {
    ManualClock clock;
    Bus bus(clock);
    CdromDrive& drive = bus.AddDrive(kAdapter, kTarget, MakeAudioDisc({0, 20000}, kLeadOut));
    std::atomic<int> running{2};
    std::atomic<int> readerAttempts{0};
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    auto inTime = [deadline] { return std::chrono::steady_clock::now() < deadline; };
    std::vector<std::string> windowProblems; // each thread writes only its own list
    std::vector<std::string> readerProblems;
    int polls = 0;
    int reads = 0;

    std::thread window([&] {
        std::array<uint8_t, 16> answer{};
        for (int i = 0; polls < kPolls && inTime(); ++i) {
            const auto start = static_cast<uint32_t>(i * 997 % (kLeadOut - 100));
            const int op = i % 6;
            Outcome outcome;
            if (op == 0) { // PLAY AUDIO(12) to the end of the disc
                const uint32_t length = static_cast<uint32_t>(kLeadOut) - start;
                outcome = Submit(
                    bus,
                    Cdb({0xA5, 0, 0, int(start >> 16), int(start >> 8 & 0xFF), int(start & 0xFF), 0,
                         int(length >> 16), int(length >> 8 & 0xFF), int(length & 0xFF), 0, 0}),
                    {});
            } else if (op == 2 || op == 4) { // PAUSE, RESUME
                outcome = Submit(bus, Cdb({0x4B, 0, 0, 0, 0, 0, 0, 0, op == 4 ? 1 : 0, 0}), {});
                if (outcome.sense == kSenseCommandSequenceError) {
                    continue; // nothing to pause or resume: the tray stopped the play
                }
            } else { // READ SUB-CHANNEL as the position poll sends it
                answer.fill(0xEE);
                outcome = Submit(bus, Cdb({0x42, 0, 0x40, 0x01, 0, 0, 0, 0, 16, 0}), answer);
                if (outcome.status == SS_COMP) {
                    ++polls;
                    const auto lba = static_cast<int32_t>(ReadBe32(answer, 8));
                    if (answer[0] != 0x00 || answer[1] < 0x11 || answer[1] > 0x15 ||
                        ReadBe16(answer, 2) != 12 || answer[4] != 0x01 ||
                        (answer[6] != 1 && answer[6] != 2) || lba < -150 || lba >= kLeadOut) {
                        windowProblems.push_back(
                            "poll " + std::to_string(i) + ": status " + std::to_string(answer[1]) +
                            " track " + std::to_string(answer[6]) + " lba " + std::to_string(lba));
                    }
                    continue;
                }
            }
            if (outcome.status != SS_COMP && !TrayMoved(outcome)) {
                windowProblems.push_back("command " + std::to_string(i) + " failed");
            }
        }
        --running;
    });

    std::thread reader([&] {
        std::vector<uint8_t> frames(size_t{kChunk} * kFrameBytes);
        for (int i = 0; reads < kReads && inTime(); ++i) {
            const auto lba = static_cast<int32_t>(i * 131 % (kLeadOut - kChunk));
            const auto u = static_cast<uint32_t>(lba);
            const Outcome outcome = Submit(bus,
                                           Cdb({0xBE, 0x04, 0, int(u >> 16), int(u >> 8 & 0xFF),
                                                int(u & 0xFF), 0, 0, int(kChunk), 0x10, 0, 0}),
                                           frames);
            if (outcome.status == SS_COMP) {
                ++reads;
                const std::string mismatch = PatternMismatch(frames, lba);
                if (!mismatch.empty()) {
                    readerProblems.push_back("read at " + std::to_string(lba) + ": " + mismatch);
                }
            } else if (!TrayMoved(outcome)) {
                readerProblems.push_back("read at " + std::to_string(lba) + " failed");
            } else {
                std::this_thread::yield(); // let the user close the tray
            }
            ++readerAttempts;
        }
        --running;
    });

    // The user's side meanwhile: time passes, and every 25 reads the tray opens and closes again
    // (counted in reads, not in time, so that a slow build does not spend its run with the tray
    // open).
    for (int nextCycle = 25; running > 0;) {
        clock.Advance(7);
        if (readerAttempts >= nextCycle) {
            drive.OpenTray();
            std::this_thread::yield();
            drive.CloseTray();
            nextCycle += 25;
        }
        std::this_thread::yield();
    }
    window.join();
    reader.join();

    EXPECT_EQ(windowProblems, std::vector<std::string>{});
    EXPECT_EQ(readerProblems, std::vector<std::string>{});
    EXPECT_EQ(polls, kPolls);
    EXPECT_EQ(reads, kReads);
    EXPECT_EQ(bus.CountCommands(0xBE), static_cast<size_t>(readerAttempts.load()))
        << "every request logged";
}

} // namespace
