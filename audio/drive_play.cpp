// The commands of one drive under the digital play layer: which it takes over, how it answers
// them from the play model, and what it learns from the answers of those it passes on.
#include "audio/drive_play.h"

#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/fixed_sense.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "drive/toc_layout.h"
#include "playback/position_answer.h"
#include "playback/toc_decode.h"

#include <algorithm>
#include <cstring>

namespace audio {

using playback::DecodeToc;
using playback::DiscLayout;
using playback::PlayRefusal;
using playback::SameLayout;

namespace {

// The command block as a drive sees it: zero past the request's own length.
std::array<uint8_t, 16> CommandBlock(const SRB_ExecSCSICmd& srb) {
    std::array<uint8_t, 16> cdb{};
    std::memcpy(cdb.data(), srb.CDBByte, std::min<size_t>(srb.SRB_CDBLen, cdb.size()));
    return cdb;
}

// Copies an answer into the request's buffer, cut to the allocation length and the buffer.
void Deliver(SRB_ExecSCSICmd& srb, std::span<const uint8_t> answer, uint32_t allocation) {
    const size_t length = std::min<size_t>({answer.size(), allocation, srb.SRB_BufLen});
    if (length > 0) {
        std::memcpy(srb.SRB_BufPointer, answer.data(), length);
    }
}

} // namespace

DrivePlay::DrivePlay(const AspiLayer& below, uint8_t adapter, uint8_t target,
                     const SinkFactory& makeSink, const PlaySettings& settings)
    : below_(below), adapter_(adapter), target_(target),
      makeSink_(makeSink), settings_{std::max(settings.chunkFrames, uint32_t{1}),
                                     std::max(settings.bufferFrames,
                                              std::max(settings.chunkFrames, uint32_t{1})),
                                     std::max(settings.readTries, 1),
                                     std::max(settings.failedChunksToStop, uint32_t{1}),
                                     settings.deemphasis},
      ring_(settings_.bufferFrames), stage_(settings.deemphasis) {}

DrivePlay::~DrivePlay() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        quitting_ = true;
        StopJob();
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    SyncSpeed(); // the program closes: the drive gets its fastest back
    const std::lock_guard sinkLock(sinkMutex_);
    sink_.reset(); // the sink stops taking before the feed goes
}

DrivePlayStats DrivePlay::Stats() const {
    const std::lock_guard lock(mutex_);
    return stats_;
}

uint32_t DrivePlay::Send(SRB_ExecSCSICmd& srb) {
    const std::lock_guard command(commandMutex_);
    std::unique_lock lock(mutex_);
    return Handle(srb, lock);
}

