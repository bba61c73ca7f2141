// The sound written to a WAV file instead of the sound card (--audio-file), in real time: the
// file takes 75 frames a second from the drives that play, so the window moves as it would with
// a sound card. Frames of several drives that play at once are mixed. The header's sizes are
// written as the file grows, so the file is a valid WAV file at every moment (but for the last
// write when the program is killed), and once more when the output closes. When the file can
// take no more (a full disk), it keeps the whole frames it holds, says so once, and the play
// goes on unheard.
#pragma once

#include "audio/audio_sink.h"
#include "audio/pump.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace audio {

class WavFileOutput {
public:
    // Told why the file stops growing, in one line without the program's name; called on the
    // output's own thread.
    using Notice = std::function<void(const std::string& line)>;

    // Creates (or empties) the file; nullptr with the reason in one line, naming the file, when
    // it cannot be written.
    static std::unique_ptr<WavFileOutput> Open(const std::string& path, std::string& error,
                                               Notice notice = {});
    ~WavFileOutput(); // stops taking, writes the header's final sizes and closes the file
    WavFileOutput(const WavFileOutput&) = delete;
    WavFileOutput& operator=(const WavFileOutput&) = delete;

    // Sinks that feed this file, one per drive.
    SinkFactory Factory();

    uint64_t FramesWritten() const;

private:
    class Sink;
    class File; // the pump's one channel: the frames it is given go to the end of the file
    WavFileOutput(std::FILE* file, std::string path, Notice notice);
    void Write(std::span<const uint8_t> frames);
    int WriteSizes(); // 0, or the error of the write that failed
    void StopGrowing(const std::string& reason);

    std::FILE* const file_;
    const std::string path_;
    const Notice notice_;
    mutable std::mutex mutex_;   // guards framesWritten_ and full_ (written on the pump's thread)
    uint64_t framesWritten_ = 0; // whole frames in the file, as its header says
    bool full_ = false;          // the file takes no more: what plays is not written
    Pump pump_;                  // on pacer_: takes from every drive that plays, 75 frames a second
    Pump::ChannelId channel_ = 0;
    std::thread pacer_;
};

} // namespace audio
