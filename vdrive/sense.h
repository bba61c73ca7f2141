// Sense data of the virtual devices: the key/ASC/ASCQ triples they report, by name, and the
// 18-byte fixed format in which REQUEST SENSE and the request's SenseArea carry them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vdrive {

// Sense keys
inline constexpr uint8_t kKeyNoSense = 0x00;
inline constexpr uint8_t kKeyNotReady = 0x02;
inline constexpr uint8_t kKeyMediumError = 0x03;
inline constexpr uint8_t kKeyHardwareError = 0x04;
inline constexpr uint8_t kKeyIllegalRequest = 0x05;
inline constexpr uint8_t kKeyUnitAttention = 0x06;
inline constexpr uint8_t kKeyAbortedCommand = 0x0B;

struct Sense {
    uint8_t key = kKeyNoSense;
    uint8_t asc = 0x00;  // additional sense code
    uint8_t ascq = 0x00; // additional sense code qualifier

    friend bool operator==(const Sense&, const Sense&) = default;
};

inline constexpr Sense kSenseNone{kKeyNoSense, 0x00, 0x00};
inline constexpr Sense kSenseNoMedium{kKeyNotReady, 0x3A, 0x00};
inline constexpr Sense kSenseNoMediumTrayOpen{kKeyNotReady, 0x3A, 0x02};
inline constexpr Sense kSenseIncompatibleMedium{kKeyNotReady, 0x30, 0x00};
inline constexpr Sense kSenseMediumMayHaveChanged{kKeyUnitAttention, 0x28, 0x00};
inline constexpr Sense kSenseInvalidOperationCode{kKeyIllegalRequest, 0x20, 0x00};
inline constexpr Sense kSenseLbaOutOfRange{kKeyIllegalRequest, 0x21, 0x00};
inline constexpr Sense kSenseInvalidFieldInCdb{kKeyIllegalRequest, 0x24, 0x00};
inline constexpr Sense kSenseLogicalUnitNotSupported{kKeyIllegalRequest, 0x25, 0x00};
inline constexpr Sense kSenseCommandSequenceError{kKeyIllegalRequest, 0x2C, 0x00};
inline constexpr Sense kSenseIllegalModeForTrack{kKeyIllegalRequest, 0x64, 0x00};
inline constexpr Sense kSenseUnrecoveredReadError{kKeyMediumError, 0x11, 0x00};

inline constexpr size_t kFixedSenseLength = 18;

inline std::array<uint8_t, kFixedSenseLength> FixedSense(Sense sense) {
    std::array<uint8_t, kFixedSenseLength> data{};
    data[0] = 0x70;        // response code: current error, fixed format; VALID 0
    data[2] = sense.key;   // sense key (FILEMARK, EOM, ILI clear)
    data[7] = 0x0A;        // additional sense length: 18 bytes in all
    data[12] = sense.asc;  // additional sense code
    data[13] = sense.ascq; // additional sense code qualifier
    return data;
}

} // namespace vdrive