uint32_t DrivePlay::Handle(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock) {
    const std::array<uint8_t, 16> cdb = CommandBlock(srb);
    const uint8_t opcode = cdb[0];
    if (opcode != kOpRequestSense && opcode != kOpInquiry) {
        pendingSense_.reset(); // a refusal's sense waits for the next command only
    }
    // A request a drive could not even be given goes on as it is, for the layer below to refuse.
    if (srb.SRB_CDBLen < CommandLength(opcode) || (!srb.SRB_BufPointer && srb.SRB_BufLen != 0)) {
        const uint32_t status = PassThrough(srb, lock);
        lock.unlock();
        return status;
    }
    Follow(); // the model stands where the sound is now
    const bool digital = mode_ == Mode::Digital;
    const uint64_t generation = generation_;
    After after;
    uint32_t status = SS_COMP;
    switch (opcode) {
    case kOpPlayAudio10:
    case kOpPlayAudio12:
    case kOpPlayAudioMsf:
        status = Play(srb, lock, after);
        break;
    case kOpPauseResume:
        status = digital ? PauseResume(srb) : PassThrough(srb, lock);
        break;
    case kOpStopPlayScan:
        if (digital) {
            model_.Stop();
            StopJob();
            status = Complete(srb, PlayRefusal::None);
        } else {
            status = PassThrough(srb, lock);
        }
        break;
    case kOpSeek10:
        if (digital) {
            const PlayRefusal refusal = model_.Seek(static_cast<int32_t>(ReadBe32(cdb, 2)));
            if (refusal == PlayRefusal::None) {
                StopJob(); // moving the head ends a play
            }
            status = Complete(srb, refusal);
        } else {
            status = PassThrough(srb, lock);
        }
        break;
    case kOpReadSubChannel:
        status = digital ? ReadSubChannel(srb, lock) : PassThrough(srb, lock);
        break;
    case kOpStartStopUnit: {
        const bool loadEject = (cdb[4] & 0x02) != 0;
        const bool start = (cdb[4] & 0x01) != 0;
        const bool powerCondition = (cdb[4] >> 4) != 0;
        if (!powerCondition && (loadEject || !start)) {
            if (digital) {
                model_.Stop(); // an eject, a load or a spindle stop ends the play
                StopJob();
            }
            // The drive gets its fastest back while it still holds the disc.
            lock.unlock();
            SyncSpeed();
            lock.lock();
            if (loadEject) {
                ForgetDisc(); // what comes back on the tray is another disc, as far as we know
            }
        }
        status = PassThrough(srb, lock);
        break;
    }
    case kOpRequestSense:
        status = RequestSense(srb, lock);
        break;
    default:
        status = PassThrough(srb, lock);
        break;
    }
    const bool changed = generation_ != generation;
    const bool playing = job_.active;
    lock.unlock();
    if (after.stopDrivesPlay) {
        // A drive playing on its own (another program started it) stops: one sound at a time.
        SendCommandBlock(below_.sendCommand, adapter_, target_, StopPlayScanCdb(), {});
    }
    if (changed) {
        WakeSink(playing); // the first digital play of this drive makes its sink
    }
    return status;
}

void DrivePlay::Adopt(int32_t head) {
    const std::lock_guard command(commandMutex_);
    std::unique_lock lock(mutex_);
    if (!discKnown_ && !LearnDisc(lock)) {
        return;
    }
    const int32_t end = model_.Disc().leadOut;
    if (head < playback::kFirstPregapLba || head >= end) {
        return; // a position off the disc, whatever the drive says: it plays on on its own
    }
    SRB_ExecSCSICmd srb;
    const Cdb12 play =
        PlayAudio12Cdb(static_cast<uint32_t>(head), static_cast<uint32_t>(end - head));
    if (PrepareRequest(srb, adapter_, target_, play, {})) {
        Handle(srb, lock);
    }
}

uint32_t DrivePlay::Play(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock, After& after) {
    if (mode_ == Mode::Analog || (!discKnown_ && !LearnDisc(lock))) {
        return PassThrough(srb, lock); // the drive plays, or refuses, on its own
    }
    const std::array<uint8_t, 16> cdb = CommandBlock(srb);
    if (mode_ == Mode::Undecided && playback::PlaysFromHead(cdb)) {
        // "From the current position" means the drive's own head until the layer plays.
        std::array<uint8_t, kPositionAnswerLength> answer{};
        if (SendOwn(lock, ReadPositionCdb(), answer).Ok()) {
            model_.Seek(static_cast<int32_t>(ReadBe32(answer, 8))); // absolute address
        }
    }
    const uint32_t before = model_.Run();
    const PlayRefusal refusal = model_.PlayCommand(cdb);
    const bool started = model_.Run() != before;
    if (mode_ == Mode::Undecided) {
        if (!started) {
            return PassThrough(srb, lock); // nothing to play digitally: the drive answers
        }
        mode_ = Mode::Digital;
        stats_.digital = true;
        after.stopDrivesPlay = true;
    }
    if (started) {
        StartJob();
    }
    return Complete(srb, refusal);
}

uint32_t DrivePlay::PauseResume(SRB_ExecSCSICmd& srb) {
    const bool resume = (srb.CDBByte[8] & 0x01) != 0;
    const uint32_t before = model_.Run();
    const PlayRefusal refusal = resume ? model_.Resume() : model_.Pause();
    if (!resume && refusal == PlayRefusal::None) {
        StopJob(); // what was read ahead is dropped: resuming reads from the held position
    }
    if (resume && model_.Run() != before) {
        StartJob();
    }
    return Complete(srb, refusal);
}

