#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace gaugemon::link {

// Line settings besides the baud rate. Parity code 1 is odd, 2 even, anything
// else none; with no parity a nonzero `twoStopBits` sends two stop bits.
// Data bits are always 8, RTS is held low, there is no flow control.
struct LineSettings {
    uint8_t parityCode = 0;
    uint8_t twoStopBits = 0;
};

// Why a port could not be opened, or was lost.
enum class PortFailure : uint8_t {
    None,
    UnknownName,       // not a port name of the table
    NotFound,          // no such device
    PermissionDenied,  // the user may not open the device (dialout group)
    InUse,             // another program holds the device
    Settings,          // the device refused the baud rate or the framing
    LineLost,          // the device went away while open (adapter pulled)
    Other,
};

enum class Parity : uint8_t { None, Odd, Even };
enum class StopBits : uint8_t { One, Two };
Parity parityOf(LineSettings line);
StopBits stopBitsOf(LineSettings line);

// The serial line to the instrument. No call ever waits for the line: a read
// takes what has arrived at that moment.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the port named as in the port-name table ("COM3", "\\.\COM12");
    // returns 0 or -1. Opening closes a port that is already open.
    virtual int openPort(std::string_view name, int baudRate, LineSettings line) = 0;
    // Changes the baud rate and line settings of the open port and drops
    // pending input.
    virtual void setBaudRate(int baudRate, LineSettings line) = 0;
    // Drops stale input, then sends the frame; returns 0 or -1.
    virtual int writeFrame(const uint8_t* bytes, size_t count) = 0;
    // Moves what has arrived, at most `capacity` bytes, into `buffer`;
    // returns the count, 0 when nothing is there.
    virtual size_t readAvailable(uint8_t* buffer, size_t capacity) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Why the last open failed or the line was lost; None after a good open.
    // A line that cannot tell says None.
    virtual PortFailure lastFailure() const { return PortFailure::None; }
    // The device behind the port name of the last open ("/dev/ttyUSB0"), for
    // the operator; empty where the name is all there is.
    virtual std::string_view devicePath() const { return {}; }

    // Calls `handler` on the port's thread whenever input is waiting, again
    // and again while it is not read; an empty handler stops it. The handler
    // stays across closing and reopening. A line that cannot tell never calls
    // it.
    // By value: the ports that can tell keep the handler, moved in.
    virtual void setArrivalHandler(std::function<void()> /*handler*/) {}  // NOLINT(performance-unnecessary-value-param)
};

// The 17 port names the station knows, indexed 0..16: "COM0".."COM9" and
// "\\.\COM10".."\\.\COM16".
constexpr unsigned kPortNameCount = 17;
std::string_view portName(unsigned index);

}  // namespace gaugemon::link
