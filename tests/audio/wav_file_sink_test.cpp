// The WAV file output: real-time pacing from a feed, and a header that is whole while the file
// grows and when it closes (discolo's own test runs it end to end, refusal included).
#include "audio/wav_file_sink.h"
#include "drive/big_endian.h"
#include "tests/support/pattern_frames.h"
#include "tests/support/wav_file_check.h"
#include "vdrive/audio_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace {

// A drive's feed that plays `frames` frames of the test pattern from LBA 0, then ends.
class PatternFeed final : public audio::PcmFeed {
public:
    explicit PatternFeed(int32_t frames) : end_(frames) {}
    uint64_t Play() const override {
        const std::lock_guard lock(mutex_);
        return next_ < end_ ? 1 : 0;
    }
    size_t Take(uint64_t, std::span<uint8_t> frames, std::chrono::milliseconds) override {
        const std::lock_guard lock(mutex_);
        const auto count =
            std::min<int64_t>(static_cast<int64_t>(frames.size() / 2352), end_ - next_);
        source_.ReadFrames(next_, frames.first(static_cast<size_t>(count) * 2352));
        next_ += static_cast<int32_t>(count);
        return static_cast<size_t>(count);
    }
    void Heard(uint64_t, size_t, bool) override {}
    bool Playing() const { return Play() != 0; }

private:
    vdrive::PatternSource source_;
    mutable std::mutex mutex_;
    int32_t next_ = 0;
    const int32_t end_;
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WavFileOutput, WritesWhatItTakesInRealTimeWithAHeaderWholeAtEveryMoment) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("discolo-wav-" + std::to_string(::getpid()) + ".wav");
    std::string error;
    auto output = audio::WavFileOutput::Open(path.string(), error);
    ASSERT_TRUE(output) << error;
    PatternFeed feed(45); // 0.6 s
    std::unique_ptr<audio::AudioSink> sink = output->Factory()(feed);
    const auto started = std::chrono::steady_clock::now();
    sink->Wake();
    std::string whileGrowing;
    while (feed.Playing() &&
           std::chrono::steady_clock::now() - started < std::chrono::seconds(10)) {
        if (output->FramesWritten() > 0 && whileGrowing.empty()) {
            whileGrowing = "checked: " + WavProblem(ReadFile(path));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500))
        << "45 frames take 0.6 s to hear";
    sink.reset();
    output.reset();
    EXPECT_EQ(whileGrowing, "checked: ");
    const std::vector<uint8_t> file = ReadFile(path);
    EXPECT_EQ(WavProblem(file), "");
    EXPECT_EQ(PatternMismatch(std::span<const uint8_t>(file).subspan(44), 0), "");
    EXPECT_EQ(file.size(), 44u + 45 * 2352);
    std::filesystem::remove(path);
}

} // namespace
