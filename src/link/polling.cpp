// The request/answer cycle: timer 1 sends one frame (a pending command or the
// readings request), timer 2 reads its answer pollPeriodMs - 2 ms later and
// re-arms timer 1 with 15 ms. Fast polling takes the answer earlier
// (fast_polling.cpp); what an answer counts as is the same in both.
#include <algorithm>
#include <cstring>
#include <utility>

#include "core/logging.h"
#include "link/decode.h"
#include "link/frames.h"
#include "link/line_timing.h"
#include "link/link_controller.h"
#include "link/link_texts.h"

namespace gaugemon::link {

namespace timer = core::timer;

namespace {
constexpr int kRequestFallbackMs = 1233;
// Sends of one format "FF" configuration write before it is given up.
constexpr int kConfigWriteTries = 3;
}  // namespace

void LinkController::requestTick() {
    // Timer 1 is started anew below with its fallback period: stopping it
    // first would only add a round trip through the event loop's timer list.
    if (unansweredConfigWrite_ != nullptr) followConfigWrite(*unansweredConfigWrite_);
    unansweredConfigWrite_ = nullptr;
    state_.expectedLength = 8;
    zeroInFlight_ = false;
    const RequestFrame& frame = nextRequest();
    accountLastExchange();
    port_.writeFrame(frame.data(), frame.size());
    host_.requestSent();
    state_.lastExchange = Exchange::None;
    state_.receivedLength = 0;
    awaitingAnswer_ = true;
    if (watchingArrivals_) timers_.stop(timer::kAnswerSilence);
    timers_.start(timer::kAnswer, state_.pollPeriodMs - kAnswerReadEarlyMs);
    timers_.start(timer::kRequest, kRequestFallbackMs);
    // Told last, once this tick's work is done: polling goes on inside the box.
    if (std::exchange(configWriteGivenUp_, false))
        prompts_.showMessage(core::pick(language_, "The instrument did not take the setting.", "仪器未接受该设置!"));
}

// A format "FF" instrument takes one configuration write per unlock. When
// the last one went unanswered it is sent again behind a fresh unlock, or it
// would be refused on every tick and polling would never resume. An
// instrument that refuses the write itself would refuse it for ever, the
// readings would stop, and every unlock echo would keep the watchdog quiet:
// after a few tries the write is given up.
void LinkController::followConfigWrite(bool& request) {
    if (!request) {
        unansweredConfigWrites_ = 0;
        return;
    }
    if (++unansweredConfigWrites_ < kConfigWriteTries) {
        state_.pending.writeUnlock = true;
        return;
    }
    unansweredConfigWrites_ = 0;
    request = false;
    configWriteGivenUp_ = true;
    qCWarning(core::linkLog, "the instrument did not take a setting in %d tries; it is given up", kConfigWriteTries);
}

// The first pending command in order of priority, else the readings request.
// A command stays raised until its echo, so a lost echo repeats it.
const RequestFrame& LinkController::nextRequest() {
    PendingRequests& pending = state_.pending;
    // Only format "FF" instruments lock their configuration.
    if (state_.dataFormat != DataFormat::FormatFF) pending.writeUnlock = false;
    commandInFlight_ = true;
    for (const Command command : kCommandPriority) {
        if (pending.raised(command)) return request_ = commandFrame(command);
    }
    commandInFlight_ = false;
    state_.expectedLength = readingsAnswerLength(state_.probeCount);
    return request_ = readingsRequest(state_.deviceAddress, state_.probeCount);
}

RequestFrame LinkController::commandFrame(Command command) {
    PendingRequests& p = state_.pending;
    const uint8_t address = state_.deviceAddress;
    const DataFormat format = state_.dataFormat;
    switch (command) {
        case Command::WriteUnlock: return unlockWrite(address);
        case Command::AddressChange: return configWriteFF(p.addressChange, addressWrite(format, address, p.newAddress));
        case Command::SerialChange: {
            if (format == DataFormat::Format01) {
                // Format "01" numbers 9600, 19200, 38400 as 0, 1, 2 and can be
                // set to nothing else; its parity goes in a write of its own.
                const uint8_t code =
                    state_.baudCode >= 1 && state_.baudCode <= 3 ? static_cast<uint8_t>(state_.baudCode - 1) : 2;
                p.parityChange = true;
                return baudWrite01(address, code);
            }
            const uint8_t baudBits = state_.baudCodeVariant ? variantBaudBits(state_.baudCode) : state_.baudCode;
            return configWriteFF(p.serialChange,
                                 serialSettingsWriteFF(address, state_.twoStopBits, state_.parityCode, baudBits));
        }
        case Command::ParityChange:
            state_.twoStopBits = state_.parityCode;
            return parityWrite01(address, state_.parityCode);
        case Command::ModeChange: return configWriteFF(p.modeChange, displayModeWrite(address, p.modeIndex));
        case Command::FlagsWrite: return configWriteFF(p.flagsWrite, formatFlagsWrite(address, state_.deviceFlags));
        case Command::FlagsRead:
            --p.flagsReadsLeft;
            state_.expectedLength = kFlagsAnswerLength;
            return formatFlagsRead(address);
        case Command::Zero:
            zeroInFlight_ = true;
            return zeroRequest(format, address, p.zeroChannel, state_.singleProbeDevice);
    }
    return readingsRequest(address, state_.probeCount);
}

RequestFrame LinkController::configWriteFF(bool& request, const RequestFrame& frame) {
    if (state_.dataFormat == DataFormat::FormatFF) unansweredConfigWrite_ = &request;
    return frame;
}

void LinkController::accountLastExchange() {
    switch (state_.lastExchange) {
        case Exchange::Valid: return;
        case Exchange::None: ++state_.missCount; break;
        case Exchange::Invalid: ++state_.errorCount; break;
    }
    buildMessageLine(view_.messageLine, language_, state_.errorCount, state_.missCount);
    refresh();
}

void LinkController::answerTick() {
    timers_.stop(timer::kAnswer);
    if (fastActive() && awaitingAnswer_) {
        // The timeout of fast polling: the answer is what has come by now.
        readMore();
        finishFastAnswer(true);
        return;
    }
    readMore();
    takeAnswer();
    // A late wake-up of this tick or of the request's is made up out of the
    // gap, as far as the line's own minimum gap allows.
    scheduleNextRequest(kRequestGapMs, frameGapMs(openBaud_, openLine_));
}

// The code step may run a dialog with polling going on inside it. When a
// request went out meanwhile, its own answer schedules the next one: timer 1
// restarted here would send that next request before this answer is read,
// and throw the answer away as a miss.
void LinkController::scheduleNextRequest(int gapMs, int shortestGapMs) {
    if (state_.connected && !awaitingAnswer_) timers_.startMakingUp(timer::kRequest, gapMs, shortestGapMs);
}

// Appends what has arrived to the answer so far (nothing, in the normal
// cycle: it reads once).
void LinkController::readMore() {
    const unsigned held = std::min<unsigned>(state_.receivedLength, kReceiveBufferBytes);
    const size_t room = std::min<size_t>(kReceiveBufferBytes - held, kMaxReadBytes);
    state_.receivedLength = held + static_cast<unsigned>(port_.readAvailable(state_.received.data() + held, room));
}

// Judges the bytes received as the answer to the request in flight: a valid
// answer is acted on, anything else counts as an error, nothing as a miss
// (counted when the next request goes out).
void LinkController::takeAnswer() {
    awaitingAnswer_ = false;
    const unsigned count = state_.receivedLength;
    if (count > 0) {
        state_.lastExchange = Exchange::Invalid;
        if (count >= state_.expectedLength && count >= 5) {
            if (!state_.connected) {
                handleInfoAnswer();
            } else {
                const Answer answer = classifyAnswer(state_.received.data(), count, state_);
                if (answer.kind != AnswerKind::Invalid) {
                    state_.lastExchange = Exchange::Valid;
                    watchdog_.rearm();
                    handleAnswer(answer);
                    if (commandInFlight_) host_.commandAnswered();
                }
                if (state_.readingsReady) {
                    decodeReadings(state_);
                    state_.readingsReady = false;
                    host_.readingsArrived(std::span<const ChannelReading>(state_.readings.data(),
                                                                          std::min(state_.probeCount, kMaxProbes)));
                }
            }
        }
    }
    state_.receivedLength = 0;
    host_.codeStep();
}

void LinkController::handleAnswer(const Answer& answer) {
    switch (answer.kind) {
        case AnswerKind::Readings: handleReadings(answer); break;
        case AnswerKind::FormatFlags:
            state_.pending.flagsReadsLeft = 0;
            state_.deviceFlags = static_cast<uint8_t>(answer.data & 0xFF);
            break;
        case AnswerKind::WriteEcho: handleWriteEcho(answer.reg, answer.data); break;
        case AnswerKind::NewAddressEcho:
            if (state_.dataFormat == DataFormat::FormatFF) addressEchoFF();
            break;
        case AnswerKind::Ignored:
        case AnswerKind::Invalid: break;
    }
}

void LinkController::handleReadings(const Answer& answer) {
    const unsigned length = std::min<unsigned>(answer.payloadLength, kRawReadingBytes);
    std::memcpy(state_.rawReadings.data(), answer.payload, length);
    state_.readingsReady = true;
    if (answer.recordRequest) host_.instrumentRecordRequest();
}

void LinkController::handleWriteEcho(uint16_t reg, uint16_t data) {
    PendingRequests& p = state_.pending;
    const bool formatFF = state_.dataFormat == DataFormat::FormatFF;
    if (reg == reg::kUnlockFF && formatFF) p.writeUnlock = false;
    // The echo of the zero command completes it; its register is not
    // compared. The echo of another write that happens to carry the same
    // data (a mode or serial write ahead of the zero) leaves it pending.
    if (zeroInFlight_ && (data == 0x0000 || (!formatFF && data == kUnlockCode))) p.zeroRequest = false;
    if (formatFF) {
        if (reg == reg::kSerialFF) serialEchoFF(data);
        if (reg == reg::kAddressFF) addressEchoFF();
    } else {
        if (reg == reg::kAddress01) addressEcho01();
        if (reg == reg::kBaud01) baudEcho01(data);
        if (reg == reg::kParity01) parityEcho01(data);
    }
    if (reg == reg::kFormatFlags) p.flagsWrite = false;
    if (reg == reg::kDisplayMode) p.modeChange = false;
}

}  // namespace gaugemon::link
