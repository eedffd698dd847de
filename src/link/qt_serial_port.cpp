#include "link/qt_serial_port.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "link/protocol.h"

namespace gaugemon::link {

namespace {
// Bounds what piles up between two reads when the far end babbles; more than
// any answer, so one read never finds a cut-off frame at the front.
constexpr qint64 kQueueLimitBytes = 4096;

QSerialPort::Parity qtParity(LineSettings line) {
    switch (parityOf(line)) {
        case Parity::Odd: return QSerialPort::OddParity;
        case Parity::Even: return QSerialPort::EvenParity;
        case Parity::None: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(LineSettings line) {
    return stopBitsOf(line) == StopBits::Two ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

// The device reports that it is gone or broken, not merely that a setting or
// a wait did not work out.
bool isLineFault(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}
}  // namespace

QtSerialPort::QtSerialPort(PortDirectory directory) : directory_(std::move(directory)) {
    port_.setReadBufferSize(kQueueLimitBytes);
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&port_, nullptr, nullptr, nullptr);
    if (port_.isOpen()) port_.close();
}

int QtSerialPort::openPort(std::string_view name, int baudRate, LineSettings line) {
    close();
    name_ = std::string(name);
    device_ = directory_.devicePath(name);
    failure_ = PortFailure::None;
    error_.clear();
    if (device_.empty()) {
        fail(PortFailure::UnknownName, "no serial device belongs to this name");
        return -1;
    }

    port_.setPortName(QString::fromStdString(device_));
    // Opening applies the framing stored in the port object; start from the
    // one every device accepts and set the real one on the open port.
    port_.setParity(QSerialPort::NoParity);
    if (!port_.open(QIODevice::ReadWrite)) {
        const PortFailure failure = classifyOpenError(port_.error());
        switch (failure) {
            case PortFailure::NotFound: fail(failure, "no such device " + device_); break;
            case PortFailure::PermissionDenied:
                fail(failure, "no permission to open " + device_ +
                                  "; join the dialout group (sudo usermod -aG dialout $USER) and log in again");
                break;
            case PortFailure::InUse: fail(failure, device_ + " is in use by another program"); break;
            default: fail(failure, "cannot open " + device_ + ": " + port_.errorString().toStdString()); break;
        }
        return -1;
    }
    if (!applyLine(baudRate, line)) {
        port_.close();
        return -1;
    }
    // RTS stays low, as the instrument's converters expect. A pseudo-terminal
    // has no modem lines and refuses this, which does no harm.
    port_.setRequestToSend(false);
    // Nothing of ours is queued yet, so both directions can go.
    port_.clear(QSerialPort::AllDirections);
    return port_.isOpen() ? 0 : -1;
}

bool QtSerialPort::applyLine(int baudRate, LineSettings line) {
    const bool framed = port_.setBaudRate(baudRate) && port_.setDataBits(QSerialPort::Data8) &&
                        port_.setStopBits(qtStopBits(line)) && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!framed) {
        if (port_.isOpen()) {
            fail(PortFailure::Settings, device_ + " refused " + std::to_string(baudRate) + " baud, 8 data bits: " +
                                            port_.errorString().toStdString());
        }
        return false;
    }
    // The kernel side of a pseudo-terminal has no parity and refuses even
    // parity outright; a line without parity still carries every frame, so a
    // refusal is no reason to give up the port.
    port_.setParity(qtParity(line));
    return port_.isOpen();
}

void QtSerialPort::setBaudRate(int baudRate, LineSettings line) {
    if (!port_.isOpen()) return;
    applyLine(baudRate, line);
    // Only the input: a frame still on its way out must not be dropped.
    if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

int QtSerialPort::writeFrame(const uint8_t* bytes, size_t count) {
    if (!port_.isOpen() || bytes == nullptr || count == 0) return -1;
    // A late answer to the previous request must not pass for the answer to
    // this one. The purge comes before the write and covers the input only:
    // output is handed to the operating system lazily, so purging it after
    // write() would drop the frame itself.
    port_.clear(QSerialPort::Input);
    if (!port_.isOpen()) return -1;
    const auto length = static_cast<qint64>(count);
    if (port_.write(reinterpret_cast<const char*>(bytes), length) != length) return -1;
    // Hands the frame to the operating system now rather than at the next
    // return to the event loop; this never waits for the line.
    port_.flush();
    return port_.isOpen() ? 0 : -1;
}

size_t QtSerialPort::readAvailable(uint8_t* buffer, size_t capacity) {
    if (!port_.isOpen() || buffer == nullptr) return 0;
    const auto wanted = static_cast<qint64>(std::min<size_t>(capacity, kMaxReadBytes));
    if (wanted == 0) return 0;
    // The event loop may not have collected everything the line delivered;
    // a poll with no timeout takes what the operating system holds now.
    if (port_.bytesAvailable() < wanted) {
        port_.waitForReadyRead(0);
        if (!port_.isOpen()) return 0;
    }
    const qint64 got = port_.read(reinterpret_cast<char*>(buffer), wanted);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

void QtSerialPort::close() {
    if (port_.isOpen()) port_.close();
}

bool QtSerialPort::isOpen() const { return port_.isOpen(); }

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if (!isLineFault(error) || !port_.isOpen()) return;
    // A vanished device keeps its descriptor readable forever; left open, the
    // port would report this error again on every turn of the event loop.
    fail(PortFailure::LineLost, "the line to " + device_ + " was lost: " + port_.errorString().toStdString());
    port_.close();
}

void QtSerialPort::fail(PortFailure failure, const std::string& detail) {
    failure_ = failure;
    error_ = (name_.empty() ? device_ : name_) + ": " + detail;
}

PortFailure QtSerialPort::classifyOpenError(QSerialPort::SerialPortError error) const {
    switch (error) {
        case QSerialPort::DeviceNotFoundError: return PortFailure::NotFound;
        case QSerialPort::PermissionError:
            // Qt reports a device locked by another program the same way as a
            // device the user may not open; only the latter needs the group.
            if (::access(device_.c_str(), R_OK | W_OK) != 0 && errno == EACCES) return PortFailure::PermissionDenied;
            return PortFailure::InUse;
        default: return PortFailure::Other;
    }
}

}  // namespace gaugemon::link
