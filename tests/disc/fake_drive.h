// A stand-in for the drives the disc tests talk to: each target answers READ TOC format 0,
// READ TOC format 5 (CD-Text) and READ CAPACITY from byte arrays the test sets, cut to the
// allocation length like a real drive; every command block is recorded by the layer below.
#pragma once

#include "drive/aspi.h"
#include "drive/commands.h"
#include "tests/support/recording_layer.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

struct FakeDisc {
    std::vector<uint8_t> toc;      // READ TOC format 0 answer
    std::vector<uint8_t> capacity; // READ CAPACITY answer
    std::vector<uint8_t> discText; // READ TOC format 5 answer, header included
    uint8_t tocStatus = SS_COMP;
    uint8_t capacityStatus = SS_COMP;
    std::deque<uint8_t> discTextStatuses; // one per format-5 read, in order; SS_COMP once used up
};

class FakeDrives {
public:
    std::map<int, FakeDisc> discs; // by target id; a target without a disc answers SS_NO_DEVICE

    FakeDrives() {
        layer.answer = [this](SRB_ExecSCSICmd& srb) { Answer(srb); };
        loaded = LoadAspi() != 0;
    }
    ~FakeDrives() { UnloadAspi(); }
    FakeDrives(const FakeDrives&) = delete;
    FakeDrives& operator=(const FakeDrives&) = delete;

    bool loaded = false;
    RecordingLayer layer;

    std::vector<std::vector<uint8_t>> SentCommands() const {
        std::vector<std::vector<uint8_t>> sent;
        for (const RecordedRequest& request : layer.requests) {
            sent.push_back(request.cdb);
        }
        return sent;
    }

private:
    void Answer(SRB_ExecSCSICmd& srb) {
        auto found = discs.find(srb.SRB_Target);
        if (found == discs.end()) {
            srb.SRB_Status = SS_NO_DEVICE;
            return;
        }
        FakeDisc& disc = found->second;
        const uint8_t* cdb = srb.CDBByte;
        if (cdb[0] == kOpReadCapacity) {
            Reply(srb, disc.capacity, disc.capacityStatus);
        } else if (cdb[0] == kOpReadToc && cdb[2] == 0x05) {
            uint8_t status = SS_COMP;
            if (!disc.discTextStatuses.empty()) {
                status = disc.discTextStatuses.front();
                disc.discTextStatuses.pop_front();
            }
            Reply(srb, disc.discText, status);
        } else if (cdb[0] == kOpReadToc && cdb[2] == 0x00 && (cdb[9] >> 6) == 0) {
            Reply(srb, disc.toc, disc.tocStatus);
        } else {
            srb.SRB_Status = SS_ERR;
        }
    }

    // A failed command moves no data; a completed one moves what fits the allocation length.
    static void Reply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& answer, uint8_t status) {
        srb.SRB_Status = status;
        if (status != SS_COMP) {
            return;
        }
        const uint32_t allocation = (uint32_t{srb.CDBByte[7]} << 8) | srb.CDBByte[8];
        const size_t moved = std::min<size_t>(
            {answer.size(), srb.SRB_BufLen, srb.CDBByte[0] == kOpReadCapacity ? 8u : allocation});
        std::copy_n(answer.begin(), moved, srb.SRB_BufPointer);
    }
};

// A READ TOC format-0 answer in LBA form: one descriptor per track, then the lead-out.
struct TocTrack {
    int32_t start;
    uint8_t control = 0x00; // 0x04: data track
};

inline std::vector<uint8_t> MakeToc(int firstTrack, const std::vector<TocTrack>& tracks,
                                    int32_t leadOut) {
    std::vector<uint8_t> toc(4);
    auto descriptor = [&toc](uint8_t control, uint8_t number, int32_t start) {
        const auto address = static_cast<uint32_t>(start);
        toc.insert(toc.end(),
                   {0x00, static_cast<uint8_t>(0x10 | control), number, 0x00,
                    static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                    static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)});
    };
    for (size_t i = 0; i < tracks.size(); ++i) {
        descriptor(tracks[i].control, static_cast<uint8_t>(firstTrack + static_cast<int>(i)),
                   tracks[i].start);
    }
    descriptor(tracks.empty() ? 0x00 : tracks.back().control, 0xAA, leadOut);
    const size_t dataLength = toc.size() - 2;
    toc[0] = static_cast<uint8_t>(dataLength >> 8);
    toc[1] = static_cast<uint8_t>(dataLength);
    toc[2] = static_cast<uint8_t>(firstTrack);
    toc[3] = static_cast<uint8_t>(firstTrack + static_cast<int>(tracks.size()) - 1);
    return toc;
}

// n audio tracks of one minute each from frame 0; the lead-out after the last.
inline std::vector<uint8_t> MakeAudioToc(int firstTrack, int trackCount) {
    std::vector<TocTrack> tracks;
    for (int i = 0; i < trackCount; ++i) {
        tracks.push_back({i * 4500});
    }
    return MakeToc(firstTrack, tracks, trackCount * 4500);
}

// A READ CAPACITY answer whose last block address is lastBlock.
inline std::vector<uint8_t> MakeCapacity(uint32_t lastBlock) {
    return {static_cast<uint8_t>(lastBlock >> 24),
            static_cast<uint8_t>(lastBlock >> 16),
            static_cast<uint8_t>(lastBlock >> 8),
            static_cast<uint8_t>(lastBlock),
            0x00,
            0x00,
            0x08,
            0x00};
}
