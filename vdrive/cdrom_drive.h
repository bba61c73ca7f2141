// A CD-ROM drive on the virtual bus: it holds a disc image, answers the MMC commands a CD player
// sends from one table of handlers by operation code, "plays" by moving its head 75 frames a
// second of the clock, and delivers the image's audio to READ CD. Tests and the demo also handle
// it from the user's side: put a disc in, take it out, open and close the tray.
//
// Commands and the user's side may come from several threads at once: the drive serves one at a
// time. Disc() and Setup() hand out what the drive holds; use them while no other thread sends.
#pragma once

#include "drive/command_blocks.h"
#include "playback/play_model.h"
#include "vdrive/clock.h"
#include "vdrive/device.h"
#include "vdrive/disc_image.h"

#include <array>
#include <mutex>
#include <optional>

namespace vdrive {

struct DriveSetup {
    Identity identity; // vendor kDriveVendor unless set otherwise
    // Drives differ on READ TOC format 5 for a disc without CD-Text: most fail with 05/24/00,
    // some answer GOOD with a bare 4-byte header (data length 2).
    bool cdTextHeaderWithoutText = false;
    // READ CD delivers the formatted Q sub-channel after each frame when asked; some drives
    // refuse that selection with 05/24/00.
    bool formattedQ = true;
};

class CdromDrive final : public Device {
public:
    // A disc given here is in the drive from the start: it raises no UNIT ATTENTION.
    explicit CdromDrive(Clock& clock, std::optional<DiscImage> disc = std::nullopt,
                        DriveSetup setup = {});

    Reply Execute(Cdb cdb, std::span<uint8_t> answer) override;
    void SetPendingSense(Sense sense) override;

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
    bool TrayOpen() const;
    bool HasDisc() const;
    const DiscImage* Disc() const { return disc_ ? &*disc_ : nullptr; }
    bool UnitAttentionPending() const;
    uint8_t AudioStatus() const; // what READ SUB-CHANNEL would report now, without using up 0x13
    int32_t Position() const;    // the head: the frame playing, or the last played or sought
    // The read speed SET CD SPEED last set, in kB/s as sent (kCdSpeedMaximum: the drive's
    // fastest, as it starts).
    uint16_t ReadSpeed() const;
    DriveSetup& Setup() { return setup_; }

    // The name of a supported command ("READ TOC/PMA/ATIP"), or nullptr: for messages in tests.
    static const char* CommandName(uint8_t operationCode) { return Handlers()[operationCode].name; }

private:
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
    Reply PlayAudio(Cdb cdb, std::span<uint8_t> answer); // (10), (12) and MSF
    Reply PauseResume(Cdb cdb, std::span<uint8_t> answer);
    Reply StopPlayScan(Cdb cdb, std::span<uint8_t> answer);
    Reply ReadCd(Cdb cdb, std::span<uint8_t> answer);
    Reply SetCdSpeed(Cdb cdb, std::span<uint8_t> answer);

    Reply TocFormat0(bool msf, uint8_t startingTrack, std::span<uint8_t> answer);
    Reply SessionInfo(bool msf, std::span<uint8_t> answer);
    Reply CdText(std::span<uint8_t> answer);

    // The user's side, with the drive's lock held.
    void OpenTrayLocked();
    void CloseTrayLocked();

    // The clock carries the play: a run that began at runStartMs_ has played 75 frames a second
    // since, counted from its start, so odd steps never drift.
    int64_t FramesIntoRun(int64_t nowMs) const;
    void FollowRun(); // after a command that may start a run: it starts now
    void Advance();   // brings the play up to the clock

    Clock& clock_;
    DriveSetup setup_;
    std::optional<DiscImage> disc_;
    bool trayOpen_ = false;
    bool unitAttention_ = false;
    std::optional<Sense> pendingSense_; // the sense of the last command, for REQUEST SENSE
    playback::PlayModel play_;
    uint32_t clockRun_ = 0;                // the run of play_ that runStartMs_ belongs to
    int64_t runStartMs_ = 0;               // clock time at which that run began
    uint16_t readSpeed_ = kCdSpeedMaximum; // kB/s, as SET CD SPEED set it
    mutable std::mutex mutex_;
};

} // namespace vdrive
