// The CD-ROM drive: one handler per operation code. Each handler fills the zeroed answer and
// returns its full length, or a sense; the bus cuts the answer to the allocation and buffer
// lengths. Unit attention, the medium check and the pending sense are handled once, in Execute.
#include "vdrive/cdrom_drive.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/msf.h"
#include "drive/scsi_opcodes.h"
#include "drive/sub_q_layout.h"
#include "drive/toc_layout.h"
#include "playback/position_answer.h"
#include "playback/sub_q.h"
#include "vdrive/disc_geometry.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace vdrive {

namespace {

constexpr uint32_t kBlockLength = 2048; // what drives report for every CD
constexpr size_t kPackLength = 18;
// The 16-bit length field of a CD-Text answer counts itself out of 65535 bytes at most.
constexpr size_t kMaxPacks = (0xFFFF - 2) / kPackLength;
// Likewise for the table of contents: descriptors, lead-out included.
constexpr size_t kMaxTocDescriptors = (0xFFFF - 2) / 8;

int32_t ReadSigned32(Cdb cdb, size_t at) {
    return static_cast<int32_t>(ReadBe32(cdb, at));
}

// Four bytes of an address in a READ TOC answer: LBA or 00 M S F.
void WriteAddress(std::span<uint8_t> answer, size_t at, int32_t lba, bool msf) {
    if (msf) {
        WriteMsfAddress(answer, at, lba);
    } else {
        WriteBe32(answer, at, static_cast<uint32_t>(lba));
    }
}

// READ CD: expected sector types (CDB byte 1, bits 2-4; 0 is any type, 1 CD-DA, 3 to 5 the Mode 2
// kinds, which no image here holds) and main-channel selections (byte 9; kReadCdUserData the user
// data).
constexpr uint8_t kSectorMode1 = 2;
constexpr uint8_t kSectorMode2Form2 = 5;
constexpr uint8_t kSelectEverything = 0xF8; // sync, all headers, user data, EDC/ECC
constexpr uint8_t kSelectC2Errors = 0x06;
constexpr uint32_t kMode1UserBytes = 2048;

uint8_t Bcd(int64_t value) {
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

// A whole Mode 1 sector of a data track, as READ CD delivers it with everything selected. The
// image holds no data, so the user data is zero, and so are the EDC and ECC that would guard it.
void WriteMode1Sector(std::span<uint8_t> sector, int32_t lba) {
    std::fill_n(sector.begin() + 1, 10, uint8_t{0xFF}); // sync: 00, ten FF, 00
    const int64_t address = int64_t{lba} + kMsfLbaOffset;
    sector[12] = Bcd(address / kFramesPerMinute);      // header: minute, in BCD
    sector[13] = Bcd(address / kFramesPerSecond % 60); // second
    sector[14] = Bcd(address % kFramesPerSecond);      // frame
    sector[15] = 0x01;                                 // mode 1
}

// The bytes of a frame's main channel that READ CD delivers for `selection`: none, a CD-DA frame
// or a whole data sector, or a data sector's user data.
size_t MainChannelLength(bool data, uint8_t selection) {
    if ((selection & kReadCdUserData) == 0) {
        return 0;
    }
    return !data || selection == kSelectEverything ? kFrameBytes : kMode1UserBytes;
}

// Whether `lba` lies in a data track, its pregap included.
bool IsDataFrame(const DiscImage& disc, int32_t lba) {
    return (PositionAt(disc, lba).track->control & kControlData) != 0;
}

// The end of the frames from `lba` on that lie in the same track, at most `stop`: the nearest
// pregap start after `lba`, whatever order the image lists its tracks in.
int32_t SegmentEnd(const DiscImage& disc, int32_t lba, int32_t stop) {
    int32_t end = stop;
    for (const playback::DiscTrack& track : disc.tracks) {
        if (playback::PregapStart(track) > lba) {
            end = std::min(end, playback::PregapStart(track));
        }
    }
    return end;
}

Reply ReplyTo(playback::PlayRefusal refusal) {
    if (refusal == playback::PlayRefusal::None) {
        return Reply::Good();
    }
    return Reply::Check(playback::SenseOf(refusal));
}

} // namespace

// ---- the play, by the clock ---------------------------------------------------------------

int64_t CdromDrive::FramesIntoRun(int64_t nowMs) const {
    return FramesInMs(std::max<int64_t>(0, nowMs - runStartMs_));
}

void CdromDrive::FollowRun() {
    if (play_.Run() != clockRun_) {
        clockRun_ = play_.Run();
        runStartMs_ = clock_.NowMs();
    }
}

void CdromDrive::Advance() {
    play_.AdvanceTo(play_.Run(), FramesIntoRun(clock_.NowMs()));
}

uint8_t CdromDrive::AudioStatus() const {
    const std::lock_guard lock(mutex_);
    return play_.Peek(FramesIntoRun(clock_.NowMs())).audioStatus;
}

int32_t CdromDrive::Position() const {
    const std::lock_guard lock(mutex_);
    return play_.Peek(FramesIntoRun(clock_.NowMs())).head;
}

uint16_t CdromDrive::ReadSpeed() const {
    const std::lock_guard lock(mutex_);
    return readSpeed_;
}

// ---- the user's side ----------------------------------------------------------------------

CdromDrive::CdromDrive(Clock& clock, std::optional<DiscImage> disc, DriveSetup setup)
    : clock_(clock), setup_(std::move(setup)), disc_(std::move(disc)) {
    play_.SetDisc(disc_ ? disc_->Layout() : playback::DiscLayout{});
}

void CdromDrive::SetPendingSense(Sense sense) {
    const std::lock_guard lock(mutex_);
    pendingSense_ = sense;
}

void CdromDrive::InsertDisc(DiscImage disc) {
    const std::lock_guard lock(mutex_);
    disc_ = std::move(disc);
    play_.SetDisc(disc_->Layout());
    unitAttention_ = !trayOpen_;
}

void CdromDrive::RemoveDisc() {
    const std::lock_guard lock(mutex_);
    disc_.reset();
    play_.SetDisc({});
    unitAttention_ = false;
}

void CdromDrive::OpenTray() {
    const std::lock_guard lock(mutex_);
    OpenTrayLocked();
}

void CdromDrive::OpenTrayLocked() {
    Advance();
    play_.Stop();
    trayOpen_ = true;
    unitAttention_ = false;
}

void CdromDrive::CloseTray() {
    const std::lock_guard lock(mutex_);
    CloseTrayLocked();
}

void CdromDrive::CloseTrayLocked() {
    if (!trayOpen_) {
        return;
    }
    trayOpen_ = false;
    if (disc_) {
        play_.Reset();
        unitAttention_ = true;
    }
}

bool CdromDrive::StartPlayingTrack(int trackNumber) {
    const std::lock_guard lock(mutex_);
    if (trayOpen_ || !disc_) {
        return false;
    }
    for (const playback::DiscTrack& track : disc_->tracks) {
        if (track.number == trackNumber) {
            const bool played =
                play_.Play(track.start, disc_->leadOut) == playback::PlayRefusal::None;
            FollowRun();
            return played;
        }
    }
    return false;
}

bool CdromDrive::TrayOpen() const {
    const std::lock_guard lock(mutex_);
    return trayOpen_;
}

bool CdromDrive::HasDisc() const {
    const std::lock_guard lock(mutex_);
    return disc_.has_value();
}

bool CdromDrive::UnitAttentionPending() const {
    const std::lock_guard lock(mutex_);
    return unitAttention_;
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
    table[kOpPlayAudio10] = {"PLAY AUDIO(10)", true, true, &CdromDrive::PlayAudio};
    table[kOpPlayAudioMsf] = {"PLAY AUDIO MSF", true, true, &CdromDrive::PlayAudio};
    table[kOpPauseResume] = {"PAUSE/RESUME", true, true, &CdromDrive::PauseResume};
    table[kOpStopPlayScan] = {"STOP PLAY/SCAN", true, true, &CdromDrive::StopPlayScan};
    table[kOpPlayAudio12] = {"PLAY AUDIO(12)", true, true, &CdromDrive::PlayAudio};
    table[kOpSetCdSpeed] = {"SET CD SPEED", false, true, &CdromDrive::SetCdSpeed};
    table[kOpReadCd] = {"READ CD", true, true, &CdromDrive::ReadCd};
    return table;
}

const std::array<CdromDrive::Handler, 256>& CdromDrive::Handlers() {
    static const std::array<Handler, 256> table = BuildHandlers();
    return table;
}

Reply CdromDrive::Execute(Cdb cdb, std::span<uint8_t> answer) {
    const std::lock_guard lock(mutex_);
    Advance();
    const Handler& handler = Handlers()[cdb[0]];
    // The sense of a failed command waits for the next command; INQUIRY and REQUEST SENSE
    // leave it in place.
    if (handler.reportsUnitAttention) {
        pendingSense_.reset();
    }
    const Reply reply = Dispatch(handler, cdb, answer);
    FollowRun();
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
    answer[4] = kStandardInquiryLength - 5; // additional length: the bytes after this one
    WriteIdentity(setup_.identity, answer); // bytes 8-35: vendor, product, revision
    return Reply::Data(kStandardInquiryLength);
}

Reply CdromDrive::TestUnitReady(Cdb, std::span<uint8_t>) {
    return Reply::Good(); // the medium check has passed; a play goes on
}

Reply CdromDrive::RequestSense(Cdb, std::span<uint8_t> answer) {
    // After a success: NO SENSE, with the audio status in the ASCQ. Reading it here does not
    // use up a "play completed": READ SUB-CHANNEL reports that.
    const uint8_t audio = (disc_ && !trayOpen_) ? play_.AudioStatus() : kAudioStatusNone;
    const Sense sense = pendingSense_.value_or(Sense{kSenseKeyNoSense, 0x00, audio});
    pendingSense_.reset();
    const auto data = FixedSenseData(sense);
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
            play_.Stop(); // stopping the spindle ends a play
        }
        return Reply::Good();
    }
    if (!start) {
        OpenTrayLocked();
    } else {
        CloseTrayLocked();
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
    return ReplyTo(play_.Seek(ReadSigned32(cdb, 2))); // moving the head ends a play
}

