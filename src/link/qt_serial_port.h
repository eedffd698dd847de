#pragma once
#include <QSerialPort>
#include <string>

#include "link/port_directory.h"
#include "link/serial_port.h"

namespace gaugemon::link {

// The serial line on QSerialPort. Nothing here waits for the line: frames are
// handed to the operating system and reads take what it holds at that moment.
// The port is closed as soon as the device reports an I/O error, so a pulled
// adapter neither spins the event loop nor floods the operator with errors.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(PortDirectory directory = PortDirectory());
    ~QtSerialPort() override;

    int openPort(std::string_view name, int baudRate, LineSettings line) override;
    void setBaudRate(int baudRate, LineSettings line) override;
    int writeFrame(const uint8_t* bytes, size_t count) override;
    size_t readAvailable(uint8_t* buffer, size_t capacity) override;
    void close() override;
    bool isOpen() const override;

    // The last failure to open, configure or keep the port; None after a
    // successful open.
    PortFailure lastFailure() const override { return failure_; }
    // The same in English words naming the port, the device and the remedy.
    const std::string& lastError() const { return error_; }
    // The device the last open used ("/dev/ttyUSB0").
    std::string_view devicePath() const override { return device_; }

private:
    bool applyLine(int baudRate, LineSettings line);
    void onError(QSerialPort::SerialPortError error);
    void fail(PortFailure failure, const std::string& detail);
    PortFailure classifyOpenError(QSerialPort::SerialPortError error) const;

    PortDirectory directory_;
    QSerialPort port_;
    std::string name_;
    std::string device_;
    std::string error_;
    PortFailure failure_ = PortFailure::None;
};

}  // namespace gaugemon::link
