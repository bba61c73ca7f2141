// A CD-ROM drive on the virtual bus: it holds a disc image, answers the MMC commands a CD player
// sends from one table of handlers by operation code, and "plays" by moving its head 75 frames
// a second of the clock. Tests and the demo also handle it from the user's side: put a disc in,
// take it out, open and close the tray.
#pragma once

#include "vdrive/clock.h"
#include "vdrive/device.h"
#include "vdrive/disc_image.h"

#include <array>
#include <optional>

namespace vdrive {

// Audio status, as READ SUB-CHANNEL reports it in byte 1 and REQUEST SENSE in the ASCQ.
inline constexpr uint8_t kAudioPlaying = 0x11;
inline constexpr uint8_t kAudioPaused = 0x12;
inline constexpr uint8_t kAudioCompleted = 0x13;      // once, after a play reached its end
inline constexpr uint8_t kAudioStoppedByError = 0x14; // once, after a play ran into a data track
inline constexpr uint8_t kAudioNoStatus = 0x15;

struct DriveSetup {
    Identity identity; // vendor "VORTANE " unless set otherwise
    // Drives differ on READ TOC format 5 for a disc without CD-Text: most fail with 05/24/00,
    // some answer GOOD with a bare 4-byte header (data length 2).
    bool cdTextHeaderWithoutText = false;
};

class CdromDrive final : public Device {
public:
    // A disc given here is in the drive from the start: it raises no UNIT ATTENTION.
    explicit CdromDrive(Clock& clock, std::optional<DiscImage> disc = std::nullopt,
                        DriveSetup setup = {});

    Reply Execute(Cdb cdb, std::span<uint8_t> answer) override;
    void SetPendingSense(Sense sense) override { pendingSense_ = sense; }

    // The user's side. A disc that arrives in a closed drive (InsertDisc with the tray closed,
    // CloseTray with a disc on the tray) makes the next command answer UNIT ATTENTION 06/28/00.
    void InsertDisc(DiscImage disc); // replaces a disc already there; the tray stays as it is
    void RemoveDisc();
    void OpenTray(); // stops play, as the eject button does
    void CloseTray();
    // Plays from the start of the track to the end of the disc, as if PLAY had just been sent.
    // False, and nothing changes, without a readable disc or with no such audio track.
    bool StartPlayingTrack(int trackNumber);

    // What the drive holds now, as a test sees it without sending a command.
    bool TrayOpen() const { return trayOpen_; }
    bool HasDisc() const { return disc_.has_value(); }
    const DiscImage* Disc() const { return disc_ ? &*disc_ : nullptr; }
    bool UnitAttentionPending() const { return unitAttention_; }
    uint8_t AudioStatus() const; // what READ SUB-CHANNEL would report now, without using up 0x13
    int32_t Position() const;    // the head: the frame playing, or the last played or sought
    DriveSetup& Setup() { return setup_; }

    // The name of a supported command ("READ TOC/PMA/ATIP"), or nullptr: for messages in tests.
    static const char* CommandName(uint8_t operationCode) { return Handlers()[operationCode].name; }

private:
    enum class Audio { Idle, Playing, Paused, Completed, StoppedByError };

    // The head and the play in progress. A running play is kept as where and when its current
    // run began, so positions follow from the clock exactly, without accumulated steps.
    struct PlayState {
        Audio audio = Audio::Idle;
        int32_t head = 0;        // position when not playing
        int32_t runStart = 0;    // LBA at which the current run (play or resume) began
        int64_t runStartMs = 0;  // clock time at which it began
        int32_t end = 0;         // first frame not played
        bool endsAtData = false; // the end is a data track's boundary, not the one asked for

        PlayState At(int64_t nowMs) const; // the same play, moved on to `nowMs`
        int32_t Head(int64_t nowMs) const;
    };

    using Run = Reply (CdromDrive::*)(Cdb cdb, std::span<uint8_t> answer);
    struct Handler {
        const char* name = nullptr;
        bool needsMedium = false;
        bool reportsUnitAttention = true; // INQUIRY and REQUEST SENSE are exempt
        Run run = nullptr;                // nullptr: the operation code is not supported
    };
    static const std::array<Handler, 256>& Handlers();
    static std::array<Handler, 256> BuildHandlers();

    Reply Dispatch(const Handler& handler, Cdb cdb, std::span<uint8_t> answer);

    Reply Inquiry(Cdb cdb, std::span<uint8_t> answer);
    Reply TestUnitReady(Cdb cdb, std::span<uint8_t> answer);
    Reply RequestSense(Cdb cdb, std::span<uint8_t> answer);
    Reply StartStopUnit(Cdb cdb, std::span<uint8_t> answer);
    Reply ReadCapacity(Cdb cdb, std::span<uint8_t> answer);
    Reply Seek(Cdb cdb, std::span<uint8_t> answer);
    Reply ReadSubChannel(Cdb cdb, std::span<uint8_t> answer);
    Reply ReadToc(Cdb cdb, std::span<uint8_t> answer);
    Reply PlayAudio10(Cdb cdb, std::span<uint8_t> answer);
    Reply PlayAudioMsf(Cdb cdb, std::span<uint8_t> answer);
    Reply PauseResume(Cdb cdb, std::span<uint8_t> answer);
    Reply StopPlayScan(Cdb cdb, std::span<uint8_t> answer);
    Reply PlayAudio12(Cdb cdb, std::span<uint8_t> answer);

    Reply TocFormat0(bool msf, uint8_t startingTrack, std::span<uint8_t> answer);
    Reply SessionInfo(bool msf, std::span<uint8_t> answer);
    Reply CdText(std::span<uint8_t> answer);

    // Starts a play of [start, end); `fromCurrent` takes the start from the head instead.
    Reply Play(int64_t start, int64_t end, bool fromCurrent);
    void StopPlay();  // the head stays where the play had got to
    void ResetHead(); // a disc arrived: idle at its first track
    void Advance();   // brings the play up to the clock
    uint8_t AudioStatusOf(const PlayState& state) const;

    Clock& clock_;
    DriveSetup setup_;
    std::optional<DiscImage> disc_;
    bool trayOpen_ = false;
    bool unitAttention_ = false;
    std::optional<Sense> pendingSense_; // the sense of the last command, for REQUEST SENSE
    PlayState play_;
};

} // namespace vdrive
