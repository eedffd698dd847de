#include "sim/instrument.h"

#include <algorithm>
#include <utility>

#include "link/crc.h"
#include "sim/baud_codes.h"
#include "sim/reading_encoding.h"

namespace gaugemon::sim {

namespace {

constexpr size_t kRequestLength = 8;
constexpr size_t kMinimumFrame = 4;  // address, function and the two CRC bytes
constexpr uint8_t kExceptionFlag = 0x80;
constexpr unsigned kMaxReadRegisters = 128;
// A read of 128 registers carries 256 bytes, one more than a count byte
// holds; the instrument writes 0xFF for that full block.
constexpr uint8_t kFullBlockByteCount = 0xFF;
constexpr uint8_t kFormat01Flag = 0x02;
constexpr uint8_t kHighestAddress = 254;

uint16_t word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

std::vector<ProbeSetup> setupsFor(const InstrumentConfig& config) {
    std::vector<ProbeSetup> setups = config.probes;
    setups.resize(std::clamp(config.probeCount, 1u, 255u));
    return setups;
}

}  // namespace

struct Instrument::Answer {
    std::array<uint8_t, kMaxReplyBytes> bytes{};
    size_t length = 0;
    RequestOutcome outcome = RequestOutcome::Unanswered;
    ExceptionCode exception = ExceptionCode::None;

    void begin(uint8_t address, uint8_t function) {
        length = 0;
        put(address);
        put(function);
        outcome = RequestOutcome::Answered;
    }
    void put(uint8_t byte) {
        if (length < bytes.size()) bytes[length++] = byte;
    }
    void putWord(uint16_t value) {
        put(static_cast<uint8_t>(value >> 8));
        put(static_cast<uint8_t>(value));
    }
    // The CRC's low byte goes first on the line.
    void finish() {
        const uint16_t crc = link::crc16(bytes.data(), length);
        put(static_cast<uint8_t>(crc >> 8));
        put(static_cast<uint8_t>(crc));
    }
    void reject(uint8_t address, uint8_t function, ExceptionCode code) {
        begin(address, static_cast<uint8_t>(function | kExceptionFlag));
        put(static_cast<uint8_t>(code));
        finish();
        outcome = RequestOutcome::Rejected;
        exception = code;
    }
    // A write is answered with the request itself, from `from`.
    void echo(const uint8_t* request, uint8_t from) {
        begin(from, request[1]);
        for (size_t i = 2; i < 6; ++i) put(request[i]);
        finish();
    }
};

Instrument::Instrument(InstrumentConfig config, int64_t nowMs)
    : config_(std::move(config)),
      format_(config_.format),
      address_(config_.address),
      baudRate_(config_.baudRate),
      line_{config_.parityCode, config_.twoStopBits},
      otherFlags_(static_cast<uint8_t>(config_.formatFlags & ~kFormat01Flag)),
      probes_(setupsFor(config_), config_.seed, config_.samplePeriodMs, nowMs),
      injector_(config_.faults, Rng::mix(config_.seed, 0xFA17, 0)),
      lastAnswered_(probes_.count(), 0) {}

uint8_t Instrument::baudCode() const {
    return baudCodeOf(format_, config_.baudCodeVariant && format_ == link::DataFormat::FormatFF, baudRate_).value_or(0);
}

uint8_t Instrument::formatFlags() const {
    return static_cast<uint8_t>(otherFlags_ | (format_ == link::DataFormat::Format01 ? kFormat01Flag : 0));
}

bool Instrument::understands(const MasterLine& master) const {
    if (master.baudRate != baudRate_) return false;
    if (!(master.parities & parityBit(link::parityOf(line_)))) return false;
    return !config_.strictStopBits || master.stopBits == link::stopBitsOf(line_);
}

bool Instrument::vanishedAt(int64_t nowMs) const {
    return nowMs < vanishedUntilMs_ || injector_.windowCovers(FaultKind::Vanish, nowMs);
}

bool Instrument::silentAt(int64_t nowMs) const {
    return nowMs < silentUntilMs_ || injector_.windowCovers(FaultKind::Silent, nowMs);
}

void Instrument::scheduleFault(FaultKind kind, int64_t fromMs, int64_t untilMs) {
    faults()[kind].fromMs = std::max<int64_t>(0, fromMs);
    faults()[kind].untilMs = untilMs;
}

void Instrument::clearFaults() {
    faults().plans = {};
    silentUntilMs_ = vanishedUntilMs_ = -1;
}

Reply Instrument::handleRequest(const uint8_t* bytes, size_t count, const MasterLine& master, int64_t nowMs) {
    probes_.advanceTo(nowMs);
    Reply reply;
    reply.baudRate = baudRate_;
    reply.line = line_;
    LogEntry entry;
    entry.timeMs = nowMs;
    if (bytes != nullptr) entry.request.assign(bytes, bytes + count);
    entry.outcome = screen(bytes, count, master, nowMs);
    if (entry.outcome == RequestOutcome::Answered) {
        Answer answer;
        dispatch(bytes, count, nowMs, answer);
        entry.outcome = answer.outcome;
        entry.exception = answer.exception;
        if (answer.length > 0) {
            std::copy_n(answer.bytes.begin(), answer.length, reply.bytes.begin());
            reply.length = answer.length;
            reply.sent = true;
            reply.delayUs = config_.turnaroundUs;
            applyFaults(reply, nowMs, entry);
        }
    }
    reply.outcome = entry.outcome;
    if (reply.sent) {
        ++answersSent_;
        entry.answer.assign(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length));
    }
    remember(std::move(entry));
    return reply;
}