Reply CdromDrive::ReadSubChannel(Cdb cdb, std::span<uint8_t> answer) {
    const bool msf = (cdb[1] & 0x02) != 0;
    const bool subQ = (cdb[2] & 0x40) != 0;
    const uint8_t format = cdb[3];
    const uint8_t trackNumber = cdb[6];
    const uint32_t allocation = ReadBe16(cdb, 7);
    const DiscImage& disc = *disc_;

    const playback::DiscTrack* isrcTrack = nullptr;
    std::string_view code = disc.catalog; // of format 02h
    if (subQ) {
        if (format < kSubChannelCurrentPosition || format > kSubChannelIsrc) {
            return Reply::Check(kSenseInvalidFieldInCdb);
        }
        if (format == kSubChannelIsrc) {
            for (size_t i = 0; i < disc.tracks.size(); ++i) {
                if (disc.tracks[i].number == trackNumber) {
                    isrcTrack = &disc.tracks[i];
                    code = i < disc.isrc.size() ? std::string_view(disc.isrc[i]) : "";
                }
            }
            if (!isrcTrack) {
                return Reply::Check(kSenseInvalidFieldInCdb);
            }
        }
    }

    if (!subQ || format == kSubChannelCurrentPosition) {
        return Reply::Data(playback::AnswerCurrentPosition(play_, subQ, msf, allocation, answer));
    }
    return Reply::Data(playback::AnswerCode(play_, allocation, answer, isrcTrack, code));
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
    const playback::DiscTrack& last = disc.tracks.back();
    if (startingTrack != kLeadOutTrackNumber && startingTrack > last.number) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    size_t count = 0;
    auto descriptor = [&](uint8_t adrControl, uint8_t number, int32_t lba) {
        const size_t at = 4 + 8 * count++;
        answer[at + 1] = adrControl;            // ADR / CONTROL
        answer[at + 2] = number;                // track number
        WriteAddress(answer, at + 4, lba, msf); // track start address
    };
    if (startingTrack != kLeadOutTrackNumber) {
        for (const playback::DiscTrack& track : disc.tracks) {
            if (track.number >= startingTrack && count + 1 < kMaxTocDescriptors) {
                descriptor(playback::AdrControl(track), static_cast<uint8_t>(track.number),
                           track.start);
            }
        }
    }
    descriptor(playback::AdrControl(last), kLeadOutTrackNumber,
               disc.leadOut); // the lead-out repeats the last CONTROL
    WriteBe16(answer, 0, static_cast<uint32_t>(2 + 8 * count));   // TOC data length
    answer[2] = static_cast<uint8_t>(disc.tracks.front().number); // first track number
    answer[3] = static_cast<uint8_t>(last.number);                // last track number
    return Reply::Data(static_cast<uint32_t>(4 + 8 * count));
}

