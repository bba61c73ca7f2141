// Test helper: a scratch folder with cue sheets and the audio and data files they name. Sample
// data is left sparse (zeros), so long files cost nothing.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

class ImageFolder {
public:
    ImageFolder() {
        static std::atomic<int> counter{0};
        // Another run of the same suite (another build folder, another checkout) may be making
        // the folder of the same test at the same moment: the run's own number keeps them apart.
        static const unsigned run = std::random_device{}();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("vdrive_images_" + std::string(test != nullptr ? test->name() : "x") + "_" +
                 std::to_string(run) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ImageFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ImageFolder(const ImageFolder&) = delete;
    ImageFolder& operator=(const ImageFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return Path(name);
    }

    // Raw sectors: `bytes` zeros.
    void Raw(const std::string& name, uint64_t bytes) const {
        Write(name, "");
        std::filesystem::resize_file(path_ / name, bytes);
    }

    // A WAV file of `frames` CD frames; `listChunk` puts a LIST chunk between fmt and data.
    void Wav(const std::string& name, uint32_t frames, bool listChunk = false,
             uint32_t rate = 44100, uint16_t bits = 16, uint16_t channels = 2) const {
        const uint32_t dataBytes = frames * 2352;
        const std::string header = WavHeader(dataBytes, listChunk, rate, bits, channels);
        Write(name, header);
        std::filesystem::resize_file(path_ / name, header.size() + dataBytes);
    }

    // A WAV file of CD audio holding `samples`: 16-bit stereo, left then right.
    void Wav(const std::string& name, std::span<const int16_t> samples) const {
        std::string data;
        for (const int16_t sample : samples) {
            Le16(data, static_cast<uint16_t>(sample));
        }
        Write(name, WavHeader(static_cast<uint32_t>(data.size()), false, 44100, 16, 2) + data);
    }

    // A FLAC file that announces `frames` CD frames in its STREAMINFO (no audio frames follow).
    void Flac(const std::string& name, uint32_t frames) const {
        const uint64_t samples = uint64_t{frames} * 588;
        std::string info = {'\x10', '\x00', '\x10', '\x00', 0, 0, 0, 0, 0, 0};
        info += {'\x0A', '\xC4', '\x42', static_cast<char>(0xF0 | (samples >> 32))};
        std::string count;
        Le32(count, static_cast<uint32_t>(samples));
        info += {count[3], count[2], count[1], count[0]};
        info += std::string(16, '\0'); // MD5
        Write(name, std::string("fLaC") + '\x80' + std::string("\0\0\x22", 3) + info);
    }

private:
    static std::string WavHeader(uint32_t dataBytes, bool listChunk, uint32_t rate, uint16_t bits,
                                 uint16_t channels) {
        std::string fmt;
        Le16(fmt, 1);
        Le16(fmt, channels);
        Le32(fmt, rate);
        Le32(fmt, rate * channels * bits / 8);
        Le16(fmt, static_cast<uint16_t>(channels * bits / 8));
        Le16(fmt, bits);
        std::string body = "WAVE" + Chunk("fmt ", fmt);
        if (listChunk) {
            std::string info = "INFOISFT";
            Le32(info, 7);
            info.append("Tester", 7);
            body += Chunk("LIST", info); // 19 bytes: an odd size, padded
        }
        body += "data";
        Le32(body, dataBytes);
        std::string file = "RIFF";
        Le32(file, static_cast<uint32_t>(body.size()) + dataBytes);
        return file + body;
    }
    static void Le16(std::string& out, uint32_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    }
    static void Le32(std::string& out, uint32_t v) {
        Le16(out, v & 0xFFFF);
        Le16(out, v >> 16);
    }
    static std::string Chunk(const char* id, const std::string& payload) {
        std::string chunk(id, 4);
        Le32(chunk, static_cast<uint32_t>(payload.size()));
        chunk += payload;
        if (payload.size() % 2 != 0) {
            chunk += '\0';
        }
        return chunk;
    }

    std::filesystem::path path_;
};
