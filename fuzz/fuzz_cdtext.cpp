// Fuzz target: any READ TOC format-5 answer a drive may give, through the CD-Text fetch and every
// item the disc refresh would ask for, plus items of any pack type, index and claimed length.
// The one-walk decoder must give every one of those items exactly as the one-item walk does.
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "drive/aspi.h"
#include "drive/srb.h"
#include "platform/aspi_layer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

std::span<const uint8_t> answer;

uint32_t OneAdapter() {
    return 0x0101;
}

// Answers every command with the fuzzer's bytes, cut to the request's buffer, as a drive would.
uint32_t AnswerWithInput(void* request) {
    auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
    const uint32_t bufLen = srb->SRB_BufLen;
    const size_t length = std::min<size_t>(bufLen, answer.size());
    if (srb->SRB_BufPointer != nullptr && length > 0) {
        std::memcpy(srb->SRB_BufPointer, answer.data(), length);
    }
    srb->SRB_Status = SS_COMP;
    return SS_COMP;
}

bool LoadOnce() {
    static const AspiLayer layer{&OneAdapter, &AnswerWithInput};
    InstallAspiLayer(&layer);
    return LoadAspi() != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool loaded = LoadOnce();
    if (!loaded || size < 4) {
        return 0;
    }
    // The first four bytes choose one free-form extraction; the rest is the drive's answer.
    const uint8_t packType = data[0];
    const int32_t itemIndex = static_cast<int8_t>(data[1]);
    const int32_t claimedLength = static_cast<int16_t>((data[2] << 8) | data[3]);
    answer = std::span<const uint8_t>(data + 4, size - 4);

    std::vector<uint8_t> response(kDiscTextBufferLength);
    int32_t discTextLength = 0;
    if (FetchDiscText(0, 0, response, discTextLength)) {
        const DiscTextItems items(response, discTextLength);
        for (int32_t item = 0; item <= 99; ++item) {
            for (const uint8_t type : {kPackTypeTitle, kPackTypePerformer}) {
                if (items.Item(type, item) !=
                    ExtractDiscTextItem(type, item, response, discTextLength)) {
                    __builtin_trap();
                }
            }
        }
    }
    if (DiscTextItems(answer, claimedLength).Item(packType, itemIndex) !=
        ExtractDiscTextItem(packType, itemIndex, answer, claimedLength)) {
        __builtin_trap();
    }
    return 0;
}
