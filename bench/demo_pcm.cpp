// The sound `discolo --demo` plays first, as raw PCM (44.1 kHz, 16-bit little-endian stereo): the
// demo bus is set up as discolo sets it up, and SECONDS of the disc in its playing drive, from
// where that drive plays, are read with READ CD through the virtual drive, as the digital play
// reads them. The benchmark plays this file with paplay beside discolo's own play.
//
//   demo_pcm SECONDS FILE
#include "drive/aspi_request.h"
#include "drive/audio_status.h"
#include "drive/command_blocks.h"
#include "drive/inquiry.h"
#include "platform/module.h"
#include "vdrive/bus.h"
#include "vdrive/demo_bus.h"
#include "vdrive/demo_discs.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int32_t kChunkFrames = 75; // one second
constexpr size_t kFrameBytes = 2352;

int Fail(const std::string& message) {
    std::fprintf(stderr, "demo_pcm: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const long seconds = argc == 3 ? std::strtol(argv[1], &end, 10) : 0;
    if (argc != 3 || *end != '\0' || seconds <= 0 || seconds > 3600) {
        std::fprintf(stderr, "usage: demo_pcm SECONDS FILE\n");
        return 2;
    }
    vdrive::ManualClock clock; // the play stays where it starts while it is read
    vdrive::Bus bus(clock);
    vdrive::PopulateDemoBus(bus, vdrive::DemoCdTextDisc(), vdrive::DemoMixedDisc());
    bus.Install();
    const std::optional<AspiLibrary> library = OpenAspiLibrary();
    if (!library) {
        return Fail("the demo bus does not answer");
    }

    for (int adapter = 0; adapter < vdrive::Bus::kMaxAdapters; ++adapter) {
        for (int target = 0; target < kTargetsPerAdapter; ++target) {
            const vdrive::CdromDrive* drive = bus.DriveAt(adapter, target);
            if (!drive || drive->AudioStatus() != kAudioStatusPlaying) {
                continue;
            }
            std::FILE* out = std::fopen(argv[2], "wb");
            if (!out) {
                return Fail(std::string("cannot write ") + argv[2]);
            }
            std::vector<uint8_t> frames(size_t{kChunkFrames} * kFrameBytes);
            int32_t lba = drive->Position();
            for (long second = 0; second < seconds; ++second, lba += kChunkFrames) {
                const Cdb12 readCd = ReadCdCdb(static_cast<uint32_t>(lba), kChunkFrames);
                if (!SendCommandBlock(library->entries.sendCommand, adapter, target, readCd, frames)
                         .Ok() ||
                    std::fwrite(frames.data(), 1, frames.size(), out) != frames.size()) {
                    std::fclose(out);
                    return Fail("READ CD failed at " + std::to_string(lba));
                }
            }
            CloseModule(library->module);
            return std::fclose(out) == 0 ? 0 : Fail(std::string("cannot write ") + argv[2]);
        }
    }
    return Fail("no demo drive plays");
}
