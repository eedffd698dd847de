#pragma once
#include <cstdint>
#include <string>

#include "link/port_directory.h"
#include "link/serial_port.h"

namespace gaugemon::link {

// The serial line on a Windows COM port. The port names are the system's own
// (COM1..COM16, "\\.\COMn" above COM9), so no port directory stands between.
// Nothing here waits for the line: the port is set to hand back at once what
// has arrived, and frames go to the driver's queue. Windows gives the port
// to one program at a time; a second station is turned away.
//
// It cannot tell of arriving input without a thread of its own, so the
// polling's timers read it, as they do every line that cannot tell.
class ComSerialPort : public SerialPort {
public:
    ComSerialPort() = default;
    // The station's start hands every system's port its port directory;
    // Windows has no use for it.
    explicit ComSerialPort(const PortDirectory& /*unused*/) {}
    ~ComSerialPort() override;
    ComSerialPort(const ComSerialPort&) = delete;
    ComSerialPort& operator=(const ComSerialPort&) = delete;

    int openPort(std::string_view name, int baudRate, LineSettings line) override;
    void setBaudRate(int baudRate, LineSettings line) override;
    int writeFrame(const uint8_t* bytes, size_t count) override;
    size_t readAvailable(uint8_t* buffer, size_t capacity) override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }

    PortFailure lastFailure() const override { return failure_; }
    const std::string& lastError() const { return error_; }
    // The device the last open used ("\\.\COM3").
    std::string_view devicePath() const override { return device_; }

    // The device of a port name, "\\.\COMn"; empty for a name that is none
    // or COM0.
    static std::string deviceOf(std::string_view name);

private:
    bool takeDevice();
    bool applyLine(int baudRate, LineSettings line);
    void lineLost(unsigned long error);
    void fail(PortFailure failure, const std::string& detail);

    void* handle_ = nullptr;
    std::string name_;
    std::string device_;
    std::string error_;
    PortFailure failure_ = PortFailure::None;
};

}  // namespace gaugemon::link
