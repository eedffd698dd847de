#pragma once
#include <cstddef>
#include <cstdint>

namespace gaugemon::link {

// CRC-16/MODBUS (reflected polynomial 0xA001, start 0xFFFF, no final XOR).
// Returns the two check bytes packed as (first byte on the wire << 8) | second
// byte on the wire: the low byte of the polynomial remainder travels first.
uint16_t crc16(const uint8_t* bytes, size_t count);

// True when the last two of `count` bytes are the CRC of the ones before them.
bool crcMatches(const uint8_t* bytes, size_t count);

// The two byte tables the checksum is computed with, exposed for their test.
extern const uint8_t kCrcTableFirst[256];
extern const uint8_t kCrcTableSecond[256];

}  // namespace gaugemon::link
