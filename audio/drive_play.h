// One drive under the digital play layer. It takes over the commands that make the drive play and
// plays the disc itself: a reader thread reads the audio with READ CD ahead of the sound output
// into a bounded buffer, the sink takes it from there (this is its PcmFeed), and the play model
// moves by what the sink's output has played, so the position the window polls is what has been
// heard.
//
// What it does with each request, by the drive's mode for the disc in it:
//   Undecided (no digital play yet on this disc): everything passes through, except a PLAY that
//     starts a play, which makes the mode Digital (the drive's own play is stopped first).
//   Digital: PLAY AUDIO(10)/(12)/MSF, PAUSE/RESUME, STOP PLAY/SCAN and SEEK(10) are answered from
//     the play model, with the sense a drive would give for a refusal (and REQUEST SENSE reports
//     it once); READ SUB-CHANNEL of the current position (and its bare header) is answered from
//     the model, its track, index and relative address from the Q sub-channel that READ CD
//     delivered with the frame at the head (from the table of contents where the drive delivers
//     none that holds up); the catalogue number and an ISRC are answered from the Q frames that
//     carried them, and passed through until one did; START STOP UNIT ends the play and passes
//     through; the rest passes through.
// While a play runs the drive is asked to read slowly (audio/speed_policy.h); the PCM goes to the
// sink through a stage that de-emphasises the tracks mastered with pre-emphasis (their CONTROL in
// the table of contents or in the Q sub-channel says so) and sets the volume (audio/pcm_stage.h).
//   Analog (the drive cannot read its audio: READ CD refused, or the first reads failed): every
//     request passes through, so the drive plays on its own audio path, until the disc changes.
// A changed disc (a unit attention or no medium in any answer, a table of contents that differs,
// an eject or load, a vanished drive) ends the play and makes the mode Undecided again.
#pragma once

#include "audio/audio_sink.h"
#include "audio/frame_ring.h"
#include "audio/pcm_stage.h"
#include "audio/speed_policy.h"
#include "drive/aspi_request.h"
#include "platform/aspi_layer.h"
#include "playback/play_model.h"
#include "playback/sub_q.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct SRB_ExecSCSICmd;

namespace audio {

struct PlaySettings {
    // READ CD moves this many frames a command: about a third of a second, within what the
    // virtual bus and most USB bridges take at once.
    uint32_t chunkFrames = 27;
    // The reader stays this far ahead of the sink at most: 1.5 s.
    uint32_t bufferFrames = 112;
    int readTries = 4;                // a chunk is tried once and retried up to 3 times
    uint32_t failedChunksToStop = 10; // so many failed chunks in a row end the play with 0x14
    bool deemphasis = true;           // tracks mastered with pre-emphasis are de-emphasised
};

struct DrivePlayStats {
    bool digital = false;      // a digital play has started on the disc in the drive
    bool analog = false;       // the drive plays this disc on its own (READ CD did not work)
    uint64_t chunksRead = 0;   // chunks that READ CD delivered
    uint64_t failedChunks = 0; // chunks that failed every try and were played as silence
    bool subChannel = true;    // READ CD is asked for the Q sub-channel (until the drive refuses)
};

// Locks, in the order they are taken (never the other way round):
//   commandMutex_  one command of the player's at a time to this drive, as a drive takes them,
//                  and the reader's hand-over to the drive's own play. It is held while a command
//                  goes below; neither the sink nor the reader's reads ever wait for it.
//   speedMutex_    the read speed is decided and sent under it, so that the reader and a command
//                  that ends the play send in the order they decided.
//   mutex_         the play: the model, the job, the ring. Never held while a command goes below
//                  or the sink is called, so that a slow command (a tray that moves) holds up
//                  neither the reader nor the sink.
//   sinkMutex_     the sink: made, woken and ended under it, never with mutex_ held (ending a sink
//                  waits for its pump, which takes from the feed). The pump takes from the feed and
//                  tells it what was heard with none of its own locks held.
// The reader waits on roomForReader_ and the sink's Take on framesForSink_, both under mutex_.
class DrivePlay final : public PcmFeed {
public:
    DrivePlay(const AspiLayer& below, uint8_t adapter, uint8_t target, const SinkFactory& makeSink,
              const PlaySettings& settings);
    ~DrivePlay() override; // stops the reader thread and the sink
    DrivePlay(const DrivePlay&) = delete;
    DrivePlay& operator=(const DrivePlay&) = delete;

    // One execute-SCSI-command request for this drive; completes it and returns its status.
    uint32_t Send(SRB_ExecSCSICmd& srb);

    // A play the drive was making on its own when the layer came (its head at `head`) goes on
    // here: from there to the end of the disc, heard from now on, as if the player had sent that
    // PLAY AUDIO(12). Nothing happens when the disc cannot be learnt or `head` is not on it.
    void Adopt(int32_t head);
    // The layer gives up playing digitally: a digital play goes on on the drive's own audio
    // path, from where it has been heard.
    void HandBack();

    uint64_t Play() const override;
    size_t Take(uint64_t play, std::span<uint8_t> frames, std::chrono::milliseconds wait) override;
    void Heard(uint64_t play, size_t unheard, bool draining) override;

    DrivePlayStats Stats() const;