// Everything that keeps a request from being looked at; Answered lets it through.
RequestOutcome Instrument::screen(const uint8_t* bytes, size_t count, const MasterLine& master, int64_t nowMs) {
    if (vanishedAt(nowMs)) return RequestOutcome::Vanished;
    if (injector_.strikes(FaultKind::Vanish, nowMs)) {
        const int64_t forMs = injector_.settings().vanishForMs;
        vanishedUntilMs_ = forMs < 0 ? kForever : nowMs + forMs;
        return RequestOutcome::Vanished;
    }
    if (silentAt(nowMs)) return RequestOutcome::Silent;
    if (injector_.strikes(FaultKind::Silent, nowMs)) {
        silentUntilMs_ = nowMs + std::max<int64_t>(0, injector_.settings().silentForMs);
        return RequestOutcome::Silent;
    }
    // A master on other line settings delivers nothing but framing errors.
    if (!understands(master)) return RequestOutcome::NotUnderstood;
    if (bytes == nullptr || count < kMinimumFrame) return RequestOutcome::TooShort;
    if (!link::crcMatches(bytes, count)) return RequestOutcome::BadCrc;
    if (bytes[0] != address_ && bytes[0] != link::kBroadcastAddress) return RequestOutcome::OtherAddress;
    return RequestOutcome::Answered;
}

void Instrument::dispatch(const uint8_t* bytes, size_t count, int64_t nowMs, Answer& answer) {
    const bool broadcast = bytes[0] == link::kBroadcastAddress;
    const uint8_t function = bytes[1];
    // Function codes run from 1 to 127; the top bit marks an exception answer.
    if (function == 0 || (function & kExceptionFlag)) {
        answer.outcome = RequestOutcome::Malformed;
        return;
    }
    if (function != link::kFunctionRead && function != link::kFunctionWrite) {
        // A broadcast is never answered with a complaint.
        if (!broadcast) answer.reject(address_, function, ExceptionCode::IllegalFunction);
        return;
    }
    if (count != kRequestLength) {
        answer.outcome = RequestOutcome::Malformed;
        return;
    }
    if (function == link::kFunctionRead) {
        handleRead(word(bytes + 2), word(bytes + 4), broadcast, nowMs, answer);
    } else if (!broadcast) {
        handleWrite(word(bytes + 2), word(bytes + 4), bytes, nowMs, answer);
    }
}

void Instrument::handleRead(uint16_t first, uint16_t quantity, bool broadcast, int64_t nowMs, Answer& answer) {
    if (quantity == 0 || quantity > kMaxReadRegisters) {
        if (!broadcast) answer.reject(address_, link::kFunctionRead, ExceptionCode::IllegalDataValue);
        return;
    }
    std::array<uint16_t, kMaxReadRegisters> words{};
    for (unsigned i = 0; i < quantity; ++i) {
        const unsigned reg = first + i;
        if (reg > 0xFFFF || !readRegister(static_cast<uint16_t>(reg), nowMs, words[i])) {
            if (!broadcast) answer.reject(address_, link::kFunctionRead, ExceptionCode::IllegalDataAddress);
            return;
        }
    }
    const bool carriesReadings = first < 2 * probes_.count();
    uint8_t function = link::kFunctionRead;
    if (carriesReadings && footSwitch_ && !broadcast) {
        function = link::kFunctionReadRecord;
        footSwitch_ = false;
    }
    answer.begin(address_, function);
    answer.put(quantity == kMaxReadRegisters ? kFullBlockByteCount : static_cast<uint8_t>(2 * quantity));
    for (unsigned i = 0; i < quantity; ++i) answer.putWord(words[i]);
    answer.finish();
}

