// A cue image read from two threads at once, as the play layer's reader and a ripper or a second
// drive holding a copy of the image read it: more files than stay open, so files are closed and
// opened again under both. Every read must be whole and right; ThreadSanitizer watches the rest.
#include "vdrive/cue_sheet.h"

#include "tests/support/image_files.h"
#include "tests/support/pattern_frames.h"

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kFiles = 6;
constexpr int32_t kFileFrames = 40;

TEST(SheetAudioThreads, TwoReadersAcrossManyFilesGetTheirFramesWhole) {
    ImageFolder folder;
    std::string sheet;
    for (int f = 0; f < kFiles; ++f) {
        // Every file holds the test pattern of the frames it covers on the disc: WAV and raw
        // files in turn.
        std::vector<uint8_t> frames(kFileFrames * vdrive::kFrameBytes);
        vdrive::PatternSource().ReadFrames(f * kFileFrames, frames);
        const std::string number = std::to_string(f + 1);
        const bool wav = f % 2 == 0;
        const std::string name = "track" + number + (wav ? ".wav" : ".bin");
        if (wav) {
            folder.Wav(name, kFileFrames);
        }
        std::fstream file(folder.Path(name), std::ios::binary | std::ios::in | std::ios::out |
                                                 (wav ? std::ios::openmode{} : std::ios::trunc));
        file.seekp(wav ? 44 : 0); // after the header Wav() writes
        file.write(reinterpret_cast<const char*>(frames.data()),
                   static_cast<std::streamsize>(frames.size()));
        sheet += "FILE \"" + name + "\" " + (wav ? "WAVE" : "BINARY") + "\nTRACK 0" + number +
                 " AUDIO\nINDEX 01 00:00:00\n";
    }
    vdrive::DiscImage disc;
    std::string error;
    ASSERT_TRUE(vdrive::LoadCueSheet(folder.Write("disc.cue", sheet), disc, error)) << error;
    ASSERT_EQ(disc.leadOut, kFiles * kFileFrames);

    // One reader runs through the disc forwards, the other backwards, in chunks that straddle
    // files; each counts its bad reads.
    int bad[2] = {0, 0};
    const auto reader = [&](int which) {
        std::vector<uint8_t> chunk(27 * vdrive::kFrameBytes);
        for (int round = 0; round < 20; ++round) {
            for (int32_t step = 0; step + 27 <= disc.leadOut; step += 23) {
                const int32_t lba = which == 0 ? step : disc.leadOut - 27 - step;
                bad[which] +=
                    !disc.audio->ReadFrames(lba, chunk) || !PatternMismatch(chunk, lba).empty();
            }
        }
    };
    std::thread second(reader, 1);
    reader(0);
    second.join();
    EXPECT_EQ(bad[0], 0);
    EXPECT_EQ(bad[1], 0);
}

} // namespace
