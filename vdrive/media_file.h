// The files a cue sheet names: what they hold, how long they are, and their audio read back as
// CD frames. Audio files (WAV, AIFF, FLAC, Ogg ...) are decoded by libsndfile, MPEG audio (MP3)
// by libmpg123; BINARY and MOTOROLA files are raw sectors.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

struct sf_private_tag;       // libsndfile's SNDFILE
struct mpg123_handle_struct; // libmpg123's mpg123_handle

namespace vdrive {

struct MediaFileContent {
    uint64_t bytes = 0;        // raw: the file's bytes; decoded: its audio as 16-bit stereo
    bool decodedAudio = false; // audio decoded: 2352 bytes a frame whatever the track type says
    bool mpeg = false;         // decoded: MPEG audio, which libmpg123 decodes
    bool bigEndian = false;    // raw MOTOROLA: 16-bit samples high byte first
    int channels = 2;          // decoded: 1 (played on both sides) or 2
};

// `fileType` is the type the sheet gives (BINARY, MOTOROLA, WAVE, AIFF, MP3, FLAC). The content
// decides how the file is read: a WAV file stays a WAV file whatever the sheet calls it, and a
// BINARY or MOTOROLA file that is no audio file is raw sectors. Audio must be 44100 Hz, stereo
// or mono. Returns false with a short reason (to follow the file's name) otherwise.
bool MeasureMediaFile(const std::filesystem::path& path, const std::string& fileType,
                      MediaFileContent& content, std::string& problem);

// Reads one file as it was measured: raw bytes, or decoded audio as CD-DA (stereo 16-bit
// little-endian). Opens the file on first use and keeps it open until Close(). One thread at a
// time: the owner guards it.
class MediaFileReader {
public:
    MediaFileReader(std::filesystem::path path, const MediaFileContent& content);
    ~MediaFileReader();
    MediaFileReader(const MediaFileReader&) = delete;
    MediaFileReader& operator=(const MediaFileReader&) = delete;

    // Fills `into` from byte `offset` of the file's audio (raw bytes as they lie, MOTOROLA audio
    // swapped to little-endian). Bytes past the measured length read as silence: a last frame
    // cut short is filled up. False when the file cannot be opened, no longer holds what was
    // measured, or gives fewer bytes than it held; the file is then closed, to be opened afresh
    // on the next read.
    bool Read(uint64_t offset, std::span<uint8_t> into);

    bool IsOpen() const { return sound_ != nullptr || mpeg_ != nullptr || raw_.is_open(); }
    void Close();

private:
    bool Open();
    bool ReadDecoded(uint64_t offset, std::span<uint8_t> into);
    bool Decode(int64_t first, int64_t count); // into samples_, as floats
    bool ReadRaw(uint64_t offset, std::span<uint8_t> into);

    std::filesystem::path path_;
    MediaFileContent content_;
    sf_private_tag* sound_ = nullptr;
    mpg123_handle_struct* mpeg_ = nullptr;
    std::ifstream raw_;
    int64_t position_ = 0; // decoded: the next sample frame the decoder gives
    std::vector<float> samples_;
};

} // namespace vdrive
