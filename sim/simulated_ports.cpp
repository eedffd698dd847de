#include "sim/simulated_ports.h"

#include <algorithm>
#include <cctype>

#include "sim/line_timing.h"

namespace gaugemon::sim {

namespace {

// "\\.\COM12", "com12" and "COM12" name the same port.
std::string canonicalName(std::string_view name) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) name.remove_prefix(kDevicePrefix.size());
    std::string out(name);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

SimulatedPorts::SimulatedPorts(const core::Clock& clock) : clock_(clock) {}

SimulatedPorts::~SimulatedPorts() = default;

SimulatedPorts::Port* SimulatedPorts::find(std::string_view portName) {
    const std::string name = canonicalName(portName);
    for (auto& port : ports_) {
        if (port->name == name) return port.get();
    }
    return nullptr;
}

const SimulatedPorts::Port* SimulatedPorts::find(std::string_view portName) const {
    return const_cast<SimulatedPorts*>(this)->find(portName);
}

SimulatedPorts::Port& SimulatedPorts::slot(std::string_view portName) {
    if (Port* port = find(portName)) return *port;
    ports_.push_back(std::make_unique<Port>());
    ports_.back()->name = canonicalName(portName);
    return *ports_.back();
}

Instrument& SimulatedPorts::place(std::string_view portName, InstrumentConfig config) {
    Port& port = slot(portName);
    port.instrument = std::make_unique<Instrument>(std::move(config), clock_.nowMs());
    return *port.instrument;
}

void SimulatedPorts::addEmptyPort(std::string_view portName) { slot(portName).instrument.reset(); }

void SimulatedPorts::remove(std::string_view portName) {
    Port* port = find(portName);
    if (port == nullptr) return;
    // An open line loses the port the way a pulled adapter goes.
    port->vanished = true;
    if (port->openBy != nullptr) port->openBy->lost();
    std::erase_if(ports_, [port](const auto& p) { return p.get() == port; });
}

Instrument* SimulatedPorts::instrumentAt(std::string_view portName) {
    Port* port = find(portName);
    return port != nullptr ? port->instrument.get() : nullptr;
}

void SimulatedPorts::vanish(std::string_view portName) {
    if (Port* port = find(portName)) port->vanished = true;
}

void SimulatedPorts::reappear(std::string_view portName) {
    if (Port* port = find(portName)) port->vanished = false;
}

bool SimulatedPorts::exists(std::string_view portName) const { return find(portName) != nullptr; }

bool SimulatedPorts::gone(const Port& port) const {
    return port.vanished || (port.instrument && port.instrument->vanishedAt(clock_.nowMs()));
}

void SimulatedPorts::record(PortEvent event) {
    if (eventCapacity_ == 0) return;
    while (events_.size() >= eventCapacity_) events_.pop_front();
    events_.push_back(std::move(event));
}

size_t SimulatedLine::Chunk::arrivedBy(int64_t nowUs) const {
    if (nowUs < startUs + characterUs) return 0;
    const auto count = static_cast<size_t>((nowUs - startUs) / characterUs);
    return std::min(count, bytes.size());
}

SimulatedLine::SimulatedLine(SimulatedPorts& ports) : ports_(ports) {}

SimulatedLine::~SimulatedLine() { release(); }

void SimulatedLine::release() {
    if (port_ != nullptr && port_->openBy == this) port_->openBy = nullptr;
    port_ = nullptr;
    incoming_.clear();
    armWake();
}

namespace {
constexpr int kWakeTimer = 0;
}

void SimulatedLine::setArrivalHandler(std::function<void()> handler) {
    arrivalHandler_ = std::move(handler);
    armWake();
}

void SimulatedLine::wakeOn(core::TimerSchedule& wake) {
    wake_ = &wake;
    wake.setTickHandler([this](int) { wakeTick(); });
    armWake();
}

int64_t SimulatedLine::nextArrivalUs() const {
    int64_t next = -1;
    for (const Chunk& chunk : incoming_) {
        if (chunk.taken >= chunk.bytes.size()) continue;
        const int64_t at = chunk.startUs + chunk.characterUs * static_cast<int64_t>(chunk.taken + 1);
        if (next < 0 || at < next) next = at;
    }
    return next;
}

void SimulatedLine::armWake() {
    if (wake_ == nullptr) return;
    const int64_t at = arrivalHandler_ && port_ != nullptr ? nextArrivalUs() : -1;
    if (at < 0) {
        wake_->stop(kWakeTimer);
        return;
    }
    const int64_t waitMs = (at - nowUs() + 999) / 1000;
    wake_->start(kWakeTimer, static_cast<int>(std::max<int64_t>(1, waitMs)));
}

void SimulatedLine::wakeTick() {
    wake_->stop(kWakeTimer);
    if (arrivalHandler_ && !lost() && bytesWaiting() > 0) {
        const std::function<void()> handler = arrivalHandler_;
        handler();
    }
    armWake();
}

bool SimulatedLine::isOpen() const { return port_ != nullptr && !ports_.gone(*port_); }

Instrument* SimulatedLine::instrument() { return port_ != nullptr ? port_->instrument.get() : nullptr; }

// The station's port closes itself on an I/O error, so a line that has lost
// its port stays closed until it is opened again.
bool SimulatedLine::lost() {
    if (port_ == nullptr) return true;
    if (!ports_.gone(*port_)) return false;
    ports_.record({PortEvent::Kind::Lost, ports_.nowMs(), portName_, baudRate_, line_, {}});
    release();
    return true;
}

int SimulatedLine::openPort(std::string_view name, int baudRate, link::LineSettings line) {
    if (port_ != nullptr) close();
    SimulatedPorts::Port* port = ports_.find(name);
    PortEvent event{PortEvent::Kind::OpenFailed, ports_.nowMs(), std::string(name), baudRate, line, {}};
    if (port == nullptr || ports_.gone(*port) || port->openBy != nullptr || baudRate <= 0) {
        ports_.record(std::move(event));
        return -1;
    }
    port_ = port;
    port->openBy = this;
    portName_ = std::string(name);
    baudRate_ = baudRate;
    line_ = line;
    incoming_.clear();
    transmitterFreeUs_ = 0;
    event.kind = PortEvent::Kind::Open;
    ports_.record(std::move(event));
    return 0;
}

void SimulatedLine::setBaudRate(int baudRate, link::LineSettings line) {
    if (lost() || baudRate <= 0) return;
    baudRate_ = baudRate;
    line_ = line;
    ports_.record({PortEvent::Kind::SetLine, ports_.nowMs(), portName_, baudRate, line, {}});
    purgeArrived();
}

void SimulatedLine::close() {
    if (port_ == nullptr) return;
    ports_.record({PortEvent::Kind::Close, ports_.nowMs(), portName_, baudRate_, line_, {}});
    release();
}

void SimulatedLine::purgeArrived() {
    const int64_t now = nowUs();
    for (Chunk& chunk : incoming_) chunk.taken = std::max(chunk.taken, chunk.arrivedBy(now));
    std::erase_if(incoming_, [](const Chunk& c) { return c.taken >= c.bytes.size(); });
    armWake();
}

void SimulatedLine::enqueue(Chunk chunk) {
    const auto later = std::upper_bound(incoming_.begin(), incoming_.end(), chunk.startUs,
                                        [](int64_t start, const Chunk& c) { return start < c.startUs; });
    incoming_.insert(later, std::move(chunk));
}

int SimulatedLine::writeFrame(const uint8_t* bytes, size_t count) {
    if (lost() || bytes == nullptr || count == 0) return -1;
    // Stale input goes before the request; what is still on its way will
    // arrive after it, as on a real line.
    purgeArrived();
    ports_.record({PortEvent::Kind::Write, ports_.nowMs(), portName_, baudRate_, line_, {bytes, bytes + count}});
    Instrument* listener = port_->instrument.get();
    if (listener == nullptr) return 0;
    const int64_t requestEndUs = nowUs() + wireTimeUs(count, baudRate_, line_);
    const Reply reply = listener->handleRequest(bytes, count, MasterLine::exactly(baudRate_, line_), ports_.nowMs());
    if (!reply.sent || reply.length == 0) return 0;
    Chunk chunk;
    chunk.bytes.assign(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length));
    // The instrument has one transmitter: an answer waits for the one before.
    chunk.startUs = std::max(requestEndUs + reply.delayUs, transmitterFreeUs_);
    chunk.characterUs = std::max<int64_t>(1, characterTimeUs(reply.baudRate, reply.line));
    chunk.baudRate = reply.baudRate;
    transmitterFreeUs_ = chunk.startUs + chunk.characterUs * static_cast<int64_t>(chunk.bytes.size());
    enqueue(std::move(chunk));
    armWake();
    return 0;
}

