#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

#include "link/protocol.h"
#include "link/serial_port.h"
#include "sim/faults.h"
#include "sim/instrument_config.h"
#include "sim/master_line.h"
#include "sim/probe_bank.h"

namespace gaugemon::sim {

// Exception codes of Modbus, answered to a request addressed to this
// instrument that it cannot carry out.
enum class ExceptionCode : uint8_t {
    None = 0,
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    DeviceFailure = 4,  // a format "FF" configuration write without the unlock
};

// What became of one received request.
enum class RequestOutcome : uint8_t {
    Answered,       // read answer or write echo
    Rejected,       // exception answer
    NotUnderstood,  // the master's baud rate or framing differs from ours
    TooShort,       // fewer than 4 bytes
    BadCrc,
    OtherAddress,
    Malformed,   // a read or write that is not 8 bytes long
    Unanswered,  // a broadcast the instrument acts on silently or not at all
    Silent,      // the instrument is silent (fault)
    Vanished,    // the line is gone (fault)
};

// The largest reply: 256 reading bytes with their header and CRC, noise ahead
// and stray bytes behind.
constexpr size_t kMaxReplyBytes = 512;

// What the instrument puts on the line in response to one request.
struct Reply {
    RequestOutcome outcome = RequestOutcome::Answered;
    bool sent = false;
    std::array<uint8_t, kMaxReplyBytes> bytes{};
    size_t length = 0;
    // From the end of the request to the first byte: turnaround, plus the
    // delay of a late answer.
    int64_t delayUs = 0;
    // The instrument's line while it answers: a change of line settings takes
    // effect only after its echo has gone out.
    int baudRate = 0;
    link::LineSettings line;
};

struct LogEntry {
    int64_t timeMs = 0;
    std::vector<uint8_t> request;
    RequestOutcome outcome = RequestOutcome::Answered;
    ExceptionCode exception = ExceptionCode::None;
    std::vector<uint8_t> answer;  // as it went on the line, faults included
    uint16_t faults = 0;          // bit set of 1 << FaultKind
    bool hadFault(FaultKind kind) const { return faults & (1u << static_cast<unsigned>(kind)); }
};

// A measuring instrument as a Modbus RTU slave: it takes one request frame at
// a time and answers exactly as the station expects of a real one, in data
// format "01" or "FF". Time comes in with each call (milliseconds of the
// caller's clock), so it runs in virtual time as well as in real time.
class Instrument {
public:
    explicit Instrument(InstrumentConfig config, int64_t nowMs = 0);

    // One request, as delimited on the line by silence, arriving at `nowMs`.
    Reply handleRequest(const uint8_t* bytes, size_t count, const MasterLine& master, int64_t nowMs);

    bool understands(const MasterLine& master) const;
    bool vanishedAt(int64_t nowMs) const;
    bool silentAt(int64_t nowMs) const;

    // The record button on the instrument: the next reading answer carries
    // function 0x83.
    void pressFootSwitch() { footSwitch_ = true; }
    bool footSwitchPending() const { return footSwitch_; }

    // Current state.
    link::DataFormat format() const { return format_; }
    uint8_t address() const { return address_; }
    unsigned probeCount() const { return probes_.count(); }
    int baudRate() const { return baudRate_; }
    link::LineSettings line() const { return line_; }
    uint8_t baudCode() const;
    uint8_t formatFlags() const;
    DisplayMode displayMode() const { return probes_.mode(); }
    bool unlocked() const { return unlocked_; }
    ProbeBank& probes() { return probes_; }
    const ProbeBank& probes() const { return probes_; }
    const InstrumentConfig& config() const { return config_; }
    // What the station decodes from probe k of the last reading answer:
    // 0.001 mm counts, or 0.0001 mm counts on a fine probe.
    int32_t lastAnsweredCounts(unsigned probe) const { return lastAnswered_.at(probe); }
    uint64_t answersSent() const { return answersSent_; }

    const std::deque<LogEntry>& log() const { return log_; }
    void clearLog() { log_.clear(); }

    // Faults, changeable at any time.
    FaultSettings& faults() { return injector_.settings(); }
    const FaultSettings& faults() const { return injector_.settings(); }
    void injectNext(FaultKind kind, uint32_t times = 1) { faults()[kind].next += times; }
    void setFaultRate(FaultKind kind, double rate) { faults()[kind].rate = rate; }
    void setFaultEvery(FaultKind kind, uint32_t every) { faults()[kind].every = every; }
    // The fault holds from `fromMs` until `untilMs` (-1: for good).
    void scheduleFault(FaultKind kind, int64_t fromMs, int64_t untilMs);
    void clearFaults();

private:
    struct Answer;
    static constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

    RequestOutcome screen(const uint8_t* bytes, size_t count, const MasterLine& master, int64_t nowMs);
    void dispatch(const uint8_t* bytes, size_t count, int64_t nowMs, Answer& answer);
    void handleRead(uint16_t first, uint16_t quantity, bool broadcast, int64_t nowMs, Answer& answer);
    void handleWrite(uint16_t reg, uint16_t data, const uint8_t* request, int64_t nowMs, Answer& answer);
    bool writeFF(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer);
    bool write01(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer);
    bool writeCommon(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer);
    bool zeroProbe(uint16_t reg, int64_t nowMs, Answer& answer);
    bool takeUnlock(Answer& answer);
    bool readRegister(uint16_t reg, int64_t nowMs, uint16_t& value);
    uint16_t readingWord(unsigned probe, bool highWord, int64_t nowMs);
    void applyFaults(Reply& reply, int64_t nowMs, LogEntry& entry);
    void remember(LogEntry entry);

    InstrumentConfig config_;
    link::DataFormat format_;
    uint8_t address_;
    int baudRate_;
    link::LineSettings line_;
    uint8_t otherFlags_;
    ProbeBank probes_;
    FaultInjector injector_;
    bool unlocked_ = false;
    bool footSwitch_ = false;
    int64_t silentUntilMs_ = -1;
    int64_t vanishedUntilMs_ = -1;
    uint64_t answersSent_ = 0;
    std::vector<int32_t> lastAnswered_;
    std::deque<LogEntry> log_;
};

}  // namespace gaugemon::sim
