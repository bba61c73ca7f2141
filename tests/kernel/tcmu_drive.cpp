// The virtual drive behind a real kernel: a handler for the kernel's target_core_user rings. The
// kernel queues every SCSI command sent to a user backstore in a ring it shares through
// /dev/uioN; each is answered here by a vdrive::CdromDrive holding a disc, so that the kernel's
// sr and sg drivers, and every program above them, talk to the virtual drive as to a real one.
//
//   tcmu_drive NAME=DISC [NAME=DISC ...]
//     NAME  a uio device ("uio0")
//     DISC  "demo" (the demo album with CD-Text) or the path of a cue sheet
//
// Each ring's mailbox is mapped, the handler waits on all of them with poll(), walks the entries
// from cmd_tail to cmd_head, writes each answer into the entry's data vectors, sets its status
// and sense, moves cmd_tail on and tells the kernel with a write to the uio device. One line per
// command goes to standard output ("tcmu uio0 12 00 00 00 24 00 -> GOOD 36"), so that the guest
// log shows what the kernel sent and what it got.
#include "drive/fixed_sense.h"
#include "drive/scsi_opcodes.h"
#include "tests/kernel/guest_tools.h"
#include "vdrive/cdrom_drive.h"
#include "vdrive/clock.h"
#include "vdrive/cue_sheet.h"
#include "vdrive/demo_discs.h"
#include "vdrive/device.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using guest::Hex;

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// The ring's layout, as linux/target_core_user.h gives it (that header cannot be included beside
// glibc's: both define struct iovec). The mailbox and the entry are packed, the request inside
// the entry is not (its u64 fields are 8-aligned); offsets in bytes.
constexpr size_t kMailboxFlags = 2;         // u16
constexpr size_t kMailboxRingOffset = 4;    // u32 cmdr_off: where the command ring starts
constexpr size_t kMailboxRingSize = 8;      // u32 cmdr_size
constexpr size_t kMailboxHead = 12;         // u32 cmd_head, moved on by the kernel
constexpr size_t kMailboxTail = 64;         // u32 cmd_tail, moved on by the handler
constexpr uint16_t kCapReadLength = 1 << 1; // TCMU_MAILBOX_FLAG_CAP_READ_LEN
constexpr size_t kEntryLengthOp = 0;        // u32: length | operation (low 3 bits)
constexpr size_t kEntryUserFlags = 7;       // u8
constexpr size_t kEntryIovCount = 8;        // u32
constexpr size_t kEntryCdbOffset = 24;      // u64, from the start of the map
constexpr size_t kEntryIovecs = 48;         // {u64 base (an offset into the map), u64 length}...
constexpr size_t kEntryStatus = 8;          // u8, in the response that overwrites the request
constexpr size_t kEntryReadLength = 12;     // u32
constexpr size_t kEntrySense = 16;          // 96 bytes
constexpr size_t kSenseBufferSize = 96;
constexpr uint32_t kOpMask = 0x7;
constexpr uint32_t kOpCommand = 1; // TCMU_OP_CMD; 0 is padding, 2 task management
constexpr uint8_t kUserFlagReadLength = 0x2;

struct Ring {
    std::string name;
    int fd = -1;
    uint8_t* map = nullptr;
    size_t size = 0;
    std::unique_ptr<vdrive::CdromDrive> drive;
    // Room for the longest READ CD the drive serves, not only for the other answers.
    std::vector<uint8_t> answer = std::vector<uint8_t>(vdrive::kMaxTransferLength);
    uint32_t lastLength = 0; // answer bytes written by the last command, cleared before the next
};

