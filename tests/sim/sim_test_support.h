#pragma once
#include <cstdint>
#include <vector>

#include "link/crc.h"
#include "link/frames.h"
#include "sim/instrument.h"

namespace gaugemon::sim::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes request(uint8_t address, uint8_t function, uint16_t reg, uint16_t field) {
    link::RequestFrame frame{};
    link::buildFrame(frame, address, function, reg, field);
    return Bytes(frame.begin(), frame.end());
}

inline Bytes bytesOf(const link::RequestFrame& frame) { return Bytes(frame.begin(), frame.end()); }

inline Bytes withCrc(Bytes bytes) {
    const uint16_t crc = link::crc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc));
    return bytes;
}

// The master on exactly the instrument's own line settings.
inline MasterLine matchingLine(const Instrument& instrument) {
    return MasterLine::exactly(instrument.baudRate(), instrument.line());
}

// What the instrument answers `bytes` at `nowMs`; empty when it stays quiet.
inline Bytes ask(Instrument& instrument, const Bytes& bytes, int64_t nowMs = 0) {
    const Reply reply = instrument.handleRequest(bytes.data(), bytes.size(), matchingLine(instrument), nowMs);
    return reply.sent ? Bytes(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length)) : Bytes{};
}

inline uint16_t wordAt(const Bytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) << 8 | bytes.at(at + 1));
}

inline InstrumentConfig configFF(unsigned probes = 4) {
    InstrumentConfig config;
    config.format = link::DataFormat::FormatFF;
    config.probeCount = probes;
    return config;
}

inline InstrumentConfig config01(unsigned probes = 4) {
    InstrumentConfig config = configFF(probes);
    config.format = link::DataFormat::Format01;
    return config;
}

}  // namespace gaugemon::sim::testing
