// The CD-ROM drive: one handler per operation code. Each handler fills the zeroed answer and
// returns its full length, or a sense; the bus cuts the answer to the allocation and buffer
// lengths. Unit attention, the medium check and the pending sense are handled once, in Execute.
#include "vdrive/cdrom_drive.h"

#include "drive/big_endian.h"
#include "drive/scsi_opcodes.h"
#include "vdrive/disc_geometry.h"

#include <algorithm>
#include <utility>

namespace vdrive {

namespace {

constexpr uint8_t kPeripheralCdRom = 0x05; // qualifier 000b: connected; type 05h: CD-ROM
constexpr uint32_t kInquiryLength = 36;
constexpr uint32_t kBlockLength = 2048; // what drives report for every CD
constexpr uint8_t kAdrPosition = 0x10;  // ADR 1 in the high nibble of ADR/CONTROL
constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr size_t kPackLength = 18;
// The 16-bit length field of a CD-Text answer counts itself out of 65535 bytes at most.
constexpr size_t kMaxPacks = (0xFFFF - 2) / kPackLength;
// Likewise for the table of contents: descriptors, lead-out included.
constexpr size_t kMaxTocDescriptors = (0xFFFF - 2) / 8;
constexpr int64_t kCurrentPosition = 0xFFFFFFFF; // a PLAY start of all ones: from where the head is

int32_t ReadSigned32(Cdb cdb, size_t at) {
    return static_cast<int32_t>(ReadBe32(cdb, at));
}

uint8_t AdrControl(const DiscTrack& track) {
    return static_cast<uint8_t>(kAdrPosition | (track.control & 0x0F));
}

// Four bytes of an address in a READ TOC or READ SUB-CHANNEL answer: LBA or 00 M S F.
void WriteAddress(std::span<uint8_t> answer, size_t at, int32_t lba, bool msf) {
    if (msf) {
        WriteMsfAddress(answer, at, lba);
    } else {
        WriteBe32(answer, at, static_cast<uint32_t>(lba));
    }
}

} // namespace

// ---- the play model -----------------------------------------------------------------------

CdromDrive::PlayState CdromDrive::PlayState::At(int64_t nowMs) const {
    PlayState next = *this;
    if (audio == Audio::Playing && Head(nowMs) >= end) {
        next.audio = endsAtData ? Audio::StoppedByError : Audio::Completed;
        next.head = end - 1; // the last frame played
    }
    return next;
}

int32_t CdromDrive::PlayState::Head(int64_t nowMs) const {
    if (audio != Audio::Playing) {
        return head;
    }
    const int64_t elapsedMs = std::max<int64_t>(0, nowMs - runStartMs);
    const int64_t frames = elapsedMs * kFramesPerSecond / 1000; // from the run's start: no drift
    return static_cast<int32_t>(std::min<int64_t>(int64_t{runStart} + frames, end));
}

void CdromDrive::Advance() {
    play_ = play_.At(clock_.NowMs());
}

uint8_t CdromDrive::AudioStatusOf(const PlayState& state) const {
    switch (state.audio) {
    case Audio::Playing:
        return kAudioPlaying;
    case Audio::Paused:
        return kAudioPaused;
    case Audio::Completed:
        return kAudioCompleted;
    case Audio::StoppedByError:
        return kAudioStoppedByError;
    case Audio::Idle:
        break;
    }
    return kAudioNoStatus;
}

uint8_t CdromDrive::AudioStatus() const {
    return AudioStatusOf(play_.At(clock_.NowMs()));
}

int32_t CdromDrive::Position() const {
    const int64_t now = clock_.NowMs();
    return play_.At(now).Head(now);
}

void CdromDrive::StopPlay() {
    play_.head = play_.Head(clock_.NowMs());
    play_.audio = Audio::Idle;
}

void CdromDrive::ResetHead() {
    play_ = PlayState{};
    if (disc_ && !disc_->tracks.empty()) {
        play_.head = disc_->tracks.front().start;
    }
}

Reply CdromDrive::Play(int64_t start, int64_t end, bool fromCurrent) {
    if (fromCurrent) {
        end += play_.Head(clock_.NowMs()) - start;
        start = play_.Head(clock_.NowMs());
    }
    if (end == start) {
        return Reply::Good(); // no audio operation: the head stays and a play goes on
    }
    if (end < start) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    const DiscImage& disc = *disc_;
    if (start < kFirstPregapLba || start >= disc.leadOut) {
        return Reply::Check(kSenseLbaOutOfRange);
    }
    const auto first = static_cast<int32_t>(start);
    if ((PositionAt(disc, first).track->control & kControlData) != 0) {
        return Reply::Check(kSenseIllegalModeForTrack);
    }
    if (end > disc.leadOut) {
        return Reply::Check(kSenseLbaOutOfRange);
    }
    // A play that would run into a data track stops at its boundary, as drives do.
    const int32_t boundary = DataBoundaryAfter(disc, first);
    play_.audio = Audio::Playing;
    play_.runStart = first;
    play_.runStartMs = clock_.NowMs();
    play_.end = static_cast<int32_t>(std::min<int64_t>(end, boundary));
    play_.endsAtData = boundary < end;
    return Reply::Good();
}

// ---- the user's side ----------------------------------------------------------------------

CdromDrive::CdromDrive(Clock& clock, std::optional<DiscImage> disc, DriveSetup setup)
    : clock_(clock), setup_(std::move(setup)), disc_(std::move(disc)) {
    ResetHead();
}

void CdromDrive::InsertDisc(DiscImage disc) {
    disc_ = std::move(disc);
    ResetHead();
    unitAttention_ = !trayOpen_;
}

void CdromDrive::RemoveDisc() {
    disc_.reset();
    ResetHead();
    unitAttention_ = false;
}

void CdromDrive::OpenTray() {
    Advance();
    StopPlay();
    trayOpen_ = true;
    unitAttention_ = false;
}

void CdromDrive::CloseTray() {
    if (!trayOpen_) {
        return;
    }
    trayOpen_ = false;
    if (disc_) {
        ResetHead();
        unitAttention_ = true;
    }
}

bool CdromDrive::StartPlayingTrack(int trackNumber) {
    if (trayOpen_ || !disc_) {
        return false;
    }
    for (const DiscTrack& track : disc_->tracks) {
        if (track.number == trackNumber) {
            return !Play(track.start, disc_->leadOut, false).failed();
        }
    }
    return false;
}

// ---- dispatch -----------------------------------------------------------------------------

std::array<CdromDrive::Handler, 256> CdromDrive::BuildHandlers() {
    std::array<Handler, 256> table{};
    table[kOpTestUnitReady] = {"TEST UNIT READY", true, true, &CdromDrive::TestUnitReady};
    table[kOpRequestSense] = {"REQUEST SENSE", false, false, &CdromDrive::RequestSense};
    table[kOpInquiry] = {"INQUIRY", false, false, &CdromDrive::Inquiry};
    table[kOpStartStopUnit] = {"START STOP UNIT", false, true, &CdromDrive::StartStopUnit};
    table[kOpReadCapacity] = {"READ CAPACITY(10)", true, true, &CdromDrive::ReadCapacity};
    table[kOpSeek10] = {"SEEK(10)", true, true, &CdromDrive::Seek};
    table[kOpReadSubChannel] = {"READ SUB-CHANNEL", true, true, &CdromDrive::ReadSubChannel};
    table[kOpReadToc] = {"READ TOC/PMA/ATIP", true, true, &CdromDrive::ReadToc};
    table[kOpPlayAudio10] = {"PLAY AUDIO(10)", true, true, &CdromDrive::PlayAudio10};
    table[kOpPlayAudioMsf] = {"PLAY AUDIO MSF", true, true, &CdromDrive::PlayAudioMsf};
    table[kOpPauseResume] = {"PAUSE/RESUME", true, true, &CdromDrive::PauseResume};
    table[kOpStopPlayScan] = {"STOP PLAY/SCAN", true, true, &CdromDrive::StopPlayScan};
    table[kOpPlayAudio12] = {"PLAY AUDIO(12)", true, true, &CdromDrive::PlayAudio12};
    return table;
}

const std::array<CdromDrive::Handler, 256>& CdromDrive::Handlers() {
    static const std::array<Handler, 256> table = BuildHandlers();
    return table;
}

Reply CdromDrive::Execute(Cdb cdb, std::span<uint8_t> answer) {
    Advance();
    const Handler& handler = Handlers()[cdb[0]];
    // The sense of a failed command waits for the next command; INQUIRY and REQUEST SENSE
    // leave it in place.
    if (handler.reportsUnitAttention) {
        pendingSense_.reset();
    }
    const Reply reply = Dispatch(handler, cdb, answer);
    if (reply.failed()) {
        pendingSense_ = reply.sense;
    }
    return reply;
}

Reply CdromDrive::Dispatch(const Handler& handler, Cdb cdb, std::span<uint8_t> answer) {
    if (handler.reportsUnitAttention && unitAttention_) {
        unitAttention_ = false;
        return Reply::Check(kSenseMediumMayHaveChanged);
    }
    if (!handler.run) {
        return Reply::Check(kSenseInvalidOperationCode);
    }
    if (handler.needsMedium) {
        if (trayOpen_) {
            return Reply::Check(kSenseNoMediumTrayOpen);
        }
        if (!disc_) {
            return Reply::Check(kSenseNoMedium);
        }
        if (disc_->tracks.empty()) {
            return Reply::Check(kSenseIncompatibleMedium); // nothing on it a drive could read
        }
    }
    return (this->*handler.run)(cdb, answer);
}

// ---- the handlers -------------------------------------------------------------------------

Reply CdromDrive::Inquiry(Cdb cdb, std::span<uint8_t> answer) {
    const bool evpd = (cdb[1] & 0x01) != 0;
    const uint8_t page = cdb[2];
    if (evpd) {
        if (page != 0x00) {
            return Reply::Check(kSenseInvalidFieldInCdb);
        }
        answer[0] = kPeripheralCdRom; // peripheral qualifier and device type
        answer[1] = 0x00;             // page code: supported vital product data pages
        answer[3] = 1;                // page length
        answer[4] = 0x00;             // the one page supported: this one
        return Reply::Data(5);
    }
    if (page != 0x00) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    answer[0] = kPeripheralCdRom;           // peripheral qualifier 000b, device type 05h
    answer[1] = 0x80;                       // RMB: removable medium
    answer[2] = 0x02;                       // version: SCSI-2
    answer[3] = 0x02;                       // response data format 2
    answer[4] = kInquiryLength - 5;         // additional length: the bytes after this one
    WriteIdentity(setup_.identity, answer); // bytes 8-35: vendor, product, revision
    return Reply::Data(kInquiryLength);
}

Reply CdromDrive::TestUnitReady(Cdb, std::span<uint8_t>) {
    return Reply::Good(); // the medium check has passed; a play goes on
}

Reply CdromDrive::RequestSense(Cdb, std::span<uint8_t> answer) {
    // After a success: NO SENSE, with the audio status in the ASCQ. Reading it here does not
    // use up a "play completed": READ SUB-CHANNEL reports that.
    const uint8_t audio = (disc_ && !trayOpen_) ? AudioStatusOf(play_) : kAudioNoStatus;
    const Sense sense = pendingSense_.value_or(Sense{kSenseKeyNoSense, 0x00, audio});
    pendingSense_.reset();
    const auto data = FixedSense(sense);
    std::copy(data.begin(), data.end(), answer.begin());
    return Reply::Data(kFixedSenseLength);
}

Reply CdromDrive::StartStopUnit(Cdb cdb, std::span<uint8_t>) {
    const uint8_t powerCondition = cdb[4] >> 4;
    const bool loadEject = (cdb[4] & 0x02) != 0;
    const bool start = (cdb[4] & 0x01) != 0;
    if (powerCondition != 0) {
        return Reply::Good(); // a power condition change: neither the tray nor the play moves
    }
    if (!loadEject) {
        if (!start) {
            StopPlay(); // stopping the spindle ends a play
        }
        return Reply::Good();
    }
    if (!start) {
        OpenTray();
    } else {
        CloseTray();
    }
    return Reply::Good();
}

Reply CdromDrive::ReadCapacity(Cdb, std::span<uint8_t> answer) {
    WriteBe32(answer, 0,
              static_cast<uint32_t>(int64_t{disc_->leadOut} - 1)); // last logical block address
    WriteBe32(answer, 4, kBlockLength);                            // block length in bytes
    return Reply::Data(8);
}

Reply CdromDrive::Seek(Cdb cdb, std::span<uint8_t>) {
    const int32_t lba = ReadSigned32(cdb, 2);
    if (lba < kFirstPregapLba || lba >= disc_->leadOut) {
        return Reply::Check(kSenseLbaOutOfRange);
    }
    play_.audio = Audio::Idle; // moving the head ends a play
    play_.head = lba;
    return Reply::Good();
}

Reply CdromDrive::ReadSubChannel(Cdb cdb, std::span<uint8_t> answer) {
    const bool msf = (cdb[1] & 0x02) != 0;
    const bool subQ = (cdb[2] & 0x40) != 0;
    const uint8_t format = cdb[3];
    const uint8_t trackNumber = cdb[6];
    const uint32_t allocation = ReadBe16(cdb, 7);
    const DiscImage& disc = *disc_;

    const DiscTrack* isrcTrack = nullptr;
    if (subQ) {
        if (format < 0x01 || format > 0x03) {
            return Reply::Check(kSenseInvalidFieldInCdb);
        }
        if (format == 0x03) {
            for (const DiscTrack& track : disc.tracks) {
                if (track.number == trackNumber) {
                    isrcTrack = &track;
                }
            }
            if (!isrcTrack) {
                return Reply::Check(kSenseInvalidFieldInCdb);
            }
        }
    }

    answer[1] = AudioStatusOf(play_); // audio status
    if (allocation >= 2 &&
        (play_.audio == Audio::Completed || play_.audio == Audio::StoppedByError)) {
        play_.audio = Audio::Idle; // a finished play is reported once
    }
    if (!subQ) {
        WriteBe16(answer, 2, 0); // sub-channel data length: header only
        return Reply::Data(4);
    }
    if (format == 0x01) {
        const int32_t head = play_.Head(clock_.NowMs());
        const DiscPosition where = PositionAt(disc, head);
        WriteBe16(answer, 2, 12);                              // sub-channel data length
        answer[4] = 0x01;                                      // data format code: current position
        answer[5] = AdrControl(*where.track);                  // ADR / CONTROL
        answer[6] = static_cast<uint8_t>(where.track->number); // track number
        answer[7] = static_cast<uint8_t>(where.index);         // index number
        WriteAddress(answer, 8, head, msf);                    // absolute address
        if (msf) {
            WriteMsfTime(answer, 12,
                         where.relative); // track-relative time; counts down in a pregap
        } else {
            WriteBe32(answer, 12, static_cast<uint32_t>(where.relative)); // track-relative LBA
        }
        return Reply::Data(16);
    }
    WriteBe16(answer, 2, 20); // sub-channel data length
    answer[4] = format;       // data format code
    if (format == 0x03) {
        answer[5] = AdrControl(*isrcTrack);                  // ADR / CONTROL
        answer[6] = static_cast<uint8_t>(isrcTrack->number); // track number
    }
    answer[8] = 0x00; // MCVal / TCVal 0: the disc carries no catalog number or ISRC
    return Reply::Data(24);
}

Reply CdromDrive::ReadToc(Cdb cdb, std::span<uint8_t> answer) {
    const bool msf = (cdb[1] & 0x02) != 0;
    // The format field of byte 2; hosts of the older convention leave it 0 and put the format
    // in the top bits of the control byte.
    uint8_t format = cdb[2] & 0x0F;
    if (format == 0) {
        format = static_cast<uint8_t>(cdb[9] >> 6);
    }
    switch (format) {
    case 0x00:
        return TocFormat0(msf, cdb[6], answer);
    case 0x01:
        return SessionInfo(msf, answer);
    case 0x05:
        return CdText(answer);
    default:
        return Reply::Check(kSenseInvalidFieldInCdb); // full TOC, PMA, ATIP: not kept
    }
}

Reply CdromDrive::TocFormat0(bool msf, uint8_t startingTrack, std::span<uint8_t> answer) {
    const DiscImage& disc = *disc_;
    const DiscTrack& last = disc.tracks.back();
    if (startingTrack != kLeadOutTrack && startingTrack > last.number) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    size_t count = 0;
    auto descriptor = [&](uint8_t adrControl, uint8_t number, int32_t lba) {
        const size_t at = 4 + 8 * count++;
        answer[at + 1] = adrControl;            // ADR / CONTROL
        answer[at + 2] = number;                // track number
        WriteAddress(answer, at + 4, lba, msf); // track start address
    };
    if (startingTrack != kLeadOutTrack) {
        for (const DiscTrack& track : disc.tracks) {
            if (track.number >= startingTrack && count + 1 < kMaxTocDescriptors) {
                descriptor(AdrControl(track), static_cast<uint8_t>(track.number), track.start);
            }
        }
    }
    descriptor(AdrControl(last), kLeadOutTrack,
               disc.leadOut); // the lead-out repeats the last CONTROL
    WriteBe16(answer, 0, static_cast<uint32_t>(2 + 8 * count));   // TOC data length
    answer[2] = static_cast<uint8_t>(disc.tracks.front().number); // first track number
    answer[3] = static_cast<uint8_t>(last.number);                // last track number
    return Reply::Data(static_cast<uint32_t>(4 + 8 * count));
}

Reply CdromDrive::SessionInfo(bool msf, std::span<uint8_t> answer) {
    const DiscTrack& first = disc_->tracks.front();
    WriteBe16(answer, 0, 10);                       // data length
    answer[2] = 1;                                  // first complete session
    answer[3] = 1;                                  // last complete session
    answer[5] = AdrControl(first);                  // ADR / CONTROL
    answer[6] = static_cast<uint8_t>(first.number); // first track in the last session
    WriteAddress(answer, 8, first.start, msf);      // its start address
    return Reply::Data(12);
}

Reply CdromDrive::CdText(std::span<uint8_t> answer) {
    const std::vector<uint8_t>& packs = disc_->cdText;
    const size_t count = std::min(packs.size() / kPackLength, kMaxPacks); // whole packs only
    if (count == 0 && !setup_.cdTextHeaderWithoutText) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    WriteBe16(answer, 0, static_cast<uint32_t>(2 + kPackLength * count)); // CD-TEXT data length
    std::copy_n(packs.begin(), count * kPackLength, answer.begin() + 4);  // the packs, as stored
    return Reply::Data(static_cast<uint32_t>(4 + kPackLength * count));
}

Reply CdromDrive::PlayAudio10(Cdb cdb, std::span<uint8_t>) {
    const bool fromCurrent = ReadBe32(cdb, 2) == kCurrentPosition;
    const int64_t first = fromCurrent ? 0 : ReadSigned32(cdb, 2); // starting logical block address
    const int64_t length = ReadBe16(cdb, 7);                      // transfer length in frames
    return Play(first, first + length, fromCurrent);
}

Reply CdromDrive::PlayAudio12(Cdb cdb, std::span<uint8_t>) {
    const bool fromCurrent = ReadBe32(cdb, 2) == kCurrentPosition;
    const int64_t first = fromCurrent ? 0 : ReadSigned32(cdb, 2); // starting logical block address
    const int64_t length = ReadBe32(cdb, 6);                      // transfer length in frames
    return Play(first, first + length, fromCurrent);
}

Reply CdromDrive::PlayAudioMsf(Cdb cdb, std::span<uint8_t>) {
    const bool fromCurrent = cdb[3] == 0xFF && cdb[4] == 0xFF && cdb[5] == 0xFF;
    const int64_t end = MsfToLba(cdb[6], cdb[7], cdb[8]); // ending M, S, F: first frame not played
    if (fromCurrent) {
        return Play(play_.Head(clock_.NowMs()), end, false);
    }
    return Play(MsfToLba(cdb[3], cdb[4], cdb[5]), end, false); // starting M, S, F
}

Reply CdromDrive::PauseResume(Cdb cdb, std::span<uint8_t>) {
    const bool resume = (cdb[8] & 0x01) != 0;
    const int64_t now = clock_.NowMs();
    if (resume) {
        if (play_.audio == Audio::Paused) {
            play_.audio = Audio::Playing;
            play_.runStart = play_.head; // continue from the held position
            play_.runStartMs = now;
        } else if (play_.audio != Audio::Playing) {
            return Reply::Check(kSenseCommandSequenceError);
        }
        return Reply::Good();
    }
    if (play_.audio == Audio::Playing) {
        play_.head = play_.Head(now);
        play_.audio = Audio::Paused;
    } else if (play_.audio != Audio::Paused) {
        return Reply::Check(kSenseCommandSequenceError);
    }
    return Reply::Good();
}

Reply CdromDrive::StopPlayScan(Cdb, std::span<uint8_t>) {
    StopPlay();
    return Reply::Good();
}

} // namespace vdrive