template <typename T> T Get(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T> void Put(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

uint32_t* MailboxWord(Ring& ring, size_t offset) {
    return reinterpret_cast<uint32_t*>(ring.map + offset); // 4-aligned in the page-aligned map
}

size_t ReadMapSize(const std::string& name) {
    std::ifstream file("/sys/class/uio/" + name + "/maps/map0/size");
    size_t size = 0;
    file >> std::hex >> size;
    return size;
}

// The data vector i of an entry: where in the map, and how long.
std::pair<uint64_t, uint64_t> Vector(const uint8_t* entry, uint32_t i) {
    const uint8_t* at = entry + kEntryIovecs + 16 * size_t{i};
    return {Get<uint64_t>(at), Get<uint64_t>(at + 8)};
}

// Copies `count` answer bytes into the entry's data vectors, in order.
uint32_t CopyOut(Ring& ring, const uint8_t* entry, uint32_t count) {
    uint32_t copied = 0;
    const uint32_t vectors = Get<uint32_t>(entry + kEntryIovCount);
    for (uint32_t i = 0; i < vectors && copied < count; ++i) {
        const auto [offset, length] = Vector(entry, i);
        if (offset >= ring.size || length > ring.size - offset) {
            break; // never write outside the shared area, whatever the entry says
        }
        const auto piece = static_cast<uint32_t>(std::min<uint64_t>(length, count - copied));
        std::memcpy(ring.map + offset, ring.answer.data() + copied, piece);
        copied += piece;
    }
    return copied;
}

uint32_t DataLength(const uint8_t* entry) {
    uint64_t total = 0;
    const uint32_t vectors = Get<uint32_t>(entry + kEntryIovCount);
    for (uint32_t i = 0; i < vectors; ++i) {
        total += Vector(entry, i).second;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

void Answer(Ring& ring, uint8_t* entry) {
    std::array<uint8_t, 16> cdb{};
    const uint64_t cdbOffset = Get<uint64_t>(entry + kEntryCdbOffset);
    if (cdbOffset > ring.size - cdb.size()) {
        std::printf("tcmu %s: a command block outside the map\n", ring.name.c_str());
        return;
    }
    const uint8_t* sent = ring.map + cdbOffset;
    const int groupLength = ReceivedCommandLength(sent[0]);
    const auto cdbLength = static_cast<size_t>(groupLength == 0 ? 16 : groupLength);
    std::copy_n(sent, cdbLength, cdb.begin());

    const uint32_t dataLength = DataLength(entry); // read before the response overwrites it
    std::fill_n(ring.answer.begin(), ring.lastLength, uint8_t{0});
    const vdrive::Reply reply = ring.drive->Execute(cdb, ring.answer);
    std::string outcome;
    if (reply.failed()) {
        ring.lastLength = 0;
        const auto sense = FixedSenseData(*reply.sense);
        entry[kEntryStatus] = kStatusCheckCondition;
        std::memset(entry + kEntrySense, 0, kSenseBufferSize);
        std::memcpy(entry + kEntrySense, sense.data(), sense.size());
        char text[48];
        std::snprintf(text, sizeof text, "CHECK %x/%02x/%02x", reply.sense->key, reply.sense->asc,
                      reply.sense->ascq);
        outcome = text;
    } else {
        ring.lastLength = std::min(reply.length, vdrive::kMaxTransferLength);
        uint32_t length = ring.lastLength;
        if (const std::optional<uint32_t> allocation = vdrive::AllocationLength(cdb)) {
            length = std::min(length, *allocation);
        }
        length = std::min(length, dataLength);
        const uint32_t copied = CopyOut(ring, entry, length);
        entry[kEntryStatus] = kStatusGood;
        if ((Get<uint16_t>(ring.map + kMailboxFlags) & kCapReadLength) != 0) {
            entry[kEntryUserFlags] |= kUserFlagReadLength; // a short answer has a residual
            Put<uint32_t>(entry + kEntryReadLength, copied);
        }
        outcome = "GOOD " + std::to_string(copied);
    }
    std::printf("tcmu %s %s -> %s\n", ring.name.c_str(), Hex(cdb.data(), cdbLength).c_str(),
                outcome.c_str());
}

// Answers every command queued since the last call; true when there was any.
bool Serve(Ring& ring) {
    const uint32_t ringOffset = Get<uint32_t>(ring.map + kMailboxRingOffset);
    const uint32_t ringSize = Get<uint32_t>(ring.map + kMailboxRingSize);
    uint32_t* head = MailboxWord(ring, kMailboxHead);
    uint32_t* tailWord = MailboxWord(ring, kMailboxTail);
    uint32_t tail = __atomic_load_n(tailWord, __ATOMIC_RELAXED);
    bool served = false;
    while (tail != __atomic_load_n(head, __ATOMIC_ACQUIRE)) {
        uint8_t* entry = ring.map + ringOffset + tail;
        const uint32_t lengthOp = Get<uint32_t>(entry + kEntryLengthOp);
        const uint32_t length = lengthOp & ~kOpMask;
        if ((lengthOp & kOpMask) == kOpCommand) {
            Answer(ring, entry);
        } // padding and task management entries need nothing
        if (length == 0 || ringSize == 0) {
            std::printf("tcmu %s: an entry of length 0 at %u; giving up\n", ring.name.c_str(),
                        tail);
            return served;
        }
        tail = (tail + length) % ringSize;
        __atomic_store_n(tailWord, tail, __ATOMIC_RELEASE);
        served = true;
    }
    return served;
}

bool Open(Ring& ring, const std::string& disc) {
    std::optional<vdrive::DiscImage> image;
    if (disc == "demo") {
        image = vdrive::DemoCdTextDisc();
    } else {
        vdrive::DiscImage loaded;
        std::string error;
        if (!vdrive::LoadCueSheet(disc, loaded, error)) {
            std::printf("tcmu %s: %s\n", ring.name.c_str(), error.c_str());
            return false;
        }
        image = std::move(loaded);
    }
    if (!image->audio) {
        std::printf("tcmu %s: the disc image has no audio source: READ CD reads silence\n",
                    ring.name.c_str());
    }
    vdrive::DriveSetup setup;
    setup.identity.product = "CD-ROM VX-7010SA"; // told apart from QEMU's VX-6012SA
    ring.drive =
        std::make_unique<vdrive::CdromDrive>(vdrive::DefaultClock(), std::move(image), setup);
    ring.size = ReadMapSize(ring.name);
    ring.fd = open(("/dev/" + ring.name).c_str(), O_RDWR | O_CLOEXEC);
    if (ring.fd < 0 || ring.size == 0) {
        std::printf("tcmu %s: cannot open: %s\n", ring.name.c_str(), std::strerror(errno));
        return false;
    }
    void* map = mmap(nullptr, ring.size, PROT_READ | PROT_WRITE, MAP_SHARED, ring.fd, 0);
    if (map == MAP_FAILED) {
        std::printf("tcmu %s: cannot map: %s\n", ring.name.c_str(), std::strerror(errno));
        return false;
    }
    ring.map = static_cast<uint8_t*>(map);
    std::printf("tcmu %s: %s, mailbox version %u flags 0x%x ring 0x%x+0x%x, map %zu MiB\n",
                ring.name.c_str(), disc.c_str(), Get<uint16_t>(ring.map),
                Get<uint16_t>(ring.map + kMailboxFlags),
                Get<uint32_t>(ring.map + kMailboxRingOffset),
                Get<uint32_t>(ring.map + kMailboxRingSize), ring.size >> 20);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<Ring> rings(static_cast<size_t>(std::max(argc - 1, 0)));
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        Ring& ring = rings[static_cast<size_t>(i - 1)];
        ring.name = argument.substr(0, equals);
        if (equals == std::string::npos || !Open(ring, argument.substr(equals + 1))) {
            std::fprintf(stderr, "usage: tcmu_drive uioN=demo|SHEET.cue ...\n");
            return 2;
        }
    }
    std::printf("tcmu ready\n");
    std::vector<pollfd> waits;
    for (const Ring& ring : rings) {
        waits.push_back({ring.fd, POLLIN, 0});
    }
    for (;;) {
        // A command may have come before the first wait: serve, then wait for the next event.
        for (Ring& ring : rings) {
            if (Serve(ring)) {
                const uint32_t done = 1;
                if (write(ring.fd, &done, sizeof done) != sizeof done) {
                    std::printf("tcmu %s: cannot notify: %s\n", ring.name.c_str(),
                                std::strerror(errno));
                }
            }
        }
        if (poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR) {
            std::printf("tcmu: poll: %s\n", std::strerror(errno));
            return 1;
        }
        for (size_t i = 0; i < waits.size(); ++i) {
            if ((waits[i].revents & POLLIN) != 0) {
                uint32_t events = 0;
                if (getenv("TCMU_TRACE") != nullptr) {
                    std::printf("tcmu %s: woken, head %u tail %u\n", rings[i].name.c_str(),
                                *MailboxWord(rings[i], kMailboxHead),
                                *MailboxWord(rings[i], kMailboxTail));
                }
                if (read(waits[i].fd, &events, sizeof events) < 0) {
                    std::printf("tcmu %s: read: %s\n", rings[i].name.c_str(), std::strerror(errno));
                }
            }
        }
    }
}