bool Instrument::readRegister(uint16_t reg, int64_t nowMs, uint16_t& value) {
    if (reg < 2 * probes_.count()) {
        value = readingWord(reg / 2, reg % 2 == 0, nowMs);
        return true;
    }
    const bool ff = format_ == link::DataFormat::FormatFF;
    const uint8_t probeByte = static_cast<uint8_t>(std::min(probes_.count(), 255u));
    switch (reg) {
        case link::reg::kDeviceInfoFF:
            value = static_cast<uint16_t>(line_.twoStopBits << 8 | (line_.parityCode << 4) | baudCode());
            return ff;
        case link::reg::kDeviceInfoFF + 1: value = static_cast<uint16_t>(probeByte << 8 | address_); return ff;
        case link::reg::kDeviceInfoFF + 2: value = 0; return ff;
        case link::reg::kAddress01: value = address_; return !ff;
        case link::reg::kBaud01: value = baudCode(); return !ff;
        case link::reg::kParity01: value = line_.parityCode; return !ff;
        case link::reg::kProbeCount01:
            value = static_cast<uint16_t>(std::min(probes_.count() * 4, 0xFFFFu));
            return !ff;
        case link::reg::kFormatFlags: value = formatFlags(); return true;
        case link::reg::kDisplayMode: value = static_cast<uint16_t>(probes_.mode()); return true;
        default: return false;
    }
}

uint16_t Instrument::readingWord(unsigned probe, bool highWord, int64_t nowMs) {
    const int32_t units = probes_.reportedUnits(probe, nowMs);
    const bool fine = probes_.setup(probe).fine;
    const auto raw = encodeReading(units, fine, config_.negatives, probe);
    lastAnswered_[probe] = stationCounts(units, fine);
    return highWord ? word(raw.data()) : word(raw.data() + 2);
}

void Instrument::handleWrite(uint16_t reg, uint16_t data, const uint8_t* request, int64_t nowMs, Answer& answer) {
    // The echo is built before anything changes: it leaves on the old line.
    answer.echo(request, address_);
    const bool done =
        writeCommon(reg, data, nowMs, answer) ||
        (format_ == link::DataFormat::FormatFF ? writeFF(reg, data, nowMs, answer) : write01(reg, data, nowMs, answer));
    if (!done) answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataAddress);
}

// Format "FF" takes a configuration write only right after the unlock write,
// and each such write uses the unlock up, accepted or not.
bool Instrument::takeUnlock(Answer& answer) {
    if (format_ != link::DataFormat::FormatFF) return true;
    const bool was = unlocked_;
    unlocked_ = false;
    if (!was) answer.reject(address_, link::kFunctionWrite, ExceptionCode::DeviceFailure);
    return was;
}

bool Instrument::writeCommon(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer) {
    if (reg == link::reg::kDisplayMode) {
        if (!takeUnlock(answer)) return true;
        if (data >= kDisplayModeCount) {
            answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
        } else {
            probes_.setMode(static_cast<DisplayMode>(data), nowMs);
        }
        return true;
    }
    if (reg == link::reg::kFormatFlags) {
        if (!takeUnlock(answer)) return true;
        if (data > 0xFF) {
            answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            return true;
        }
        // A new format applies to the requests after this echo; the station
        // finds the instrument again by discovery.
        otherFlags_ = static_cast<uint8_t>(data & ~kFormat01Flag);
        format_ = (data & kFormat01Flag) ? link::DataFormat::Format01 : link::DataFormat::FormatFF;
        unlocked_ = false;
        return true;
    }
    return false;
}

bool Instrument::zeroProbe(uint16_t reg, int64_t nowMs, Answer& answer) {
    if (reg % 2 != 0) {
        answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataAddress);
    } else {
        probes_.zero(reg / 2u, nowMs);
    }
    return true;
}

bool Instrument::writeFF(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer) {
    const uint8_t high = static_cast<uint8_t>(data >> 8);
    const uint8_t low = static_cast<uint8_t>(data);
    switch (reg) {
        case link::reg::kUnlockFF:
            unlocked_ = data == link::kUnlockCode;
            if (!unlocked_) answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            return true;
        case link::reg::kZeroAllFF:
            if (data != 0) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            } else {
                probes_.zeroAll(nowMs);
            }
            return true;
        case link::reg::kSerialFF: {
            if (!takeUnlock(answer)) return true;
            const uint8_t parity = static_cast<uint8_t>(low >> 4);
            const auto rate = baudRateOf(format_, config_.baudCodeVariant, static_cast<uint8_t>(low & 0x07));
            if (!rate || parity > 2) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
                return true;
            }
            baudRate_ = *rate;
            line_ = link::LineSettings{parity, static_cast<uint8_t>(high != 0 ? 1 : 0)};
            return true;
        }
        case link::reg::kAddressFF:
            if (!takeUnlock(answer)) return true;
            if (high != 0 || low < 1 || low > kHighestAddress) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
                return true;
            }
            // This instrument confirms a new address from the new address.
            answer.bytes[0] = low;
            answer.length -= 2;
            answer.finish();
            address_ = low;
            return true;
        default: break;
    }
    if (reg < 2 * probes_.count()) {
        if (data != 0) {
            answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            return true;
        }
        return zeroProbe(reg, nowMs, answer);
    }
    return false;
}

