#pragma once
#include <termios.h>

#include <functional>
#include <memory>
#include <string>

#include "link/port_directory.h"
#include "link/serial_lock.h"
#include "link/serial_port.h"

class QSocketNotifier;

namespace gaugemon::link {

// The serial line on a Linux terminal device. Nothing here waits for the
// line: frames are handed to the kernel and reads take what it holds at that
// moment. A device that went away (adapter pulled) is closed at the first
// read or write that finds it gone; nothing of it is left in the event loop.
//
// The device is locked as serial programs agree (SerialLock) and opened
// exclusively, so a second station or terminal program is turned away while a
// lock left behind by a killed program is not.
//
// Failures are logged under gaugemon.link with their reason (warnings, but a
// missing port only as debug output: a discovery sweep meets many); with
// gaugemon.link.frames on, every frame sent ("->") and every piece received
// ("<-") is logged in hex with the time of day.
class TtySerialPort : public SerialPort {
public:
    explicit TtySerialPort(PortDirectory directory = PortDirectory(),
                           std::vector<std::filesystem::path> lockDirectories = SerialLock::systemDirectories());
    ~TtySerialPort() override;
    TtySerialPort(const TtySerialPort&) = delete;
    TtySerialPort& operator=(const TtySerialPort&) = delete;

    int openPort(std::string_view name, int baudRate, LineSettings line) override;
    void setBaudRate(int baudRate, LineSettings line) override;
    int writeFrame(const uint8_t* bytes, size_t count) override;
    size_t readAvailable(uint8_t* buffer, size_t capacity) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    // Watches the open device for input in the thread's event loop.
    void setArrivalHandler(std::function<void()> handler) override;

    // The last failure to open, configure or keep the port; None after a
    // successful open.
    PortFailure lastFailure() const override { return failure_; }
    // The same in English words naming the port, the device and the remedy.
    const std::string& lastError() const { return error_; }
    // The device the last open used ("/dev/ttyUSB0").
    std::string_view devicePath() const override { return device_; }

private:
    // Locks and opens the device, exclusively; false with the failure noted.
    bool takeDevice();
    void failOpen(int error);
    bool applyLine(int baudRate, LineSettings line);
    void lineLost(int error);
    void traceSent(const uint8_t* bytes, size_t count, ssize_t written, int error) const;
    void fail(PortFailure failure, const std::string& detail);
    void watchInput();
    void unwatchInput();
    void inputWaiting();

    PortDirectory directory_;
    SerialLock lock_;
    int fd_ = -1;
    // The device's settings before the station changed them, given back at
    // close.
    termios original_{};
    bool restoreAtClose_ = false;
    std::string name_;
    std::string device_;
    std::string error_;
    PortFailure failure_ = PortFailure::None;
    std::function<void()> arrivalHandler_;
    // One per opened device, not per frame: the event loop is told of a
    // descriptor only when it comes and goes.
    std::unique_ptr<QSocketNotifier> inputNotifier_;
    // The handler is running: a notifier that goes meanwhile (the device was
    // lost) must outlive its own signal.
    bool inHandler_ = false;
};

}  // namespace gaugemon::link
