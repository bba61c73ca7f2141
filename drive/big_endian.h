// Big-endian packing of command and answer fields: every multi-byte SCSI field is MSB first.
// Shared by the command functions and the virtual drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline uint32_t ReadBe16(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 8) | bytes[at + 1];
}

inline uint32_t ReadBe24(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 16) | (uint32_t{bytes[at + 1]} << 8) | bytes[at + 2];
}

inline uint32_t ReadBe32(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | ReadBe24(bytes, at + 1);
}

inline void WriteBe16(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value);
}

inline void WriteBe24(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 16);
    WriteBe16(bytes, at + 1, value);
}

inline void WriteBe32(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 24);
    WriteBe24(bytes, at + 1, value);
}
