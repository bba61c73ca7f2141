// The Windows calls of the SPTI layer, behind one table of function pointers so that tests can
// stand in for the system (a refused open, a vanished drive, sense data, a time-out).
#pragma once

#include <windows.h>

struct SptiSystem {
    // The real calls' contracts: failures say why through lastError.
    DWORD (*logicalDrives)();                       // GetLogicalDrives: bit 0 is A:
    UINT (*driveType)(const char* root);            // GetDriveTypeA("D:\\")
    HANDLE (*open)(const char* path, DWORD access); // CreateFileA, shared read and write
    BOOL (*ioctl)(HANDLE device, DWORD code, void* buffer, DWORD length, DWORD* returned);
    BOOL (*close)(HANDLE device);
    DWORD (*lastError)();
};

// The calls themselves.
const SptiSystem& RealSptiSystem();
