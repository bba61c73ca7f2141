// A stand-in WNASPI32.DLL for the tests of the 32-bit Windows build: the real loader finds it,
// and the transport talks to it exactly as to an ASPI layer. Both entries use the C calling
// convention, as the transport's pointer types declare them.
//
// It reads the request by the byte offsets of the 80-byte layout, not through drive/srb.h, so
// that a layout slip on the program's side shows as a refused request.
//
// One host adapter, two CD-ROM drives of two vendors:
//   target 1  VORTANE, a three-track audio disc: INQUIRY, TEST UNIT READY, READ TOC (format 0),
//             PLAY AUDIO(12), READ SUB-CHANNEL (current position); anything else is an illegal
//             request
//   target 4  another vendor's drive: INQUIRY and TEST UNIT READY
//   others    no device: SS_ERR with a selection time-out
// A request for another adapter is refused by the return value alone, SRB_Status untouched, as
// some layers do. READ TOC, PLAY and READ SUB-CHANNEL complete on a second thread a moment later.
#include <windows.h>

#include <cstdint>
#include <cstring>

extern "C" {
uint32_t __cdecl GetASPI32SupportInfo(void);
uint32_t __cdecl SendASPI32Command(void* request);
}

namespace {

// Byte offsets of the execute-SCSI-command request.
constexpr size_t kCmd = 0, kStatus = 1, kHaId = 2, kFlags = 3, kTarget = 8, kLun = 9, kBufLen = 12,
                 kBufPointer = 16, kSenseLen = 20, kCdbLen = 21, kHaStat = 22, kTargStat = 23,
                 kPostProc = 24, kCdb = 48, kSense = 64;
constexpr size_t kSenseAreaLength = 16;

constexpr uint8_t kPending = 0x00, kComplete = 0x01, kError = 0x04, kInvalidCommand = 0x80,
                  kInvalidAdapter = 0x81, kInvalidRequest = 0xE0;
constexpr uint8_t kExecScsiCommand = 0x02;
constexpr uint8_t kDirIn = 0x08;
constexpr uint8_t kSelectionTimeout = 0x11, kCheckCondition = 0x02;

constexpr int kVortaneTarget = 1;
constexpr int kOtherTarget = 4;
constexpr int32_t kTrackStarts[] = {0, 15000, 30000};
constexpr int32_t kLeadOut = 45000;
constexpr int kTrackCount = 3;

// The play in progress on the VORTANE drive; touched by whichever thread completes a request.
LONG playStart = -1;
LONG playLength = 0;
LONG playTick = 0;

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void* GetPointer(const uint8_t* p) {
    void* v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
uint32_t Be24(const uint8_t* p) {
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}
void PutBe32(uint8_t* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Copies an answer out, cut to the allocation length and to the request's buffer.
void Reply(uint8_t* srb, const uint8_t* answer, size_t length, size_t allocation) {
    auto* buffer = static_cast<uint8_t*>(GetPointer(srb + kBufPointer));
    length = length < allocation ? length : allocation;
    length = length < Get32(srb + kBufLen) ? length : Get32(srb + kBufLen);
    if (buffer && length > 0) {
        std::memcpy(buffer, answer, length);
    }
}

// CHECK CONDITION with ILLEGAL REQUEST / INVALID COMMAND OPERATION CODE in the sense area.
uint8_t IllegalRequest(uint8_t* srb) {
    const uint8_t sense[14] = {0x70, 0, 0x05, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0x20, 0};
    size_t length = srb[kSenseLen] < sizeof sense ? srb[kSenseLen] : sizeof sense;
    length = length < kSenseAreaLength ? length : kSenseAreaLength;
    std::memcpy(srb + kSense, sense, length);
    srb[kTargStat] = kCheckCondition;
    return kError;
}

uint8_t Inquiry(uint8_t* srb, int target) {
    uint8_t a[36] = {};
    a[0] = 0x05; // connected CD-ROM
    a[1] = 0x80; // removable
    a[2] = 0x02;
    a[3] = 0x02;
    a[4] = 31; // additional length
    std::memcpy(a + 8, target == kVortaneTarget ? "VORTANE " : "HALCYON ", 8);
    std::memcpy(a + 16, target == kVortaneTarget ? "CD-ROM CDS-3200 " : "CD-ROM HX-12    ", 16);
    std::memcpy(a + 32, "1.00", 4);
    Reply(srb, a, sizeof a, srb[kCdb + 4]);
    return kComplete;
}

uint8_t ReadToc(uint8_t* srb) {
    const uint8_t* cdb = srb + kCdb;
    if ((cdb[2] & 0x0F) != 0 || (cdb[9] >> 6) != 0 || (cdb[1] & 0x02) != 0) {
        return IllegalRequest(srb); // only format 0 in LBA form
    }
    uint8_t a[4 + 8 * (kTrackCount + 1)] = {};
    a[1] = sizeof a - 2; // data length
    a[2] = 1;            // first track
    a[3] = kTrackCount;  // last track
    for (int i = 0; i <= kTrackCount; ++i) {
        uint8_t* d = a + 4 + 8 * i;
        d[1] = 0x10; // ADR 1, audio
        d[2] = static_cast<uint8_t>(i < kTrackCount ? i + 1 : 0xAA);
        PutBe32(d + 4, i < kTrackCount ? kTrackStarts[i] : kLeadOut);
    }
    Reply(srb, a, sizeof a, (size_t{cdb[7]} << 8) | cdb[8]);
    return kComplete;
}

uint8_t PlayAudio12(uint8_t* srb) {
    const uint8_t* cdb = srb + kCdb;
    // 24 of the 32 address bits are enough for any disc.
    InterlockedExchange(&playStart, static_cast<LONG>(Be24(cdb + 3)));
    InterlockedExchange(&playLength, static_cast<LONG>(Be24(cdb + 7)));
    InterlockedExchange(&playTick, static_cast<LONG>(GetTickCount()));
    return kComplete;
}

uint8_t ReadSubChannel(uint8_t* srb) {
    const uint8_t* cdb = srb + kCdb;
    if (cdb[3] != 1) {
        return IllegalRequest(srb); // only the current position
    }
    int32_t position = 0;
    uint8_t audio = 0x15; // no current audio status
    const LONG start = InterlockedCompareExchange(&playStart, 0, 0);
    if (start >= 0) {
        const DWORD since = static_cast<DWORD>(InterlockedCompareExchange(&playTick, 0, 0));
        const auto elapsed = static_cast<int32_t>((GetTickCount() - since) * 75 / 1000);
        const auto length = static_cast<int32_t>(InterlockedCompareExchange(&playLength, 0, 0));
        audio = elapsed < length ? 0x11 : 0x13;
        position = start + (elapsed < length ? elapsed : length - 1);
    }
    int track = 1;
    for (int i = 0; i < kTrackCount; ++i) {
        if (position >= kTrackStarts[i]) {
            track = i + 1;
        }
    }
    uint8_t a[16] = {};
    a[1] = audio;
    a[3] = 12;   // sub-channel data length
    a[4] = 1;    // format: current position
    a[5] = 0x10; // ADR 1, audio
    a[6] = static_cast<uint8_t>(track);
    a[7] = 1; // index
    PutBe32(a + 8, position);
    PutBe32(a + 12, position - kTrackStarts[track - 1]);
    Reply(srb, a, sizeof a, (size_t{cdb[7]} << 8) | cdb[8]);
    return kComplete;
}

// Runs the command of a checked request on the drive it names; returns the final status.
uint8_t Execute(uint8_t* srb) {
    const int target = srb[kTarget];
    srb[kHaStat] = 0;
    srb[kTargStat] = 0;
    if (target != kVortaneTarget && target != kOtherTarget) {
        srb[kHaStat] = kSelectionTimeout;
        return kError;
    }
    const uint8_t op = srb[kCdb];
    if (op == 0x12) {
        return Inquiry(srb, target);
    }
    if (op == 0x00) {
        return kComplete; // TEST UNIT READY: a disc is always in
    }
    if (target != kVortaneTarget) {
        return IllegalRequest(srb);
    }
    switch (op) {
    case 0x43:
        return ReadToc(srb);
    case 0xA5:
        return PlayAudio12(srb);
    case 0x42:
        return ReadSubChannel(srb);
    default:
        return IllegalRequest(srb);
    }
}

// What the program must have set: data-in alone (no posting, no event), logical unit 0, a group's
// CDB length, the sense length it asks for, and a buffer wherever a length is given.
bool WellFormed(const uint8_t* srb) {
    const uint8_t cdbLength = srb[kCdbLen];
    return srb[kFlags] == kDirIn && srb[kLun] == 0 && GetPointer(srb + kPostProc) == nullptr &&
           (cdbLength == 6 || cdbLength == 10 || cdbLength == 12) && srb[kSenseLen] == 14 &&
           (Get32(srb + kBufLen) == 0 || GetPointer(srb + kBufPointer) != nullptr);
}

void Complete(uint8_t* srb, uint8_t status) {
    MemoryBarrier();
    *reinterpret_cast<volatile uint8_t*>(srb + kStatus) = status; // last: the caller may go on
}

// The second thread holds the library while it runs, so that an unload right after the status
// is written cannot pull the code from under it.
struct Job {
    uint8_t* srb;
    HMODULE self;
};

DWORD WINAPI CompleteLater(LPVOID parameter) {
    const Job job = *static_cast<Job*>(parameter);
    delete static_cast<Job*>(parameter);
    Sleep(5);
    Complete(job.srb, Execute(job.srb));
    FreeLibraryAndExitThread(job.self, 0);
}

bool CompletesLater(uint8_t op) {
    return op == 0x43 || op == 0xA5 || op == 0x42;
}

} // namespace

uint32_t __cdecl GetASPI32SupportInfo(void) {
    return (uint32_t{kComplete} << 8) | 1u; // one host adapter
}

uint32_t __cdecl SendASPI32Command(void* request) {
    if (!request) {
        return kInvalidRequest;
    }
    auto* srb = static_cast<uint8_t*>(request);
    if (srb[kCmd] != kExecScsiCommand) {
        srb[kStatus] = kInvalidCommand;
        return kInvalidCommand;
    }
    if (srb[kHaId] != 0) {
        return kInvalidAdapter; // refused by the return value, the status never written
    }
    if (!WellFormed(srb)) {
        Complete(srb, kInvalidRequest);
        return kInvalidRequest;
    }
    if (srb[kTarget] == kVortaneTarget && CompletesLater(srb[kCdb])) {
        HMODULE self = nullptr;
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                               reinterpret_cast<LPCSTR>(&playStart), &self)) {
            srb[kStatus] = kPending;
            auto* job = new Job{srb, self};
            if (HANDLE thread = CreateThread(nullptr, 0, CompleteLater, job, 0, nullptr)) {
                CloseHandle(thread);
                return kPending;
            }
            delete job;
            FreeLibrary(self);
        }
    }
    const uint8_t status = Execute(srb);
    Complete(srb, status);
    return status;
}
