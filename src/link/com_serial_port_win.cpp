#include <windows.h>

#include <algorithm>

#include "core/logging.h"
#include "core/windows_text.h"
#include "link/com_serial_port.h"
#include "link/port_log.h"
#include "link/protocol.h"

namespace gaugemon::link {

namespace {

constexpr unsigned kHighestPort = 255;
// A frame of at most a few hundred bytes leaves the driver's queue within
// this, even at 4800 baud; a port that takes longer is stuck.
constexpr DWORD kWriteTimeoutMs = 1000;

HANDLE handleOf(void* h) { return static_cast<HANDLE>(h); }

std::string errorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? core::utf8Of(std::wstring_view(text, n)) : "error " + std::to_string(error);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

// 8 data bits, no flow control, RTS held low as the instrument's converters
// expect, errors not stopping the line.
DCB lineSettings(DCB base, int baudRate, Parity parity, StopBits stopBits) {
    DCB d = base;
    d.DCBlength = sizeof d;
    d.BaudRate = static_cast<DWORD>(baudRate);
    d.fBinary = TRUE;
    d.ByteSize = 8;
    d.fParity = parity != Parity::None;
    d.Parity = parity == Parity::Odd ? ODDPARITY : parity == Parity::Even ? EVENPARITY : NOPARITY;
    d.StopBits = stopBits == StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fDsrSensitivity = FALSE;
    d.fOutX = FALSE;
    d.fInX = FALSE;
    d.fNull = FALSE;
    d.fRtsControl = RTS_CONTROL_DISABLE;
    d.fAbortOnError = FALSE;
    return d;
}

bool validBaudRate(int baudRate) {
    switch (baudRate) {
        case 4800:
        case 9600:
        case 19200:
        case 38400:
        case 57600:
        case 115200: return true;
        default: return false;
    }
}

}  // namespace

ComSerialPort::~ComSerialPort() { close(); }

std::string ComSerialPort::deviceOf(std::string_view name) {
    const std::optional<unsigned> number = PortDirectory::portNumber(name);
    if (!number || *number == 0 || *number > kHighestPort) return {};
    return "\\\\.\\COM" + std::to_string(*number);
}

int ComSerialPort::openPort(std::string_view name, int baudRate, LineSettings line) {
    close();
    name_ = std::string(name);
    device_ = deviceOf(name);
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
    // Reads hand back at once what has arrived, nothing when nothing has.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!::SetCommTimeouts(handleOf(handle_), &timeouts)) {
        fail(PortFailure::Settings, device_ + " refused its timeouts: " + errorText(::GetLastError()));
        close();
        return -1;
    }
    ::PurgeComm(handleOf(handle_), PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    qCDebug(core::linkLog, "%s: opened %s at %d baud", name_.c_str(), device_.c_str(), baudRate);
    return 0;
}

bool ComSerialPort::takeDevice() {
    const HANDLE h = ::CreateFileW(core::wideOf(device_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND: fail(PortFailure::NotFound, "no such device " + device_); break;
            // Windows refuses a port another program holds as access denied.
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION: fail(PortFailure::InUse, device_ + " is in use by another program"); break;
            default: fail(PortFailure::Other, "cannot open " + device_ + ": " + errorText(error)); break;
        }
        return false;
    }
    handle_ = h;
    DCB current{};
    current.DCBlength = sizeof current;
    if (!::GetCommState(h, &current)) {
        fail(PortFailure::Other, device_ + " is no serial device: " + errorText(::GetLastError()));
        return false;
    }
    return true;
}

bool ComSerialPort::applyLine(int baudRate, LineSettings line) {
    if (!validBaudRate(baudRate)) {
        fail(PortFailure::Settings, device_ + " cannot run at " + std::to_string(baudRate) + " baud");
        return false;
    }
    DCB current{};
    current.DCBlength = sizeof current;
    ::GetCommState(handleOf(handle_), &current);
    DCB wanted = lineSettings(current, baudRate, parityOf(line), stopBitsOf(line));
    if (::SetCommState(handleOf(handle_), &wanted)) return true;
    // A line without parity still carries every frame.
    DCB plain = lineSettings(current, baudRate, Parity::None, stopBitsOf(line));
    if (::SetCommState(handleOf(handle_), &plain)) {
        qCDebug(core::linkLog, "%s: %s refused the parity; the line runs without", name_.c_str(), device_.c_str());
        return true;
    }
    fail(PortFailure::Settings,
         device_ + " refused " + std::to_string(baudRate) + " baud, 8 data bits: " + errorText(::GetLastError()));
    return false;
}

void ComSerialPort::setBaudRate(int baudRate, LineSettings line) {
    if (!handle_) return;
    applyLine(baudRate, line);
    // Only the input: a frame still on its way out must not be dropped.
    ::PurgeComm(handleOf(handle_), PURGE_RXCLEAR);
}

int ComSerialPort::writeFrame(const uint8_t* bytes, size_t count) {
    if (!handle_ || bytes == nullptr || count == 0) return -1;
    // A late answer to the previous request must not pass for the answer to
    // this one: waiting input is dropped before the frame goes.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handleOf(handle_), &errors, &status) || status.cbInQue > 0)
        ::PurgeComm(handleOf(handle_), PURGE_RXCLEAR);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(handleOf(handle_), bytes, static_cast<DWORD>(count), &written, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (core::frameLog().isDebugEnabled()) {
        traceBytes(name_, "->", bytes, ok ? written : count,
                   !ok               ? " (not sent)"
                   : written < count ? " (not all written)"
                                     : "");
    }
    if (ok && written == count) return 0;
    // A timeout is a miss like any other; a port that went away is closed.
    if (!ok && error != ERROR_OPERATION_ABORTED) lineLost(error);
    return -1;
}

size_t ComSerialPort::readAvailable(uint8_t* buffer, size_t capacity) {
    if (!handle_ || buffer == nullptr) return 0;
    const size_t wanted = std::min<size_t>(capacity, kMaxReadBytes);
    if (wanted == 0) return 0;
    DWORD got = 0;
    if (!::ReadFile(handleOf(handle_), buffer, static_cast<DWORD>(wanted), &got, nullptr)) {
        const DWORD error = ::GetLastError();
        // Line errors (a parity or framing fault) are cleared; the frame's CRC judges what arrived.
        if (error == ERROR_OPERATION_ABORTED) {
            DWORD errors = 0;
            ::ClearCommError(handleOf(handle_), &errors, nullptr);
            return 0;
        }
        lineLost(error);
        return 0;
    }
    if (got > 0 && core::frameLog().isDebugEnabled()) traceBytes(name_, "<-", buffer, got, "");
    return got;
}

void ComSerialPort::lineLost(unsigned long error) {
    fail(PortFailure::LineLost, "the line to " + device_ + " was lost: " + errorText(error));
    close();
}

void ComSerialPort::close() {
    if (!handle_) return;
    ::CloseHandle(handleOf(handle_));
    handle_ = nullptr;
    qCDebug(core::linkLog, "%s: closed %s", name_.c_str(), device_.c_str());
}

void ComSerialPort::fail(PortFailure failure, const std::string& detail) {
    failure_ = failure;
    error_ = reportPortFailure(failure, name_, device_, detail);
}

}  // namespace gaugemon::link
