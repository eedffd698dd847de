#include "link/tty_serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QSocketNotifier>

#include "core/logging.h"
#include "link/port_log.h"
#include "link/protocol.h"

namespace gaugemon::link {

namespace {

speed_t speedOf(int baudRate) {
    switch (baudRate) {
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// Raw 8-bit bytes, no flow control, the receiver on, modem lines ignored.
// With VMIN 1 a read on the non-blocking descriptor tells "nothing yet"
// (EAGAIN) from "hung up" (0).
termios lineSettings(const termios& base, speed_t speed, Parity parity, StopBits stopBits) {
    termios t = base;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (stopBits == StopBits::Two) t.c_cflag |= CSTOPB;
    if (parity != Parity::None) t.c_cflag |= PARENB;
    if (parity == Parity::Odd) t.c_cflag |= PARODD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return t;
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace

TtySerialPort::TtySerialPort(PortDirectory directory, std::vector<std::filesystem::path> lockDirectories)
    : directory_(std::move(directory)), lock_(std::move(lockDirectories)) {}

TtySerialPort::~TtySerialPort() { close(); }

int TtySerialPort::openPort(std::string_view name, int baudRate, LineSettings line) {
    close();
    name_ = std::string(name);
    device_ = directory_.devicePath(name);
    failure_ = PortFailure::None;
    error_.clear();
    if (device_.empty()) {
        fail(PortFailure::UnknownName, "no serial device belongs to this name");
        return -1;
    }
    if (!takeDevice() || !applyLine(baudRate, line)) {
        close();
        return -1;
    }
    // RTS stays low, as the instrument's converters expect. A pseudo-terminal
    // has no modem lines and refuses this, which does no harm.
    int rts = TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &rts);
    // Nothing of ours is queued yet, so both directions can go.
    ::tcflush(fd_, TCIOFLUSH);
    watchInput();
    qCDebug(core::linkLog, "%s: opened %s at %d baud", name_.c_str(), device_.c_str(), baudRate);
    return 0;
}

bool TtySerialPort::takeDevice() {
    if (lock_.acquire(device_) == SerialLock::Outcome::HeldByOther) {
        const pid_t holder = lock_.holder();
        fail(PortFailure::InUse, device_ + " is in use by another program" +
                                     (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()));
        return false;
    }
    fd_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        failOpen(errno);
        return false;
    }
    // A program that passed over the same lock file, or keeps none, holds the
    // device itself.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        fail(PortFailure::InUse, device_ + " is in use by another program");
        return false;
    }
    // Others than root cannot open the device while it is ours.
    ::ioctl(fd_, TIOCEXCL);
    if (::tcgetattr(fd_, &original_) != 0) {
        fail(PortFailure::Other, device_ + " is no serial device: " + errorText(errno));
        return false;
    }
    restoreAtClose_ = true;
    return true;
}

void TtySerialPort::failOpen(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO: fail(PortFailure::NotFound, "no such device " + device_); break;
        case EACCES:
        case EPERM:
            fail(PortFailure::PermissionDenied,
                 "no permission to open " + device_ +
                     "; join the dialout group (sudo usermod -aG dialout $USER) and log in again");
            break;
        // Opened exclusively by another program.
        case EBUSY: fail(PortFailure::InUse, device_ + " is in use by another program"); break;
        default: fail(PortFailure::Other, "cannot open " + device_ + ": " + errorText(error)); break;
    }
}

bool TtySerialPort::applyLine(int baudRate, LineSettings line) {
    const speed_t speed = speedOf(baudRate);
    if (speed == B0) {
        fail(PortFailure::Settings, device_ + " cannot run at " + std::to_string(baudRate) + " baud");
        return false;
    }
    const termios wanted = lineSettings(original_, speed, parityOf(line), stopBitsOf(line));
    if (::tcsetattr(fd_, TCSANOW, &wanted) == 0) return true;
    // A line without parity still carries every frame, so a device that
    // refuses the parity is no reason to give up the port.
    const termios plain = lineSettings(original_, speed, Parity::None, stopBitsOf(line));
    if (::tcsetattr(fd_, TCSANOW, &plain) == 0) {
        qCDebug(core::linkLog, "%s: %s refused the parity; the line runs without", name_.c_str(), device_.c_str());
        return true;
    }
    fail(PortFailure::Settings,
         device_ + " refused " + std::to_string(baudRate) + " baud, 8 data bits: " + errorText(errno));
    return false;
}

void TtySerialPort::setBaudRate(int baudRate, LineSettings line) {
    if (fd_ < 0) return;
    applyLine(baudRate, line);
    // Only the input: a frame still on its way out must not be dropped.
    ::tcflush(fd_, TCIFLUSH);
}

int TtySerialPort::writeFrame(const uint8_t* bytes, size_t count) {
    if (fd_ < 0 || bytes == nullptr || count == 0) return -1;
    // A late answer to the previous request must not pass for the answer to
    // this one. The purge comes before the write and covers the input only;
    // it is done when input is waiting, which a lighter call tells.
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting > 0) ::tcflush(fd_, TCIFLUSH);
    const ssize_t written = ::write(fd_, bytes, count);
    const int error = errno;
    // One look at the category per frame; nothing is formatted while it is off.
    if (core::frameLog().isDebugEnabled()) traceSent(bytes, count, written, error);
    if (written == static_cast<ssize_t>(count)) return 0;
    // A full output queue is a miss like any other; a dead device is closed.
    if (written < 0 && error != EAGAIN && error != EINTR) lineLost(error);
    return -1;
}

