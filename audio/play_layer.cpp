// The digital play layer's two ASPI entries and its drives. A drive gets its DrivePlay with the
// first PLAY sent to it, or when it is found playing at install; until then its requests pass
// straight through.
#include "audio/play_layer.h"

#include "drive/aspi_request.h"
#include "drive/audio_status.h"
#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/inquiry.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "platform/layer_slot.h"

#include <array>
#include <optional>
#include <vector>

namespace audio {

namespace {

using Slot = LayerSlot<PlayLayer>;

bool StartsPlay(uint8_t opcode) {
    return opcode == kOpPlayAudio10 || opcode == kOpPlayAudio12 || opcode == kOpPlayAudioMsf;
}

uint16_t DriveKey(int adapter, int target) {
    return static_cast<uint16_t>((adapter & 0xFF) << 8 | (target & 0xFF));
}

// Where the head of a play stands that the device at this address makes on its own, if it is a
// drive the player lists (a connected CD-ROM drive of its vendor: no other device is sent an audio
// command, and no play the window cannot stop is taken over) and READ SUB-CHANNEL says it plays.
// Asked as the poll asks: the status of a play that runs is not used up by asking.
std::optional<int32_t> HeadOfOwnPlay(const AspiLayer& below, int adapter, int target) {
    std::array<uint8_t, kStandardInquiryLength> identity{};
    if (!SendCommandBlock(below.sendCommand, adapter, target, InquiryCdb(kStandardInquiryLength),
                          identity)
             .Ok() ||
        identity[0] != kPeripheralCdRom || !IsDriveVendor(identity.data() + kInquiryVendorAt)) {
        return std::nullopt;
    }
    std::array<uint8_t, kPositionAnswerLength> position{};
    if (!SendCommandBlock(below.sendCommand, adapter, target, ReadPositionCdb(), position).Ok() ||
        position[1] != kAudioStatusPlaying) {
        return std::nullopt;
    }
    return static_cast<int32_t>(ReadBe32(position, 8)); // absolute address
}

} // namespace

PlayLayer::PlayLayer(const AspiLayer& below, SinkFactory makeSink, PlaySettings settings)
    : below_(below), makeSink_(std::move(makeSink)), settings_(settings) {}

PlayLayer::~PlayLayer() {
    Uninstall();
    {
        const std::lock_guard lock(mutex_);
        drives_.clear(); // each stops its reader and its sink
    }
    if (module_) {
        CloseModule(module_);
    }
}

std::unique_ptr<PlayLayer> PlayLayer::OverInstalled(SinkFactory makeSink, PlaySettings settings) {
    const std::optional<AspiLibrary> library = OpenAspiLibrary();
    if (!library) {
        return nullptr;
    }
    auto layer = std::make_unique<PlayLayer>(library->entries, std::move(makeSink), settings);
    layer->module_ = library->module;
    return layer;
}

AspiLayer PlayLayer::Entries() {
    return Slot::Entries();
}

void PlayLayer::Install(Adopt adopt) {
    Slot::Install(*this);
    if (adopt == Adopt::Now) {
        AdoptPlays();
    }
}

void PlayLayer::LeaveToDrives() {
    leftToDrives_ = true;
    std::vector<DrivePlay*> drives;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& [key, drive] : drives_) {
            drives.push_back(drive.get());
        }
    }
    for (DrivePlay* drive : drives) {
        drive->HandBack();
    }
}

void PlayLayer::Uninstall() {
    Slot::Uninstall(*this, &below_);
}

void PlayLayer::AdoptPlays() {
    if (leftToDrives_) {
        return;
    }
    const uint32_t supportInfo = below_.getSupportInfo();
    const int adapters =
        (supportInfo >> 8 & 0xFF) == SS_COMP ? static_cast<int>(supportInfo & 0xFF) : 0;
    for (int adapter = 0; adapter < adapters; ++adapter) {
        for (int target = 0; target < kTargetsPerAdapter; ++target) {
            const std::optional<int32_t> head = HeadOfOwnPlay(below_, adapter, target);
            if (!head) {
                continue;
            }
            DrivePlay* drive = nullptr;
            {
                const std::lock_guard lock(mutex_);
                drive = &DriveAt(static_cast<uint8_t>(adapter), static_cast<uint8_t>(target));
            }
            drive->Adopt(*head);
        }
    }
}

DrivePlay& PlayLayer::DriveAt(uint8_t adapter, uint8_t target) {
    auto found = drives_.find(DriveKey(adapter, target));
    if (found == drives_.end()) {
        found =
            drives_
                .emplace(DriveKey(adapter, target),
                         std::make_unique<DrivePlay>(below_, adapter, target, makeSink_, settings_))
                .first;
        found->second->SetVolume(volume_);
    }
    return *found->second; // lives as long as the layer
}

uint32_t PlayLayer::GetSupportInfo() const {
    return below_.getSupportInfo();
}

uint32_t PlayLayer::SendCommand(void* request) {
    if (!request || static_cast<const uint8_t*>(request)[0] != SC_EXEC_SCSI_CMD) {
        return below_.sendCommand(request); // not a command for a drive: the layer below answers
    }
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    DrivePlay* drive = nullptr;
    if (srb.SRB_Lun == 0 && !leftToDrives_) {
        const std::lock_guard lock(mutex_);
        const auto found = drives_.find(DriveKey(srb.SRB_HaId, srb.SRB_Target));
        if (found != drives_.end()) {
            drive = found->second.get();
        } else if (StartsPlay(srb.CDBByte[0])) {
            drive = &DriveAt(srb.SRB_HaId, srb.SRB_Target);
        }
    }
    if (!drive) {
        return SubmitRequest(below_.sendCommand, srb).status;
    }
    return drive->Send(srb);
}

DrivePlayStats PlayLayer::Stats(int adapter, int target) const {
    const std::lock_guard lock(mutex_);
    const auto found = drives_.find(DriveKey(adapter, target));
    return found == drives_.end() ? DrivePlayStats{} : found->second->Stats();
}

void PlayLayer::SetVolume(double volume) {
    const std::lock_guard lock(mutex_);
    volume_ = PlayVolume(volume, volume_);
    for (const auto& [key, drive] : drives_) {
        drive->SetVolume(volume_);
    }
}

double PlayLayer::Volume() const {
    const std::lock_guard lock(mutex_);
    return volume_;
}

} // namespace audio