    // The play's volume, 0 to 1 (audio/pcm_stage.h).
    void SetVolume(double volume) { stage_.SetVolume(volume); }

private:
    enum class Mode { Undecided, Digital, Analog };
    enum class ReadOutcome { Ok, Failed, Refused, QRefused, DiscGone, NoDevice };
    // What the reader learnt of a frame in the buffer, beside its PCM.
    struct FrameTag {
        bool emphasised = false; // mastered with pre-emphasis: it is de-emphasised when heard
        std::optional<playback::QPosition> q; // where its Q put it, when one held up
    };
    // A frame's position as a Q sub-channel told it.
    struct HeardQ {
        int32_t lba = 0;
        playback::QPosition position;
    };
    struct Job {
        bool active = false;
        uint32_t run = 0;     // the play model's run this job reads for
        int32_t nextRead = 0; // the first frame not yet read
        int32_t end = 0;      // the first frame the run does not reach
        int64_t taken = 0;    // frames of the run the sink has taken
        int64_t heard = 0;    // of those, the frames its output has played
        // What the sink said last: so many taken frames not played yet, then, and whether they
        // were playing out.
        size_t unheard = 0;
        std::chrono::steady_clock::time_point unheardAt;
        bool draining = false;
        bool readerDone = false;
        bool stopByError = false; // the reader gave up: stop with 0x14 once the buffer is heard
        uint32_t failedInRow = 0;
    };
    // What a command leaves to be done once mutex_ is released.
    struct After {
        bool stopDrivesPlay = false; // the drive's own play ends: one sound at a time
    };

    // The body of Send, with commandMutex_ held.
    uint32_t Handle(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock);
    // Commands, with mutex_ held (`lock`).
    uint32_t Play(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock, After& after);
    uint32_t PauseResume(SRB_ExecSCSICmd& srb);
    uint32_t ReadSubChannel(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock);
    uint32_t ReadCode(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock);
    uint32_t RequestSense(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock);
    uint32_t Complete(SRB_ExecSCSICmd& srb, playback::PlayRefusal refusal);
    // Passes the request on with mutex_ released, then looks at how it ended.
    uint32_t PassThrough(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock);
    // The layer's own command to the drive, with mutex_ released.
    Completion SendOwn(std::unique_lock<std::mutex>& lock, std::span<const uint8_t> cdb,
                       std::span<uint8_t> data);
    void Watch(const SRB_ExecSCSICmd& srb, const Completion& completion);
    bool LearnDisc(std::unique_lock<std::mutex>& lock);
    void ForgetDisc();

    // The engine, with mutex_ held.
    void StartJob();
    void StopJob();
    void Follow();            // the model moves to what the sink's output has played
    int64_t HeardNow() const; // what it has played by now
    // Whether the reader should be woken now that the sink has taken frames (it also tells the
    // read speed how full the buffer is). The caller wakes it (roomForReader_) once it has let go
    // of mutex_, so that the reader does not wake only to wait for the lock.
    bool ReaderWanted();
    bool ReaderHasWork() const; // a chunk to read and room for it in the buffer
    void ReaderLoop();
    // The drive plays the rest on its own (it cannot read this disc's audio); commandMutex_ is
    // taken here, so mutex_ must not be held.
    void FallBackToDrive(uint64_t generation);
    ReadOutcome ReadChunk(int32_t lba, uint32_t count, bool withQ, std::span<uint8_t> into);
    // `frames` empty: silence; `q` empty: no sub-channel.
    void Append(std::span<const uint8_t> frames, std::span<const uint8_t> q, uint32_t count);
    FrameTag Tag(int32_t lba, std::span<const uint8_t> q); // and learns the disc's codes
    // Where the play's head is by the Q sub-channel, when that is known.
    std::optional<playback::QPosition> QAtHead() const;
    // The sink looks at the feed again (a play started, stopped or jumped); mutex_ not held.
    void WakeSink(bool make);

    // The read speed, with mutex_ not held: sends what the policy wants now, if anything.
    void SyncSpeed();
    std::optional<uint16_t> SpeedDue() const; // with mutex_ held

    const AspiLayer below_;
    const uint8_t adapter_;
    const uint8_t target_;
    const SinkFactory& makeSink_;
    const PlaySettings settings_;

    std::mutex commandMutex_;
    mutable std::mutex mutex_;              // guards everything down to the reader
    std::condition_variable roomForReader_; // the ring has room for a chunk, or the job changed
    std::condition_variable framesForSink_; // the ring has frames, or the job changed
    Mode mode_ = Mode::Undecided;
    bool discKnown_ = false;
    bool discDelivered_ = false; // READ CD has delivered audio of this disc
    uint64_t discEpoch_ = 0;     // changes whenever the disc is forgotten
    playback::PlayModel model_;
    std::optional<Sense> pendingSense_; // of the last refusal, for REQUEST SENSE
    Job job_;
    uint64_t generation_ = 0;  // changes with every job started or stopped: the feed's Play()
    FrameRing<FrameTag> ring_; // bufferFrames frames read ahead
    // Each frame taken and not heard yet (the head's too), with where its Q put it.
    std::deque<std::pair<int32_t, std::optional<playback::QPosition>>> unheardQ_;
    DrivePlayStats stats_;
    PcmStage stage_;
    SpeedPolicy speed_;
    // What the Q sub-channel of this disc has told: of the last frame read and of the frames on
    // either side of the head, and the codes some frames carry instead of their position.
    std::optional<HeardQ> lastReadQ_;
    std::optional<HeardQ> lastHeardQ_; // the last frame heard
    std::optional<HeardQ> nextQ_;      // the frame after it, when a stop or pause found it
    std::string catalog_;
    std::map<int, std::string> isrc_; // by track number
    bool quit_ = false;
    std::atomic<bool> quitting_{false}; // read by the reader between tries, without the lock
    std::thread reader_;

    std::mutex speedMutex_;
    std::mutex sinkMutex_;            // guards sink_
    std::unique_ptr<AudioSink> sink_; // made at the first digital play
};

} // namespace audio
