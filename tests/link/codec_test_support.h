#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace gaugemon::link::testing {

// CRC-16/MODBUS one bit at a time, straight from the polynomial: a second
// opinion for the table-driven code. Packed like crc16: first wire byte high.
inline uint16_t bitwiseCrc(const uint8_t* bytes, size_t count) {
    uint16_t remainder = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        remainder ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            remainder = (remainder & 1) ? static_cast<uint16_t>((remainder >> 1) ^ 0xA001) : remainder >> 1;
        }
    }
    return static_cast<uint16_t>((remainder & 0xFF) << 8 | remainder >> 8);
}

// `bytes` followed by their CRC, low byte first, as the instrument sends it.
inline std::vector<uint8_t> withCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = bitwiseCrc(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    return bytes;
}
inline std::vector<uint8_t> withCrc(std::initializer_list<uint8_t> bytes) {
    return withCrc(std::vector<uint8_t>(bytes));
}

}  // namespace gaugemon::link::testing
