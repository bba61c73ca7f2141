// The real Windows calls of the SPTI layer.
#include "platform/spti_system.h"

namespace {

HANDLE OpenDevice(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

DWORD LogicalDrives() {
    return GetLogicalDrives();
}

UINT DriveType(const char* root) {
    return GetDriveTypeA(root);
}

BOOL Close(HANDLE device) {
    return CloseHandle(device);
}

DWORD LastError() {
    return GetLastError();
}

// In and out through the one buffer, as the pass-through and address requests use it.
BOOL Control(HANDLE device, DWORD code, void* buffer, DWORD length, DWORD* returned) {
    return DeviceIoControl(device, code, buffer, length, buffer, length, returned, nullptr);
}

} // namespace

const SptiSystem& RealSptiSystem() {
    static const SptiSystem system{&LogicalDrives, &DriveType, &OpenDevice,
                                   &Control,       &Close,     &LastError};
    return system;
}
