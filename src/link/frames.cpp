#include "link/frames.h"

#include "link/crc.h"

namespace gaugemon::link {

void buildFrame(RequestFrame& frame, uint8_t address, uint8_t function, uint16_t reg, uint16_t field) {
    frame[0] = address;
    frame[1] = function;
    frame[2] = static_cast<uint8_t>(reg >> 8);
    frame[3] = static_cast<uint8_t>(reg & 0xFF);
    frame[4] = static_cast<uint8_t>(field >> 8);
    frame[5] = static_cast<uint8_t>(field & 0xFF);
    const uint16_t crc = crc16(frame.data(), 6);
    frame[6] = static_cast<uint8_t>(crc >> 8);
    frame[7] = static_cast<uint8_t>(crc & 0xFF);
}

namespace {
RequestFrame make(uint8_t address, uint8_t function, uint16_t reg, uint16_t field) {
    RequestFrame frame{};
    buildFrame(frame, address, function, reg, field);
    return frame;
}
}  // namespace

RequestFrame deviceInfoQuery(DataFormat format) {
    if (format == DataFormat::FormatFF) return make(kBroadcastAddress, kFunctionRead, reg::kDeviceInfoFF, 3);
    return make(kBroadcastAddress, kFunctionRead, reg::kAddress01, 4);
}

RequestFrame readingsRequest(uint8_t address, unsigned probes) {
    // Never a request for no probes, nor one whose answer would not fit a read.
    return make(address, kFunctionRead, reg::kFirstReading, static_cast<uint16_t>(2 * clampProbeCount(probes)));
}

RequestFrame formatFlagsRead(uint8_t address) { return make(address, kFunctionRead, reg::kFormatFlags, 1); }

RequestFrame unlockWrite(uint8_t address) { return make(address, kFunctionWrite, reg::kUnlockFF, kUnlockCode); }

RequestFrame addressWrite(DataFormat format, uint8_t address, uint8_t newAddress) {
    const uint16_t target = format == DataFormat::FormatFF ? reg::kAddressFF : reg::kAddress01;
    return make(address, kFunctionWrite, target, newAddress);
}

RequestFrame baudWrite01(uint8_t address, uint8_t baudCode01) {
    return make(address, kFunctionWrite, reg::kBaud01, baudCode01);
}

RequestFrame parityWrite01(uint8_t address, uint8_t parityCode) {
    return make(address, kFunctionWrite, reg::kParity01, parityCode);
}

RequestFrame serialSettingsWriteFF(uint8_t address, uint8_t twoStopBits, uint8_t parityCode, uint8_t baudCode) {
    const uint8_t serial = static_cast<uint8_t>(parityCode * 16 + baudCode);
    return make(address, kFunctionWrite, reg::kSerialFF, static_cast<uint16_t>(twoStopBits << 8 | serial));
}

RequestFrame formatFlagsWrite(uint8_t address, uint8_t flags) {
    return make(address, kFunctionWrite, reg::kFormatFlags, flags);
}

RequestFrame displayModeWrite(uint8_t address, uint8_t modeIndex) {
    return make(address, kFunctionWrite, reg::kDisplayMode, modeIndex);
}

RequestFrame zeroRequest(DataFormat format, uint8_t address, uint8_t channel, bool singleProbeDevice) {
    // A single-probe instrument zeroes with a plain write of 0 to its only reading.
    if (singleProbeDevice) return make(address, kFunctionWrite, reg::kFirstReading, 0x0000);
    const bool all = channel == kZeroAllChannels;
    if (format == DataFormat::FormatFF) {
        const uint16_t target = all ? reg::kZeroAllFF : static_cast<uint16_t>(2 * channel);
        return make(address, kFunctionWrite, target, 0x0000);
    }
    const uint16_t target = all ? reg::kZeroAll01 : static_cast<uint16_t>(2 * channel);
    return make(address, kFunctionWrite, target, kUnlockCode);
}

}  // namespace gaugemon::link
