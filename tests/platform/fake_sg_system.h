// The system calls of the SG layer, faked: records every open, ioctl and close, refuses opens
// with the errno a test sets per path, and answers SG_IO as a test says. Calls from several
// threads take turns.
#pragma once

#include "platform/sg_system.h"

#include <fcntl.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct OpenCall {
    std::string path;
    int flags;
};

struct IoCall {
    std::string path; // the node the fd was opened on
    unsigned long request;
    sg_io_hdr_t header;       // as the layer handed it over
    std::vector<uint8_t> cdb; // header.cmdp's bytes at the time of the call
};

class FakeSgSystem {
public:
    // path -> errno every open of that path fails with
    std::map<std::string, int> openErrors;
    // path -> errno its read-write opens fail with (read-only opens succeed)
    std::map<std::string, int> readWriteErrors;
    // Fills the outputs (and data) of one SG_IO and returns 0, or returns an errno to fail the
    // ioctl with. Unset: every command completes GOOD and moves no data.
    std::function<int(const std::string& path, sg_io_hdr_t& header)> answer;

    std::vector<OpenCall> opens;
    std::vector<IoCall> ioctls;
    std::map<int, std::string> openFds; // fds opened and not yet closed
    int badCloses = 0;                  // closes of an fd that was not open

    const SgSystem table{&Open, &Ioctl, &Close};

    FakeSgSystem() { current = this; }
    ~FakeSgSystem() { current = nullptr; }
    FakeSgSystem(const FakeSgSystem&) = delete;
    FakeSgSystem& operator=(const FakeSgSystem&) = delete;

    std::vector<uint8_t> Opcodes() const {
        std::vector<uint8_t> codes;
        for (const IoCall& call : ioctls) {
            codes.push_back(call.cdb.empty() ? 0xFF : call.cdb[0]);
        }
        return codes;
    }

private:
    static inline FakeSgSystem* current = nullptr;
    int nextFd = 10;
    std::recursive_mutex lock;

    static int Open(const char* path, int flags) {
        std::lock_guard guard(current->lock);
        current->opens.push_back({path, flags});
        auto refused = current->openErrors.find(path);
        if (refused != current->openErrors.end()) {
            errno = refused->second;
            return -1;
        }
        auto readWrite = current->readWriteErrors.find(path);
        if (readWrite != current->readWriteErrors.end() && (flags & O_ACCMODE) == O_RDWR) {
            errno = readWrite->second;
            return -1;
        }
        const int fd = current->nextFd++;
        current->openFds[fd] = path;
        return fd;
    }

    static int Ioctl(int fd, unsigned long request, void* argument) {
        std::lock_guard guard(current->lock);
        auto open = current->openFds.find(fd);
        if (open == current->openFds.end()) {
            errno = EBADF;
            return -1;
        }
        auto& header = *static_cast<sg_io_hdr_t*>(argument);
        IoCall call{open->second, request, header, {}};
        if (request == SG_IO && header.cmdp != nullptr) {
            call.cdb.assign(header.cmdp, header.cmdp + header.cmd_len);
        }
        current->ioctls.push_back(call);
        if (request != SG_IO) {
            errno = ENOTTY;
            return -1;
        }
        const int error = current->answer ? current->answer(open->second, header) : 0;
        if (error != 0) {
            errno = error;
            return -1;
        }
        return 0;
    }

    static int Close(int fd) {
        std::lock_guard guard(current->lock);
        if (current->openFds.erase(fd) == 0) {
            ++current->badCloses;
            errno = EBADF;
            return -1;
        }
        return 0;
    }
};

// An answer of CHECK CONDITION with these sense bytes, as the kernel reports it after autosense.
inline void AnswerCheckCondition(sg_io_hdr_t& header, const std::vector<uint8_t>& sense) {
    header.status = 0x02;
    header.masked_status = 0x01;
    header.driver_status = 0x08; // DRIVER_SENSE
    const size_t count = std::min<size_t>(sense.size(), header.mx_sb_len);
    std::memcpy(header.sbp, sense.data(), count);
    header.sb_len_wr = static_cast<unsigned char>(count);
}

// Fixed-format sense with the given key, ASC and ASCQ.
inline std::vector<uint8_t> SenseBytes(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 0x0A;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}
