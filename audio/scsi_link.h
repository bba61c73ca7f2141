// How the digital play layer talks to the layer below it: one request at a time, built here,
// sent, and waited for until the layer below has completed it, with the sense that came back.
#pragma once

#include "platform/aspi_layer.h"

#include <cstdint>
#include <span>

namespace audio {

struct Completion {
    uint8_t status = 0;   // SRB_Status as completed
    uint8_t senseKey = 0; // the sense of a check condition, else 0
    uint8_t asc = 0;
    uint8_t ascq = 0;

    bool Ok() const;
    bool NoDevice() const;
    bool Is(uint8_t key, uint8_t code, uint8_t qualifier) const;
    // The disc went away or changed under the drive: no medium, or a unit attention.
    bool DiscGone() const;
};

// Sends `cdb` (6, 10 or 12 bytes by its group) to a target through `layer` with `data` as the
// data-in buffer, and waits for the completion. A command block shorter than its group completes
// as SS_INVALID_SRB without being sent.
Completion SendThrough(const AspiLayer& layer, uint8_t adapter, uint8_t target,
                       std::span<const uint8_t> cdb, std::span<uint8_t> data);

// Submits a request the caller built to `layer` and waits until it is complete: how it ended, with
// the sense that came back (zeros without a check condition).
Completion Submit(const AspiLayer& layer, void* request);

} // namespace audio
