#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "core/timer_schedule.h"
#include "link/serial_port.h"
#include "sim/instrument.h"
#include "sim/rng.h"

namespace gaugemon::sim {

class SimulatedLine;

// Something that happened on a simulated port, for tests that follow what the
// station tried (discovery sweeps, reopening after a baud change).
struct PortEvent {
    enum class Kind : uint8_t { Open, OpenFailed, SetLine, Write, Close, Lost };
    Kind kind = Kind::Open;
    int64_t timeMs = 0;
    std::string port;
    int baudRate = 0;
    link::LineSettings line;
    std::vector<uint8_t> bytes;  // Write: the frame
};

// The serial ports of a simulated machine, in the caller's (virtual) time.
//
//   core::VirtualTime time;
//   sim::SimulatedPorts ports(time);
//   sim::Instrument& gauge = ports.place("COM5", config);  // every other name fails to open
//   sim::SimulatedLine line(ports);                        // the station's link::SerialPort
//   gauge.pressFootSwitch();                               // next reading answer: function 0x83
//   gauge.injectNext(sim::FaultKind::Drop);                // or setFaultRate, scheduleFault
//   ports.vanish("COM5");                                  // the adapter is pulled
//
// Instruments and empty ports are placed on port names; every other name
// fails to open. Names are matched without the "\\.\" prefix and without
// regard to letter case, so an instrument placed on "COM12" is opened as
// "\\.\COM12". The ports must outlive the lines opened on them.
class SimulatedPorts {
public:
    explicit SimulatedPorts(const core::Clock& clock);
    ~SimulatedPorts();
    SimulatedPorts(const SimulatedPorts&) = delete;
    SimulatedPorts& operator=(const SimulatedPorts&) = delete;

    // Places an instrument on `portName` (replacing what was there) and
    // returns it for inspection and faults. It starts at the current time.
    Instrument& place(std::string_view portName, InstrumentConfig config = {});
    // A port that opens but where nothing answers.
    void addEmptyPort(std::string_view portName);
    void remove(std::string_view portName);

    Instrument* instrumentAt(std::string_view portName);
    // The port is unplugged: a line open on it fails from now on (and closes,
    // as the station's port does on an I/O error), and it cannot be opened.
    void vanish(std::string_view portName);
    void reappear(std::string_view portName);
    bool exists(std::string_view portName) const;

    const std::deque<PortEvent>& events() const { return events_; }
    void clearEvents() { events_.clear(); }
    // Events kept; the oldest go first.
    void setEventCapacity(size_t capacity) { eventCapacity_ = capacity; }

    int64_t nowMs() const { return clock_.nowMs(); }

private:
    friend class SimulatedLine;
    struct Port {
        std::string name;
        std::unique_ptr<Instrument> instrument;
        bool vanished = false;
        SimulatedLine* openBy = nullptr;
    };
    Port* find(std::string_view portName);
    const Port* find(std::string_view portName) const;
    Port& slot(std::string_view portName);
    bool gone(const Port& port) const;
    void record(PortEvent event);

    const core::Clock& clock_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::deque<PortEvent> events_;
    size_t eventCapacity_ = 4096;
};

// The station's end of a simulated serial line. Bytes travel in virtual time:
// the instrument hears a request when it is written and its answer becomes
// readable byte by byte, each one after the wire time of the request, the
// instrument's turnaround and the answer's bytes up to it, at the baud rate and
// framing of the line. An instrument answers only a master whose baud rate
// and framing it understands. Each writeFrame is one request frame.
class SimulatedLine : public link::SerialPort {
public:
    explicit SimulatedLine(SimulatedPorts& ports);
    ~SimulatedLine() override;
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    int openPort(std::string_view name, int baudRate, link::LineSettings line) override;
    void setBaudRate(int baudRate, link::LineSettings line) override;
    int writeFrame(const uint8_t* bytes, size_t count) override;
    size_t readAvailable(uint8_t* buffer, size_t capacity) override;
    void close() override;
    bool isOpen() const override;
    void setArrivalHandler(std::function<void()> handler) override;

    // Tells the station of arriving bytes as a terminal device does: one call
    // as soon as a byte has arrived (to the next millisecond, at least one
    // ahead), again a millisecond later while input waits unread. `wake` is
    // a schedule on the same clock as the ports, given over to the line (its
    // tick handler included), which must outlive the line. Without it the
    // arrival handler is never called.
    void wakeOn(core::TimerSchedule& wake);

    // The test's side.
    const std::string& portName() const { return portName_; }
    int baudRate() const { return baudRate_; }
    link::LineSettings line() const { return line_; }
    Instrument* instrument();
    // Bytes that have arrived and wait to be read.
    size_t bytesWaiting() const;
    // Bytes still on their way.
    size_t bytesInFlight() const;
    // When the last byte on its way will have arrived, or -1.
    int64_t lastArrivalMs() const;
    // Rubbish that reaches the station's end at `atMs`, sent at the line's
    // current settings.
    void injectNoise(const uint8_t* bytes, size_t count, int64_t atMs);

private:
    friend class SimulatedPorts;
    struct Chunk {
        std::vector<uint8_t> bytes;
        size_t taken = 0;
        int64_t startUs = 0;
        int64_t characterUs = 1;
        int baudRate = 0;
        size_t arrivedBy(int64_t nowUs) const;
    };
    int64_t nowUs() const { return ports_.nowMs() * 1000; }
    bool lost();
    void release();
    void purgeArrived();
    void enqueue(Chunk chunk);
    // When the first byte not read yet arrives, or -1 when none is coming.
    int64_t nextArrivalUs() const;
    void armWake();
    void wakeTick();

    SimulatedPorts& ports_;
    SimulatedPorts::Port* port_ = nullptr;
    std::string portName_;
    int baudRate_ = 0;
    link::LineSettings line_;
    std::deque<Chunk> incoming_;
    int64_t transmitterFreeUs_ = 0;
    Rng garble_{0x6A5B1E};
    std::function<void()> arrivalHandler_;
    core::TimerSchedule* wake_ = nullptr;
};

}  // namespace gaugemon::sim
