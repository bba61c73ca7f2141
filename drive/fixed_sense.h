// Fixed-format sense data, as REQUEST SENSE answers it and a failed request carries it in its
// SenseArea: where the key, the additional sense code and its qualifier stand, and a writer of
// the 18-byte form. Shared by the Linux SG layer and the virtual drive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kFixedSenseLength = 18;
inline constexpr size_t kSenseResponseCodeAt = 0;
inline constexpr size_t kSenseKeyAt = 2; // the low nibble; FILEMARK, EOM and ILI above it
inline constexpr size_t kSenseAdditionalLengthAt = 7;
inline constexpr size_t kSenseAscAt = 12;  // additional sense code
inline constexpr size_t kSenseAscqAt = 13; // its qualifier

inline constexpr uint8_t kSenseCurrentFixed = 0x70; // response code: current error, fixed format

// Sense keys
inline constexpr uint8_t kSenseKeyNoSense = 0x00;
inline constexpr uint8_t kSenseKeyNotReady = 0x02;
inline constexpr uint8_t kSenseKeyMediumError = 0x03;
inline constexpr uint8_t kSenseKeyHardwareError = 0x04;
inline constexpr uint8_t kSenseKeyIllegalRequest = 0x05;
inline constexpr uint8_t kSenseKeyUnitAttention = 0x06;
inline constexpr uint8_t kSenseKeyAbortedCommand = 0x0B;

// The 18 bytes of a current error with this key, code and qualifier; VALID and the flags clear.
inline std::array<uint8_t, kFixedSenseLength> FixedSenseData(uint8_t key, uint8_t asc,
                                                             uint8_t ascq) {
    std::array<uint8_t, kFixedSenseLength> data{};
    data[kSenseResponseCodeAt] = kSenseCurrentFixed;
    data[kSenseKeyAt] = key;
    data[kSenseAdditionalLengthAt] = kFixedSenseLength - (kSenseAdditionalLengthAt + 1);
    data[kSenseAscAt] = asc;
    data[kSenseAscqAt] = ascq;
    return data;
}
