#pragma once
#include <cstdint>

#include "link/serial_port.h"

namespace gaugemon::sim {

constexpr uint8_t parityBit(link::Parity parity) { return static_cast<uint8_t>(1u << static_cast<unsigned>(parity)); }
constexpr uint8_t kAnyParity =
    parityBit(link::Parity::None) | parityBit(link::Parity::Odd) | parityBit(link::Parity::Even);

// The master's line settings as the instrument can tell them. In process they
// are known exactly; a pseudo-terminal hides some, so `parities` holds every
// parity the line may have.
struct MasterLine {
    int baudRate = 0;
    uint8_t parities = 0;  // set of parityBit(...)
    link::StopBits stopBits = link::StopBits::One;

    static MasterLine exactly(int baudRate, link::LineSettings line) {
        return MasterLine{baudRate, parityBit(link::parityOf(line)), link::stopBitsOf(line)};
    }
};

}  // namespace gaugemon::sim
