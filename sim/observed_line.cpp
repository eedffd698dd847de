#include "sim/observed_line.h"

namespace gaugemon::sim {

namespace {
struct SpeedRate {
    speed_t speed;
    int rate;
};
constexpr SpeedRate kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},    {B19200, 19200},
                                 {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
}  // namespace

int baudRateOfSpeed(speed_t speed) {
    for (const auto& entry : kSpeeds) {
        if (entry.speed == speed) return entry.rate;
    }
    return 0;
}

speed_t speedOfBaudRate(int baudRate) {
    for (const auto& entry : kSpeeds) {
        if (entry.rate == baudRate) return entry.speed;
    }
    return B0;
}

MasterLine observedLine(tcflag_t controlFlags, speed_t speed) {
    MasterLine line;
    line.baudRate = baudRateOfSpeed(speed);
    const bool twoStop = controlFlags & CSTOPB;
    const bool odd = controlFlags & PARODD;
    line.stopBits = twoStop ? link::StopBits::Two : link::StopBits::One;
    if (controlFlags & PARENB) {
        line.parities = parityBit(odd ? link::Parity::Odd : link::Parity::Even);
    } else if (twoStop) {
        line.parities = parityBit(link::Parity::None);
    } else if (odd) {
        line.parities = parityBit(link::Parity::Odd) | parityBit(link::Parity::None);
    } else {
        line.parities = parityBit(link::Parity::Even) | parityBit(link::Parity::None);
    }
    return line;
}

}  // namespace gaugemon::sim
