// A fake ASPI layer for tests: it records every request it is given and answers with the
// status and data a test sets, per operation code or for every command.
#pragma once

#include "drive/srb.h"
#include "platform/aspi_layer.h"

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

    RecordingLayer() {
        current = this;
        AspiLayer layer{&GetSupportInfo, &SendCommand};
        InstallAspiLayer(&layer);
    }
    ~RecordingLayer() {
        InstallAspiLayer(nullptr);
        current = nullptr;
    }
    RecordingLayer(const RecordingLayer&) = delete;
    RecordingLayer& operator=(const RecordingLayer&) = delete;

    std::vector<RecordedRequest> requests;

private:
    static inline RecordingLayer* current = nullptr;

    static uint32_t GetSupportInfo() { return current->supportInfo; }
    static uint32_t SendCommand(void* request) {
        auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
        RecordedRequest recorded{*srb, {}};
        recorded.cdb.assign(srb->CDBByte, srb->CDBByte + srb->SRB_CDBLen);
        current->requests.push_back(recorded);
        if (current->answer) {
            current->answer(*srb);
        } else {
            srb->SRB_Status = current->status;
        }
        return srb->SRB_Status;
    }
};
