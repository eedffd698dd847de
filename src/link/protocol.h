#pragma once
#include <cstdint>

namespace gaugemon::link {

// Instrument protocol variants; the numbers are what the `HW` setting stores.
enum class DataFormat : uint8_t { Format01 = 1, FormatFF = 2 };

constexpr uint8_t kFunctionRead = 0x03;
constexpr uint8_t kFunctionWrite = 0x06;
// A read answer with this function carries the readings and asks for a record row.
constexpr uint8_t kFunctionReadRecord = 0x83;
constexpr uint8_t kBroadcastAddress = 0xFF;

// The instrument's unlock code. Format "FF" wants it written to 0x7010 ahead of
// configuration writes, format "01" takes it as the data of its zero commands.
// The station and the simulator share this one definition.
constexpr uint8_t kUnlockHigh = 0x5A;
constexpr uint8_t kUnlockLow = 0xA5;
constexpr uint16_t kUnlockCode = kUnlockHigh << 8 | kUnlockLow;

constexpr unsigned kMaxProbes = 60;
constexpr unsigned kReadingSlots = 64;
constexpr unsigned kRawReadingBytes = 256;
constexpr unsigned kMaxReadBytes = 300;
constexpr unsigned kReceiveBufferBytes = 1024;

namespace reg {
constexpr uint16_t kFirstReading = 0x0000;
constexpr uint16_t kZeroAllFF = 0x01FF;
constexpr uint16_t kZeroAll01 = 0x0800;
constexpr uint16_t kAddress01 = 0x0200;
constexpr uint16_t kBaud01 = 0x0201;
constexpr uint16_t kParity01 = 0x0202;
constexpr uint16_t kProbeCount01 = 0x0203;
constexpr uint16_t kDeviceInfoFF = 0xAA30;
constexpr uint16_t kSerialFF = 0x3030;
constexpr uint16_t kAddressFF = 0x3031;
constexpr uint16_t kFormatFlags = 0x3035;
constexpr uint16_t kDisplayMode = 0x3036;
constexpr uint16_t kUnlockFF = 0x7010;
}  // namespace reg

// Answer lengths of the two device-information queries.
constexpr unsigned kInfoAnswerLengthFF = 11;
constexpr unsigned kInfoAnswerLength01 = 13;
// The answer to the format-flags read: one register.
constexpr unsigned kFlagsAnswerLength = 7;

// Baud table indexed 0..4.
constexpr int kBaudTable[5] = {4800, 9600, 19200, 38400, 115200};

}  // namespace gaugemon::link
