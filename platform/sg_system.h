// The operating-system calls of the Linux SG layer, behind one table of function pointers so
// that tests can stand in for the kernel (refused opens, a vanished device, sense data).
#pragma once

struct SgSystem {
    // The real calls' contracts: -1 and errno set on failure.
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*close)(int fd);
};

// open(2), ioctl(2) and close(2) themselves.
const SgSystem& RealSgSystem();