size_t SimulatedLine::readAvailable(uint8_t* buffer, size_t capacity) {
    if (lost() || buffer == nullptr) return 0;
    const int64_t now = nowUs();
    size_t count = 0;
    for (Chunk& chunk : incoming_) {
        const size_t arrived = chunk.arrivedBy(now);
        // Bytes sent at another baud rate reach the station as rubbish.
        const bool garbled = chunk.baudRate != baudRate_;
        while (chunk.taken < arrived && count < capacity) {
            const uint8_t byte = chunk.bytes[chunk.taken++];
            buffer[count++] = garbled ? static_cast<uint8_t>(byte ^ (1 + garble_.below(255))) : byte;
        }
        if (count == capacity) break;
    }
    std::erase_if(incoming_, [](const Chunk& c) { return c.taken >= c.bytes.size(); });
    armWake();
    return count;
}

size_t SimulatedLine::bytesWaiting() const {
    const int64_t now = nowUs();
    size_t count = 0;
    for (const Chunk& chunk : incoming_) count += chunk.arrivedBy(now) - std::min(chunk.taken, chunk.arrivedBy(now));
    return count;
}

size_t SimulatedLine::bytesInFlight() const {
    const int64_t now = nowUs();
    size_t count = 0;
    for (const Chunk& chunk : incoming_) count += chunk.bytes.size() - std::max(chunk.taken, chunk.arrivedBy(now));
    return count;
}

int64_t SimulatedLine::lastArrivalMs() const {
    int64_t last = -1;
    for (const Chunk& chunk : incoming_) {
        const int64_t endUs = chunk.startUs + chunk.characterUs * static_cast<int64_t>(chunk.bytes.size());
        last = std::max(last, (endUs + 999) / 1000);
    }
    return last;
}

void SimulatedLine::injectNoise(const uint8_t* bytes, size_t count, int64_t atMs) {
    if (port_ == nullptr || bytes == nullptr || count == 0) return;
    Chunk chunk;
    chunk.bytes.assign(bytes, bytes + count);
    chunk.startUs = atMs * 1000;
    chunk.characterUs = std::max<int64_t>(1, characterTimeUs(baudRate_, line_));
    chunk.baudRate = baudRate_;
    enqueue(std::move(chunk));
    armWake();
}

}  // namespace gaugemon::sim
