// The digital play layer's two ASPI entries and its drives. A drive gets its DrivePlay with the
// first PLAY sent to it; until then its requests pass straight through.
#include "audio/play_layer.h"

#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "platform/layer_slot.h"

namespace audio {

namespace {

bool StartsPlay(uint8_t opcode) {
    return opcode == kOpPlayAudio10 || opcode == kOpPlayAudio12 || opcode == kOpPlayAudioMsf;
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
    AspiLayer below;
    ModuleHandle module = OpenAspiEntries(below);
    if (!module) {
        return nullptr;
    }
    auto layer = std::make_unique<PlayLayer>(below, std::move(makeSink), settings);
    layer->module_ = module;
    return layer;
}

AspiLayer PlayLayer::Entries() {
    return LayerSlot<PlayLayer>::Entries();
}

void PlayLayer::Install() {
    LayerSlot<PlayLayer>::Install(this, below_);
}

void PlayLayer::Uninstall() {
    LayerSlot<PlayLayer>::Uninstall(this);
}

uint32_t PlayLayer::GetSupportInfo() const {
    return below_.getSupportInfo();
}

uint32_t PlayLayer::SendCommand(void* request) {
    if (!request || static_cast<const uint8_t*>(request)[0] != SC_EXEC_SCSI_CMD) {
        return below_.sendCommand(request); // not a command for a drive: the layer below answers
    }
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    const auto key = static_cast<uint16_t>(srb.SRB_HaId << 8 | srb.SRB_Target);
    DrivePlay* drive = nullptr;
    {
        const std::lock_guard lock(mutex_);
        auto found = drives_.find(key);
        if (found == drives_.end() && srb.SRB_Lun == 0 && StartsPlay(srb.CDBByte[0])) {
            found =
                drives_
                    .emplace(key, std::make_unique<DrivePlay>(below_, srb.SRB_HaId, srb.SRB_Target,
                                                              makeSink_, settings_))
                    .first;
        }
        if (found != drives_.end() && srb.SRB_Lun == 0) {
            drive = found->second.get(); // lives as long as the layer
        }
    }
    if (!drive) {
        return Submit(below_, request).status;
    }
    return drive->Send(srb);
}

DrivePlayStats PlayLayer::Stats(int adapter, int target) const {
    const std::lock_guard lock(mutex_);
    const auto found = drives_.find(static_cast<uint16_t>((adapter & 0xFF) << 8 | (target & 0xFF)));
    return found == drives_.end() ? DrivePlayStats{} : found->second->Stats();
}

} // namespace audio
