// The disc-names layer: an ASPI layer that decorates the one installed below it (the Linux SG
// layer, the virtual bus, the digital play layer: in either order with the latter) and gives a
// disc without CD-Text of its own the names a lookup found, as CD-Text. For READ TOC format 5 it
// asks the drive first: a drive that answers with usable CD-Text is passed straight through, as
// is every other command. For a disc without it whose names its source knows, it answers with
// CD-Text packs of those names, exactly as a disc that carries them; names not known yet leave
// the drive's own answer ("no CD-Text") in place.
//
//     names::NamesLayer layer(below, source);   // or NamesLayer::OverInstalled(source)
//     layer.Install();                          // "WNASPI32.DLL" is now this layer
//     // destroying the layer puts `below` back; it must go before the layer below it does
//
// The two entries may be called from several threads at once.
#pragma once

#include "disc/toc.h"
#include "names/name_source.h"
#include "platform/aspi_layer.h"
#include "platform/module.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct SRB_ExecSCSICmd;

namespace names {

class NamesLayer {
public:
    NamesLayer(const AspiLayer& below, NameSource& source);
    ~NamesLayer();
    NamesLayer(const NamesLayer&) = delete;
    NamesLayer& operator=(const NamesLayer&) = delete;

    // A layer over what answers to "WNASPI32.DLL" now (kept loaded while the layer lives), or
    // nullptr when nothing does.
    static std::unique_ptr<NamesLayer> OverInstalled(NameSource& source);

    void Install();
    void Uninstall();
    static AspiLayer Entries();

    uint32_t GetSupportInfo() const;
    uint32_t SendCommand(void* request);

private:
    // True when it answered the request with the names' packs.
    bool AnswerWithNames(SRB_ExecSCSICmd& request);

    // The packs of the discs named so far: a disc's names never change once found, and making
    // the packs romanizes every text.
    std::vector<uint8_t> PacksFor(const DiscIdentity& disc, const TrackTable& table);

    const AspiLayer below_;
    NameSource& source_;
    ModuleHandle module_ = nullptr; // the library below, when this layer loaded it
    std::mutex mutex_;              // guards packs_
    std::map<std::string, std::vector<uint8_t>> packs_; // by disc ID and track count
};

} // namespace names
