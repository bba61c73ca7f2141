// The digital play layer's two ASPI entries and its drives. A drive gets its DrivePlay with the
// first PLAY sent to it; until then its requests pass straight through.
#include "audio/play_layer.h"

#include "drive/scsi_opcodes.h"
#include "drive/srb.h"

#include <atomic>

namespace audio {

namespace {

std::atomic<PlayLayer*> installedLayer = nullptr;
AspiLayer restoreOnUninstall{};

uint32_t InstalledSupportInfo() {
    PlayLayer* layer = installedLayer.load();
    return layer ? layer->GetSupportInfo() : uint32_t{SS_NO_ADAPTERS} << 8;
}

uint32_t InstalledSendCommand(void* request) {
    if (PlayLayer* layer = installedLayer.load()) {
        return layer->SendCommand(request);
    }
    // A module loaded while the layer was there: every request completes, none reaches a drive.
    if (request) {
        static_cast<uint8_t*>(request)[1] = SS_INVALID_HA; // SRB_Status
    }
    return SS_INVALID_HA;
}

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
    ModuleHandle module = OpenModule("WNASPI32.DLL");
    if (!module) {
        return nullptr;
    }
    const AspiLayer below{
        reinterpret_cast<uint32_t (*)()>(FindModuleEntry(module, "GetASPI32SupportInfo")),
        reinterpret_cast<uint32_t (*)(void*)>(FindModuleEntry(module, "SendASPI32Command"))};
    if (!below.getSupportInfo || !below.sendCommand) {
        CloseModule(module);
        return nullptr;
    }
    auto layer = std::make_unique<PlayLayer>(below, std::move(makeSink), settings);
    layer->module_ = module;
    return layer;
}

AspiLayer PlayLayer::Entries() {
    return AspiLayer{&InstalledSupportInfo, &InstalledSendCommand};
}

void PlayLayer::Install() {
    installedLayer = this;
    restoreOnUninstall = below_;
    const AspiLayer entries = Entries();
    InstallAspiLayer(&entries);
}

void PlayLayer::Uninstall() {
    PlayLayer* self = this;
    if (installedLayer.compare_exchange_strong(self, nullptr)) {
        InstallAspiLayer(&restoreOnUninstall);
    }
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