uint32_t DrivePlay::ReadSubChannel(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock) {
    const std::array<uint8_t, 16> cdb = CommandBlock(srb);
    const bool msf = (cdb[1] & 0x02) != 0;
    const bool subQ = (cdb[2] & 0x40) != 0;
    const uint8_t format = cdb[3];
    const uint32_t allocation = ReadBe16(cdb, 7);
    if (subQ && format != kSubChannelCurrentPosition) {
        return ReadCode(srb, lock);
    }
    std::array<uint8_t, kPositionAnswerLength> answer{};
    const std::optional<playback::QPosition> heard = QAtHead();
    const uint32_t length = playback::AnswerCurrentPosition(model_, subQ, msf, allocation, answer,
                                                            heard ? &*heard : nullptr);
    Deliver(srb, std::span<const uint8_t>(answer).first(length), allocation);
    return Complete(srb, PlayRefusal::None);
}

uint32_t DrivePlay::ReadCode(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock) {
    const std::array<uint8_t, 16> cdb = CommandBlock(srb);
    const uint8_t format = cdb[3];
    const uint32_t allocation = ReadBe16(cdb, 7);
    const playback::DiscTrack* track = nullptr;
    const std::string* code = format == kSubChannelCatalog ? &catalog_ : nullptr;
    if (format == kSubChannelIsrc) {
        for (const playback::DiscTrack& candidate : model_.Disc().tracks) {
            const auto seen = isrc_.find(candidate.number);
            if (candidate.number == cdb[6] && seen != isrc_.end()) {
                track = &candidate;
                code = &seen->second;
            }
        }
    }
    if (!code || code->empty()) {
        // Not carried by any Q read so far: the drive answers, with the play's audio status.
        const uint32_t status = PassThrough(srb, lock);
        if (status == SS_COMP && mode_ == Mode::Digital && allocation >= 2 && srb.SRB_BufLen >= 2) {
            srb.SRB_BufPointer[1] = playback::ReportedAudioStatus(model_, allocation);
        }
        return status;
    }
    std::array<uint8_t, kCodeAnswerLength> answer{};
    const uint32_t length = playback::AnswerCode(model_, allocation, answer, track, *code);
    Deliver(srb, std::span<const uint8_t>(answer).first(length), allocation);
    return Complete(srb, PlayRefusal::None);
}

uint32_t DrivePlay::RequestSense(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock) {
    if (!pendingSense_) {
        return PassThrough(srb, lock);
    }
    const Sense sense = *pendingSense_;
    pendingSense_.reset();
    Deliver(srb, FixedSenseData(sense), srb.CDBByte[4]); // allocation length
    return Complete(srb, PlayRefusal::None);
}

uint32_t DrivePlay::Complete(SRB_ExecSCSICmd& srb, PlayRefusal refusal) {
    srb.SRB_HaStat = HASTAT_OK;
    uint8_t status = SS_COMP;
    srb.SRB_TargStat = STATUS_GOOD;
    if (refusal != PlayRefusal::None) {
        const Sense sense = playback::SenseOf(refusal);
        const auto data = FixedSenseData(sense);
        std::memcpy(srb.SenseArea, data.data(),
                    std::min({size_t{srb.SRB_SenseLen}, sizeof srb.SenseArea, data.size()}));
        srb.SRB_TargStat = STATUS_CHKCOND;
        pendingSense_ = sense;
        status = SS_ERR;
    }
    srb.SRB_Status = status; // last: the request is complete from here on
    return status;
}

uint32_t DrivePlay::PassThrough(SRB_ExecSCSICmd& srb, std::unique_lock<std::mutex>& lock) {
    lock.unlock(); // a slow command (a tray that moves) holds up neither the reader nor the sink
    const Completion completion = SubmitRequest(below_.sendCommand, srb);
    lock.lock();
    Watch(srb, completion);
    return completion.status;
}

Completion DrivePlay::SendOwn(std::unique_lock<std::mutex>& lock, std::span<const uint8_t> cdb,
                              std::span<uint8_t> data) {
    lock.unlock(); // as for a command passed on
    const Completion completion =
        SendCommandBlock(below_.sendCommand, adapter_, target_, cdb, data);
    lock.lock();
    return completion;
}

