#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/link_state.h"

namespace gaugemon::link {

// Device-information answer of a format "FF" instrument (11 bytes).
struct DeviceInfoFF {
    uint8_t twoStopBits = 0;
    uint8_t serialByte = 0;  // bits 0..2 baud code, bits 4..7 parity code
    uint8_t probeCount = 0;
    uint8_t address = 0;
};

// Device-information answer of a format "01" instrument (13 bytes).
struct DeviceInfo01 {
    uint8_t address = 0;
    uint8_t baudCode = 0;
    uint8_t parityCode = 0;
    uint16_t probeCountTimes4 = 0;
};

// Valid only at exactly the format's length with a matching CRC; the answer of
// the other format's length is not device information.
std::optional<DeviceInfoFF> parseDeviceInfoFF(const uint8_t* bytes, size_t count);
std::optional<DeviceInfo01> parseDeviceInfo01(const uint8_t* bytes, size_t count);

enum class AnswerKind {
    Invalid,         // too short or CRC mismatch: counted as an error
    Readings,        // `payload` holds `payloadLength` reading bytes
    FormatFlags,     // `data` low byte holds the flags
    WriteEcho,       // `reg` and `data` echo a write
    NewAddressEcho,  // the address write echoed from the new address
    Ignored,         // valid, but nothing the station asked for
};

struct Answer {
    AnswerKind kind = AnswerKind::Invalid;
    bool recordRequest = false;  // function 0x83
    uint16_t reg = 0;
    uint16_t data = 0;
    const uint8_t* payload = nullptr;
    unsigned payloadLength = 0;
};

// Classifies an answer received while connected. Reads only within `count`.
Answer classifyAnswer(const uint8_t* bytes, size_t count, const LinkState& link);

}  // namespace gaugemon::link