size_t TtySerialPort::readAvailable(uint8_t* buffer, size_t capacity) {
    if (fd_ < 0 || buffer == nullptr) return 0;
    const size_t wanted = std::min<size_t>(capacity, kMaxReadBytes);
    if (wanted == 0) return 0;
    const ssize_t got = ::read(fd_, buffer, wanted);
    if (got > 0) {
        // What one read takes: a frame, or the part of it that has arrived.
        if (core::frameLog().isDebugEnabled()) traceBytes(name_, "<-", buffer, static_cast<size_t>(got), "");
        return static_cast<size_t>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    // End of file: the device hung up.
    lineLost(got == 0 ? EIO : errno);
    return 0;
}

void TtySerialPort::traceSent(const uint8_t* bytes, size_t count, ssize_t written, int error) const {
    if (written <= 0) {
        const std::string note = " (not sent: " + errorText(written < 0 ? error : EAGAIN) + ")";
        traceBytes(name_, "->", bytes, count, note.c_str());
    } else {
        const size_t sent = static_cast<size_t>(written);
        traceBytes(name_, "->", bytes, sent, sent < count ? " (not all written)" : "");
    }
}

void TtySerialPort::lineLost(int error) {
    fail(PortFailure::LineLost, "the line to " + device_ + " was lost: " + errorText(error));
    close();
}

void TtySerialPort::setArrivalHandler(std::function<void()> handler) {
    arrivalHandler_ = std::move(handler);
    if (arrivalHandler_) {
        watchInput();
    } else {
        unwatchInput();
    }
}

void TtySerialPort::watchInput() {
    if (fd_ < 0 || !arrivalHandler_ || inputNotifier_) return;
    inputNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(inputNotifier_.get(), &QSocketNotifier::activated, [this] { inputWaiting(); });
}

void TtySerialPort::unwatchInput() {
    if (!inputNotifier_) return;
    // The descriptor leaves the event loop before it is closed.
    inputNotifier_->setEnabled(false);
    if (inHandler_) {
        inputNotifier_.release()->deleteLater();
    } else {
        inputNotifier_.reset();
    }
}

void TtySerialPort::inputWaiting() {
    if (!arrivalHandler_) return;
    // A copy: the handler may replace itself. A lambda holding one pointer
    // is kept in place, so this allocates nothing.
    const std::function<void()> handler = arrivalHandler_;
    // A modal dialog inside the handler lets it run again nested.
    const bool outer = inHandler_;
    inHandler_ = true;
    handler();
    inHandler_ = outer;
}

void TtySerialPort::close() {
    unwatchInput();
    if (fd_ >= 0) {
        if (restoreAtClose_) ::tcsetattr(fd_, TCSANOW, &original_);
        restoreAtClose_ = false;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        qCDebug(core::linkLog, "%s: closed %s", name_.c_str(), device_.c_str());
    }
    lock_.release();
}

void TtySerialPort::fail(PortFailure failure, const std::string& detail) {
    failure_ = failure;
    error_ = reportPortFailure(failure, name_, device_, detail);
}

}  // namespace gaugemon::link
