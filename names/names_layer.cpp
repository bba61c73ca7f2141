// The disc-names layer's answer to READ TOC format 5, and its two ASPI entries.
#include "names/names_layer.h"

#include "disc/cdtext.h"
#include "drive/aspi_request.h"
#include "drive/big_endian.h"
#include "drive/command_blocks.h"
#include "drive/scsi_opcodes.h"
#include "drive/srb.h"
#include "drive/toc_layout.h"
#include "names/name_packs.h"
#include "platform/layer_slot.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

namespace names {

namespace {

constexpr uint8_t kFormatCdText = 0x05;
constexpr uint8_t kFormatToc = 0x00;
constexpr size_t kRememberedPacks = 32; // discs: more than a user changes in a session

bool AsksForCdText(const SRB_ExecSCSICmd& srb) {
    return srb.SRB_Lun == 0 && srb.CDBByte[0] == kOpReadToc &&
           (srb.CDBByte[2] & 0x0F) == kFormatCdText;
}

} // namespace

NamesLayer::NamesLayer(const AspiLayer& below, NameSource& source)
    : below_(below), source_(source) {}

NamesLayer::~NamesLayer() {
    Uninstall();
    if (module_) {
        CloseModule(module_);
    }
}

std::unique_ptr<NamesLayer> NamesLayer::OverInstalled(NameSource& source) {
    const std::optional<AspiLibrary> library = OpenAspiLibrary();
    if (!library) {
        return nullptr;
    }
    auto layer = std::make_unique<NamesLayer>(library->entries, source);
    layer->module_ = library->module;
    return layer;
}

AspiLayer NamesLayer::Entries() {
    return LayerSlot<NamesLayer>::Entries();
}

void NamesLayer::Install() {
    LayerSlot<NamesLayer>::Install(*this);
}

void NamesLayer::Uninstall() {
    LayerSlot<NamesLayer>::Uninstall(*this, &below_);
}

uint32_t NamesLayer::GetSupportInfo() const {
    return below_.getSupportInfo();
}

uint32_t NamesLayer::SendCommand(void* request) {
    if (!request || static_cast<const uint8_t*>(request)[0] != SC_EXEC_SCSI_CMD) {
        return below_.sendCommand(request); // not a command for a drive: the layer below answers
    }
    auto& srb = *static_cast<SRB_ExecSCSICmd*>(request);
    if (AsksForCdText(srb) && AnswerWithNames(srb)) {
        return SS_COMP;
    }
    return SubmitRequest(below_.sendCommand, srb).status;
}

bool NamesLayer::AnswerWithNames(SRB_ExecSCSICmd& srb) {
    const uint8_t adapter = srb.SRB_HaId;
    const uint8_t target = srb.SRB_Target;
    // The disc's own CD-Text, when it has any that the window can use, is what the drive says.
    std::vector<uint8_t> own(kDiscTextBufferLength);
    if (SendCommandBlock(below_.sendCommand, adapter, target,
                         ReadCdTextCdb(static_cast<uint32_t>(own.size())), own)
            .Ok() &&
        IsUsableDiscText(own,
                         std::min(static_cast<int32_t>(ReadBe16(own, 0)), kDiscTextLengthCap))) {
        return false;
    }
    std::array<uint8_t, kTocImageSize> toc{};
    if (!SendCommandBlock(below_.sendCommand, adapter, target,
                          ReadTocCdb(kFormatToc, static_cast<uint32_t>(toc.size())), toc)
             .Ok()) {
        return false;
    }
    const std::optional<TrackTable> table = DecodeTrackTable(toc);
    const std::optional<DiscIdentity> disc = table ? IdentifyTracks(*table) : std::nullopt;
    const std::vector<uint8_t> packs = disc ? PacksFor(*disc, *table) : std::vector<uint8_t>();
    if (packs.empty()) {
        return false;
    }

    // As a drive answers: the data length, two reserved bytes, the packs; cut to the allocation
    // length and to the buffer.
    std::vector<uint8_t> answer(4 + packs.size());
    WriteBe16(answer, 0, static_cast<uint32_t>(2 + packs.size())); // CD-TEXT data length
    std::ranges::copy(packs, answer.begin() + 4);
    const size_t allocation = ReadBe16(std::span<const uint8_t>(srb.CDBByte), 7);
    const size_t delivered = std::min({answer.size(), allocation, size_t{srb.SRB_BufLen}});
    if (delivered > 0 && srb.SRB_BufPointer == nullptr) {
        return false; // the drive below refuses that request as it refuses any other
    }
    if (delivered > 0) {
        std::memcpy(srb.SRB_BufPointer, answer.data(), delivered);
    }
    srb.SRB_HaStat = 0;
    srb.SRB_TargStat = STATUS_GOOD;
    std::atomic_ref<uint8_t>(srb.SRB_Status).store(SS_COMP);
    return true;
}

std::vector<uint8_t> NamesLayer::PacksFor(const DiscIdentity& disc, const TrackTable& table) {
    // The same audio with or without a data session after it is one disc ID, not one table.
    const std::string key = disc.id + "/" + std::to_string(table.tracks.size());
    {
        const std::lock_guard lock(mutex_);
        if (const auto made = packs_.find(key); made != packs_.end()) {
            return made->second;
        }
    }
    const std::optional<DiscNames> names = source_.NamesFor(disc);
    if (!names) {
        return {};
    }
    std::vector<uint8_t> packs = BuildNamePacks(*names, table);
    const std::lock_guard lock(mutex_);
    if (packs_.size() >= kRememberedPacks) {
        packs_.clear();
    }
    packs_[key] = packs;
    return packs;
}

} // namespace names
