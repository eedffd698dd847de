#include "link/serial_port.h"

namespace gaugemon::link {

Parity parityOf(LineSettings line) {
    if (line.parityCode == 1) return Parity::Odd;
    if (line.parityCode == 2) return Parity::Even;
    return Parity::None;
}

StopBits stopBitsOf(LineSettings line) {
    return parityOf(line) == Parity::None && line.twoStopBits ? StopBits::Two : StopBits::One;
}

std::string_view portName(unsigned index) {
    static constexpr std::string_view kNames[kPortNameCount] = {
        "COM0",         "COM1",         "COM2",         "COM3",         "COM4",         "COM5",
        "COM6",         "COM7",         "COM8",         "COM9",         "\\\\.\\COM10", "\\\\.\\COM11",
        "\\\\.\\COM12", "\\\\.\\COM13", "\\\\.\\COM14", "\\\\.\\COM15", "\\\\.\\COM16"};
    return index < kPortNameCount ? kNames[index] : std::string_view{};
}

}  // namespace gaugemon::link