void DrivePlay::Watch(const SRB_ExecSCSICmd& srb, const Completion& completion) {
    if (completion.NoDevice() || completion.DiscGone()) {
        if (discKnown_ || mode_ != Mode::Undecided) {
            ForgetDisc();
        }
        return;
    }
    const std::array<uint8_t, 16> cdb = CommandBlock(srb);
    const bool tocInLba = cdb[0] == kOpReadToc && (cdb[1] & 0x02) == 0 && (cdb[2] & 0x0F) == 0 &&
                          (cdb[9] >> 6) == 0 && cdb[6] <= 1;
    if (completion.Ok() && discKnown_ && tocInLba) {
        const size_t received = std::min<size_t>(srb.SRB_BufLen, ReadBe16(cdb, 7));
        const std::optional<DiscLayout> layout =
            DecodeToc(std::span<const uint8_t>(srb.SRB_BufPointer, received));
        if (layout && !SameLayout(*layout, model_.Disc())) {
            ForgetDisc(); // another disc: the play of the one before is over
        }
    }
}

bool DrivePlay::LearnDisc(std::unique_lock<std::mutex>& lock) {
    const uint64_t epoch = discEpoch_;
    std::vector<uint8_t> answer(kTocImageSize);
    const Cdb10 readToc = ReadTocCdb(0, kTocImageSize); // the table of contents, LBA form
    Completion completion = SendOwn(lock, readToc, answer);
    if (!completion.Ok() && completion.sense.key == kSenseKeyUnitAttention) {
        completion = SendOwn(lock, readToc, answer); // the news is told
    }
    if (!completion.Ok() || discEpoch_ != epoch) {
        return false; // no disc to be read, or the reader found it gone meanwhile
    }
    std::optional<DiscLayout> layout = DecodeToc(answer);
    if (!layout) {
        return false;
    }
    model_.SetDisc(std::move(*layout));
    discKnown_ = true;
    return true;
}

void DrivePlay::ForgetDisc() {
    StopJob();
    ++discEpoch_;
    model_.SetDisc({});
    mode_ = Mode::Undecided;
    discKnown_ = false;
    discDelivered_ = false;
    stats_.digital = false;
    stats_.analog = false;
    speed_.DiscChanged();
    lastReadQ_.reset();
    lastHeardQ_.reset();
    nextQ_.reset();
    catalog_.clear();
    isrc_.clear();
}

// ---- the read speed -----------------------------------------------------------------------

std::optional<uint16_t> DrivePlay::SpeedDue() const {
    if (mode_ == Mode::Analog && !quit_) {
        return std::nullopt; // the drive plays on its own: a speed command may stop that play
    }
    const auto audio = model_.State();
    const bool playing = !quit_ && mode_ == Mode::Digital &&
                         (audio == playback::PlayModel::Audio::Playing ||
                          audio == playback::PlayModel::Audio::Paused);
    return speed_.Due(playing);
}

void DrivePlay::SyncSpeed() {
    const std::lock_guard speedLock(speedMutex_);
    std::optional<uint16_t> due;
    {
        const std::lock_guard lock(mutex_);
        due = SpeedDue();
    }
    if (!due) {
        return;
    }
    const Completion completion =
        SendCommandBlock(below_.sendCommand, adapter_, target_, SetCdSpeedCdb(*due), {});
    // Refused: the command is unknown, the speed field not taken, or the pass-through would not
    // send it at all (a read-only device node): then no check condition came back.
    const bool refused = completion.sense == kSenseInvalidOperationCode ||
                         completion.sense == kSenseInvalidFieldInCdb ||
                         (completion.status == SS_ERR && completion.sense == kSenseNone);
    const std::lock_guard lock(mutex_);
    speed_.Sent(*due, completion.Ok() ? SpeedPolicy::Outcome::Taken
                      : refused       ? SpeedPolicy::Outcome::Refused
                                      : SpeedPolicy::Outcome::Failed);
}

} // namespace audio
