// Fixed-format sense data, as REQUEST SENSE answers it and a failed request carries it in its
// SenseArea: where the key, the additional sense code and its qualifier stand, the conditions
// the program reports or looks for by name, and a writer of the 18-byte form. Shared by the
// Linux SG layer, the virtual drive and the digital play.
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

// A condition as sense data names it: the key, the additional sense code and its qualifier.
struct Sense {
    uint8_t key = kSenseKeyNoSense;
    uint8_t asc = 0x00;  // additional sense code
    uint8_t ascq = 0x00; // additional sense code qualifier

    friend bool operator==(const Sense&, const Sense&) = default;
};

inline constexpr Sense kSenseNone{kSenseKeyNoSense, 0x00, 0x00};
inline constexpr Sense kSenseNoMedium{kSenseKeyNotReady, 0x3A, 0x00};
inline constexpr Sense kSenseNoMediumTrayOpen{kSenseKeyNotReady, 0x3A, 0x02};
inline constexpr Sense kSenseIncompatibleMedium{kSenseKeyNotReady, 0x30, 0x00};
inline constexpr Sense kSenseMediumMayHaveChanged{kSenseKeyUnitAttention, 0x28, 0x00};
inline constexpr Sense kSenseInvalidOperationCode{kSenseKeyIllegalRequest, 0x20, 0x00};
inline constexpr Sense kSenseLbaOutOfRange{kSenseKeyIllegalRequest, 0x21, 0x00};
inline constexpr Sense kSenseInvalidFieldInCdb{kSenseKeyIllegalRequest, 0x24, 0x00};
inline constexpr Sense kSenseLogicalUnitNotSupported{kSenseKeyIllegalRequest, 0x25, 0x00};
inline constexpr Sense kSenseCommandSequenceError{kSenseKeyIllegalRequest, 0x2C, 0x00};
inline constexpr Sense kSenseIllegalModeForTrack{kSenseKeyIllegalRequest, 0x64, 0x00};
inline constexpr Sense kSenseUnrecoveredReadError{kSenseKeyMediumError, 0x11, 0x00};

// The 18 bytes of a current error with this sense; VALID and the flags clear.
inline std::array<uint8_t, kFixedSenseLength> FixedSenseData(Sense sense) {
    std::array<uint8_t, kFixedSenseLength> data{};
    data[kSenseResponseCodeAt] = kSenseCurrentFixed;
    data[kSenseKeyAt] = sense.key;
    data[kSenseAdditionalLengthAt] = kFixedSenseLength - (kSenseAdditionalLengthAt + 1);
    data[kSenseAscAt] = sense.asc;
    data[kSenseAscqAt] = sense.ascq;
    return data;
}
