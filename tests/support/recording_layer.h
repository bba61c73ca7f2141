// A fake ASPI layer for tests: it records every request it is given and answers with the
// status and data a test sets, per operation code or for every command.
#pragma once

#include "drive/srb.h"
#include "platform/layer_slot.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

struct RecordedRequest {
    SRB_ExecSCSICmd srb;      // the request as submitted (status still SS_PENDING)
    std::vector<uint8_t> cdb; // its first SRB_CDBLen command bytes
};

class RecordingLayer {
public:
    uint32_t supportInfo = 0x0101;                // SS_COMP, one host adapter
    uint8_t status = SS_COMP;                     // answer to every command...
    std::function<void(SRB_ExecSCSICmd&)> answer; // ...or this, when set: fill data and status

    RecordingLayer() { LayerSlot<RecordingLayer>::Install(*this); }
    ~RecordingLayer() { LayerSlot<RecordingLayer>::Uninstall(*this, nullptr); }
    RecordingLayer(const RecordingLayer&) = delete;
    RecordingLayer& operator=(const RecordingLayer&) = delete;

    std::vector<RecordedRequest> requests;

    // The two entries, as the installed layer answers them.
    uint32_t GetSupportInfo() const { return supportInfo; }
    uint32_t SendCommand(void* request) {
        auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
        RecordedRequest recorded{*srb, {}};
        recorded.cdb.assign(srb->CDBByte, srb->CDBByte + srb->SRB_CDBLen);
        requests.push_back(recorded);
        if (answer) {
            answer(*srb);
        } else {
            srb->SRB_Status = status;
        }
        return srb->SRB_Status;
    }
};
