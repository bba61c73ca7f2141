// The real system calls behind the SG layer's seam.
#include "platform/sg_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int RealOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int RealIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
int RealClose(int fd) {
    return ::close(fd);
}

} // namespace

const SgSystem& RealSgSystem() {
    static const SgSystem system{&RealOpen, &RealIoctl, &RealClose};
    return system;
}