Reply CdromDrive::SessionInfo(bool msf, std::span<uint8_t> answer) {
    const playback::DiscTrack& first = disc_->tracks.front();
    WriteBe16(answer, 0, 10);                       // data length
    answer[2] = 1;                                  // first complete session
    answer[3] = 1;                                  // last complete session
    answer[5] = playback::AdrControl(first);        // ADR / CONTROL
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

Reply CdromDrive::PlayAudio(Cdb cdb, std::span<uint8_t>) {
    return ReplyTo(play_.PlayCommand(cdb));
}

Reply CdromDrive::PauseResume(Cdb cdb, std::span<uint8_t>) {
    const bool resume = (cdb[8] & 0x01) != 0;
    return ReplyTo(resume ? play_.Resume() : play_.Pause());
}

Reply CdromDrive::StopPlayScan(Cdb, std::span<uint8_t>) {
    play_.Stop();
    return Reply::Good();
}

Reply CdromDrive::SetCdSpeed(Cdb cdb, std::span<uint8_t>) {
    if ((cdb[1] & 0x03) > 0x01) {
        return Reply::Check(kSenseInvalidFieldInCdb); // rotational control: CLV or CAV only
    }
    // Kept as asked: a real drive picks the nearest speed it has, which tests need not know.
    readSpeed_ = static_cast<uint16_t>(ReadBe16(cdb, 2)); // logical unit read speed, kB/s
    return Reply::Good();
}

Reply CdromDrive::ReadCd(Cdb cdb, std::span<uint8_t> answer) {
    const uint8_t expected = (cdb[1] >> 2) & 0x07; // expected sector type
    const int64_t first = ReadSigned32(cdb, 2);    // starting logical block address
    const uint32_t count = ReadBe24(cdb, 6);       // transfer length in frames
    const uint8_t selection = cdb[9];              // main channel: sync, headers, user data, EDC
    const uint8_t subChannel = cdb[10] & 0x07;     // sub-channel data selection
    const bool userData = (selection & kReadCdUserData) != 0;
    const bool withQ = subChannel == kReadCdFormattedQ && setup_.formattedQ;
    // Served: no main-channel data, or the user data (which for CD-DA is the whole frame), each
    // frame followed by its formatted Q when that is asked for. Not served: headers or sync
    // without the data, C2 error flags, the raw or the R-W sub-channel.
    if (expected > kSectorMode2Form2 || (subChannel != kReadCdNoSubChannel && !withQ) ||
        (selection & kSelectC2Errors) != 0 || (selection != 0 && !userData)) {
        return Reply::Check(kSenseInvalidFieldInCdb);
    }
    if (count == 0) {
        return Reply::Good(); // a length of 0 moves nothing
    }
    const DiscImage& disc = *disc_;
    if (first < playback::kFirstPregapLba || first >= disc.leadOut ||
        first + int64_t{count} > int64_t{disc.leadOut}) {
        return Reply::Check(kSenseLbaOutOfRange);
    }

    // Every frame must be of the expected type; the answer holds each as its type gives it: a
    // CD-DA frame whole, a data sector whole (everything selected) or its user data.
    const auto start = static_cast<int32_t>(first);
    const auto stop = static_cast<int32_t>(first + count);
    const size_t qLength = withQ ? kFormattedQLength : 0;
    uint64_t length = 0;
    for (int32_t lba = start; lba < stop;) {
        const int32_t segmentEnd = SegmentEnd(disc, lba, stop);
        const bool data = IsDataFrame(disc, lba);
        if (expected > kSectorMode1 || (expected == kReadCdSectorCdda && data) ||
            (expected == kSectorMode1 && !data)) {
            return Reply::Check(kSenseIllegalModeForTrack);
        }
        if (data && userData && selection != kReadCdUserData && selection != kSelectEverything) {
            return Reply::Check(kSenseInvalidFieldInCdb); // parts of a data sector
        }
        const size_t frameLength = MainChannelLength(data, selection) + qLength;
        length += uint64_t{frameLength} * static_cast<uint32_t>(segmentEnd - lba);
        lba = segmentEnd;
    }
    if (length > answer.size()) {
        return Reply::Check(kSenseInvalidFieldInCdb); // more than the drive moves at once
    }

    size_t at = 0;
    for (int32_t lba = start; lba < stop && length > 0;) {
        const int32_t segmentEnd = SegmentEnd(disc, lba, stop);
        const auto frames = static_cast<size_t>(segmentEnd - lba);
        const bool data = IsDataFrame(disc, lba);
        const size_t main = MainChannelLength(data, selection);
        const size_t stride = main + qLength;
        if (!data && userData) {
            const std::span<uint8_t> audio = answer.subspan(at, frames * kFrameBytes);
            if (disc.audio && !disc.audio->ReadFrames(lba, audio)) {
                // A failed command leaves the answer as it found it, for whoever hands the drive
                // its answer area (the bus, the kernel check's handler).
                std::fill_n(answer.begin(), at + audio.size(), uint8_t{0});
                return Reply::Check(kSenseUnrecoveredReadError);
            }
            // The frames land in one piece and move apart, the last first, to make room for
            // each one's Q.
            for (size_t i = frames; qLength > 0 && i-- > 1;) {
                std::memmove(answer.data() + at + i * stride, answer.data() + at + i * kFrameBytes,
                             kFrameBytes);
            }
        } else if (data && selection == kSelectEverything) {
            for (size_t i = 0; i < frames; ++i) {
                WriteMode1Sector(answer.subspan(at + i * stride, kFrameBytes),
                                 lba + static_cast<int32_t>(i));
            } // the user data of a data sector alone: zero
        }
        for (size_t i = 0; i < frames && withQ; ++i) {
            const auto frameLba = lba + static_cast<int32_t>(i);
            const auto q = playback::EncodeQ(QFrameAt(disc, frameLba), frameLba);
            std::copy(q.begin(), q.end(),
                      answer.begin() + static_cast<std::ptrdiff_t>(at + i * stride + main));
        }
        at += frames * stride;
        lba = segmentEnd;
    }
    return Reply::Data(static_cast<uint32_t>(length));
}

} // namespace vdrive
