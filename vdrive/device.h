// A device on the virtual bus: what the bus hands it (a command block) and what it gives back (an
// answer length or a sense). The bus owns the cuts to the allocation and buffer lengths.
#pragma once

#include "drive/fixed_sense.h"
#include "drive/inquiry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vdrive {

// What a device answers: `length` bytes of the answer it wrote (before any cut), or a CHECK
// CONDITION with `sense`.
struct Reply {
    uint32_t length = 0;
    std::optional<Sense> sense;

    static Reply Data(uint32_t length) { return Reply{length, std::nullopt}; }
    static Reply Good() { return Reply{0, std::nullopt}; }
    static Reply Check(Sense sense) { return Reply{0, sense}; }
    bool failed() const { return sense.has_value(); }
};

// The command block as the bus hands it over: always 16 bytes, zero past the request's own length.
using Cdb = std::span<const uint8_t, 16>;

// Room for the largest answer a device builds: a 16-bit length field plus its own two bytes.
inline constexpr uint32_t kMaxAnswerLength = 65536 + 4;
// READ CD moves whole frames of up to 2352 bytes: a drive takes at most this many in one command
// (just under 512 KiB, a usual limit of a host's transfers; about three seconds of audio).
inline constexpr uint32_t kMaxReadCdFrames = 222;
inline constexpr uint32_t kMaxTransferLength = kMaxReadCdFrames * 2352;

class Device {
public:
    virtual ~Device() = default;
    // Runs one command. `answer` is zeroed and at least kMaxAnswerLength long (AnswerRoom tells
    // how long the bus makes it); the device writes from its start and returns how much it wrote
    // (the full answer: the bus cuts it). It writes nothing past that length, and nothing at all
    // when it fails: the bus clears only that much before the next command (and, to be safe, all
    // of the room after a failure).
    // Commands may come from several threads at once: a device serves them one at a time.
    virtual Reply Execute(Cdb cdb, std::span<uint8_t> answer) = 0;
    // A check condition that the bus raised for the device (fault injection): REQUEST SENSE then
    // reports it as the device would its own.
    virtual void SetPendingSense(Sense sense) = 0;
};

// The INQUIRY identity of a device, as the host sees it: fields are padded with blanks or cut to
// 8, 16 and 4 characters. Any byte may appear, NUL included, so that odd devices can be built.
struct Identity {
    std::string vendor = kDriveVendor;
    std::string product = "CD-ROM VX-6012SA";
    std::string revision = "1.12";
};

// Bytes 8-35 of a standard INQUIRY answer: vendor, product and revision, blank-padded.
void WriteIdentity(const Identity& identity, std::span<uint8_t> answer);

// The allocation length that a command block carries, or nothing for commands whose answer has
// a fixed size (READ CAPACITY) or that move no data.
std::optional<uint32_t> AllocationLength(Cdb cdb);

// The room the bus gives a command's answer: kMaxAnswerLength, and for READ CD what its transfer
// length needs, up to kMaxTransferLength (a drive refuses a longer transfer).
uint32_t AnswerRoom(Cdb cdb);

} // namespace vdrive
