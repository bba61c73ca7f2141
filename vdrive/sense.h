// Sense data of the virtual devices: the key/ASC/ASCQ triples they report, by name, in the
// 18-byte fixed format in which REQUEST SENSE and the request's SenseArea carry them.
#pragma once

#include "drive/fixed_sense.h"

#include <array>
#include <cstdint>

namespace vdrive {

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

inline std::array<uint8_t, kFixedSenseLength> FixedSense(Sense sense) {
    return FixedSenseData(sense.key, sense.asc, sense.ascq);
}

} // namespace vdrive