bool Instrument::write01(uint16_t reg, uint16_t data, int64_t nowMs, Answer& answer) {
    const bool valueFitsByte = data <= 0xFF;
    switch (reg) {
        case link::reg::kAddress01:
            if (!valueFitsByte || data < 1 || data > kHighestAddress) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            } else {
                address_ = static_cast<uint8_t>(data);
            }
            return true;
        case link::reg::kBaud01: {
            const auto rate = valueFitsByte ? baudRateOf(format_, false, static_cast<uint8_t>(data)) : std::nullopt;
            if (!rate) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            } else {
                baudRate_ = *rate;
            }
            return true;
        }
        case link::reg::kParity01:
            if (data > 2) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            } else {
                line_.parityCode = static_cast<uint8_t>(data);
            }
            return true;
        case link::reg::kZeroAll01:
            if (data != link::kUnlockCode) {
                answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            } else {
                probes_.zeroAll(nowMs);
            }
            return true;
        default: break;
    }
    if (reg < 2 * probes_.count()) {
        // Format "01" zeroes only with the unlock code as the data.
        if (data != link::kUnlockCode) {
            answer.reject(address_, link::kFunctionWrite, ExceptionCode::IllegalDataValue);
            return true;
        }
        return zeroProbe(reg, nowMs, answer);
    }
    return false;
}

void Instrument::applyFaults(Reply& reply, int64_t nowMs, LogEntry& entry) {
    // Every kind counts its opportunity on every answer, so `every` and
    // `next` count answers however the other kinds fire.
    std::array<bool, kFaultKindCount> hit{};
    for (const FaultKind kind : {FaultKind::Drop, FaultKind::CorruptCrc, FaultKind::Truncate, FaultKind::StrayBytes,
                                 FaultKind::Late, FaultKind::Noise}) {
        hit[static_cast<size_t>(kind)] = injector_.strikes(kind, nowMs);
    }
    const auto struck = [&](FaultKind kind) { return hit[static_cast<size_t>(kind)]; };
    const auto mark = [&](FaultKind kind) { entry.faults |= static_cast<uint16_t>(1u << static_cast<unsigned>(kind)); };
    Rng& rng = injector_.rng();
    const FaultSettings& settings = injector_.settings();
    if (struck(FaultKind::Drop)) {
        mark(FaultKind::Drop);
        reply.sent = false;
        reply.length = 0;
        return;
    }
    if (struck(FaultKind::Late)) {
        mark(FaultKind::Late);
        reply.delayUs += std::max<int64_t>(0, settings.lateByMs) * 1000;
    }
    if (struck(FaultKind::CorruptCrc)) {
        mark(FaultKind::CorruptCrc);
        reply.bytes[reply.length - 1] ^= static_cast<uint8_t>(1 + rng.below(255));
    }
    if (struck(FaultKind::Truncate) && reply.length >= 2) {
        mark(FaultKind::Truncate);
        reply.length = 1 + rng.below(static_cast<uint32_t>(reply.length - 1));
    }
    if (struck(FaultKind::StrayBytes)) {
        mark(FaultKind::StrayBytes);
        const size_t extra =
            std::min<size_t>(1 + rng.below(std::max(1u, settings.maxStrayBytes)), reply.bytes.size() - reply.length);
        for (size_t i = 0; i < extra; ++i) reply.bytes[reply.length++] = rng.byte();
    }
    if (struck(FaultKind::Noise)) {
        mark(FaultKind::Noise);
        const size_t burst =
            std::min<size_t>(1 + rng.below(std::max(1u, settings.maxNoiseBytes)), reply.bytes.size() - reply.length);
        std::copy_backward(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length),
                           reply.bytes.begin() + static_cast<long>(reply.length + burst));
        for (size_t i = 0; i < burst; ++i) reply.bytes[i] = rng.byte();
        reply.length += burst;
    }
}

void Instrument::remember(LogEntry entry) {
    if (config_.logCapacity == 0) return;
    while (log_.size() >= config_.logCapacity) log_.pop_front();
    log_.push_back(std::move(entry));
}

}  // namespace gaugemon::sim
