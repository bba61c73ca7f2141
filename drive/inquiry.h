// INQUIRY and the drives the player lists: where the identity fields stand in the standard
// answer, the peripheral byte of a connected CD-ROM drive, the vendor whose drives are listed,
// and the targets discovery asks on each host adapter. Discovery reads them; the virtual bus and
// its devices answer by them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr int kTargetsPerAdapter = 16; // target ids 0-15 on every host adapter

inline constexpr uint8_t kPeripheralCdRom = 0x05; // qualifier 000b: connected; type 05h: CD-ROM

// Identity fields of the standard INQUIRY answer, blank-padded ASCII; the answer holds them all in
// its first kStandardInquiryLength bytes.
inline constexpr size_t kInquiryVendorAt = 8; // T10 vendor identification
inline constexpr size_t kInquiryVendorLength = 8;
inline constexpr size_t kInquiryProductAt = 16; // product identification
inline constexpr size_t kInquiryProductLength = 16;
inline constexpr size_t kInquiryRevisionAt = 32; // product revision level
inline constexpr size_t kInquiryRevisionLength = 4;
inline constexpr size_t kStandardInquiryLength = 36;

// The vendor field of the drives the player lists, blank included.
inline constexpr char kDriveVendor[] = "VORTANE ";

// Whether a vendor field, its kInquiryVendorLength bytes as the device sent them, is
// kDriveVendor: byte for byte, so that another case, or a NUL inside, never is.
inline bool IsDriveVendor(const void* field) {
    return std::memcmp(field, kDriveVendor, kInquiryVendorLength) == 0;
}
