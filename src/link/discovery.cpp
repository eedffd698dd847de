// Discovery walks its plan on timer 5: the stored port first, then the sweep
// of ports in both formats. The answer of each query is read by timer 2,
// which is always armed a few milliseconds before the next step.
#include "core/logging.h"
#include "link/discovery_plan.h"
#include "link/frames.h"
#include "link/link_controller.h"
#include "link/link_texts.h"

namespace gaugemon::link {

using core::pick;
namespace timer = core::timer;

namespace {
// The instrument's stored baud code in format "01" numbering, as an index
// into the baud table.
uint8_t baudIndexFrom01(int32_t code) {
    switch (code) {
        case 0: return 1;
        case 1: return 2;
        case 2: return 3;
        case 3: return 0;
        default: return static_cast<uint8_t>(code < 0 ? 5 : (code > 255 ? 5 : code));
    }
}
}  // namespace

void LinkController::discoveryTick() {
    timers_.stop(timer::kDiscovery);
    if (state_.connected) return;
    if (discoveryBegun_) {
        plan_.advance();
    } else {
        beginDiscovery();
    }
    takeDiscoveryStep();
}

// The port and baud rate of the last connection come first.
void LinkController::beginDiscovery() {
    discoveryBegun_ = true;
    int32_t storedPort = settings_.readInt(core::keys::kComID, core::defaults::kComID);
    if (storedPort <= 0 || storedPort > 16) storedPort = 1;
    const int32_t storedBaud = settings_.readInt(core::keys::kBaudBit, core::defaults::kBaudBit);
    uint8_t b = state_.dataFormat == DataFormat::Format01
                    ? baudIndexFrom01(storedBaud)
                    : static_cast<uint8_t>(storedBaud < 0 || storedBaud > 4 ? 5 : storedBaud);
    if (b >= 5) b = 2;
    plan_.begin(static_cast<unsigned>(storedPort), b, state_.dataFormat, line());
}

void LinkController::takeDiscoveryStep() {
    using Action = DiscoveryStep::Action;
    for (;;) {
        const DiscoveryStep& step = plan_.step();
        state_.dataFormat = step.format;
        switch (step.action) {
            case Action::OpenPort:
                port_.close();
                state_.portOpen = false;
                state_.portIndex = step.portIndex;
                state_.parityCode = step.line.parityCode;
                state_.twoStopBits = step.line.twoStopBits;
                if (!openAt(step.baud)) {
                    plan_.portRefused();
                    continue;
                }
                break;
            case Action::ChangeLine:
                state_.parityCode = step.line.parityCode;
                state_.twoStopBits = step.line.twoStopBits;
                openBaud_ = step.baud;
                openLine_ = line();
                port_.setBaudRate(openBaud_, openLine_);
                state_.portOpen = true;
                break;
            case Action::NextFormat:
                state_.dataFormat = DataFormat::Format01;
                timers_.start(timer::kDiscovery, step.stepMs);
                return;
            case Action::GiveUp: giveUpDiscovery(); return;
        }
        armDiscovery(step.stepMs, step.answerMs);
        sendQuery();
        return;
    }
}

void LinkController::giveUpDiscovery() {
    logGiveUp();
    // The last port tried is not left open with nobody reading it.
    port_.close();
    state_.portOpen = false;
    view_.messageLine = pick(language_, "Connect failed", "扫描设备失败!");
    refresh();
    std::string message = pick(language_, "No available devices found!", "找不到可用设备!");
    refusals_.appendExplanation(message, language_);
    if (const unsigned kept = plan_.keptPort())
        appendKeptPortExplanation(message, language_, lastOpenFailure_, portName(kept), lastOpenDevice_);
    prompts_.showMessage(message);
}

// A station that searches again and again (nobody watching) would log the
// same line every time: a reason is logged once, until it changes.
void LinkController::logGiveUp() {
    std::string where = "any port";
    if (const unsigned kept = plan_.keptPort()) {
        where = std::string(portName(kept));
        if (!lastOpenDevice_.empty()) where += " (" + lastOpenDevice_ + ")";
    }
    const std::string reason = "discovery found no instrument on " + where;
    if (reason == lastGiveUp_) {
        qCDebug(core::linkLog, "%s", reason.c_str());
        return;
    }
    lastGiveUp_ = reason;
    qCWarning(core::linkLog, "%s", reason.c_str());
}

bool LinkController::openAt(int baudRate) {
    openBaud_ = baudRate;
    openLine_ = line();
    const bool opened = port_.openPort(portName(state_.portIndex), baudRate, openLine_) == 0;
    state_.portOpen = opened;
    lastOpenFailure_ = opened ? PortFailure::None : port_.lastFailure();
    lastOpenDevice_.assign(port_.devicePath());
    if (!opened) refusals_.note(state_.portIndex, lastOpenFailure_, lastOpenDevice_);
    return opened;
}

void LinkController::armDiscovery(int discoveryMs, int answerMs) {
    timers_.start(timer::kDiscovery, discoveryMs);
    timers_.start(timer::kAnswer, answerMs);
}

void LinkController::sendQuery() {
    state_.receivedLength = 0;
    request_ = deviceInfoQuery(state_.dataFormat);
    port_.writeFrame(request_.data(), request_.size());
    state_.expectedLength = state_.dataFormat == DataFormat::FormatFF ? kInfoAnswerLengthFF : kInfoAnswerLength01;
    buildScanStatus(view_.messageLine, language_, state_.dataFormat, state_.portIndex);
    refresh();
}

void LinkController::handleInfoAnswer() {
    const uint8_t* bytes = state_.received.data();
    const size_t count = state_.receivedLength;
    if (state_.dataFormat == DataFormat::FormatFF) {
        if (const auto info = parseDeviceInfoFF(bytes, count)) connectFF(*info);
    } else if (const auto info = parseDeviceInfo01(bytes, count)) {
        connect01(*info);
    }
}

void LinkController::connectFF(const DeviceInfoFF& info) {
    state_.lastExchange = Exchange::Valid;
    state_.connected = true;
    view_.codeEntryEnabled = false;
    view_.messageLine = pick(language_, "Connect succes!", "连接设备成功!!");
    view_.connectCaption = pick(language_, "Unconnect", "断开连接");
    view_.parametersEnabled = view_.modeConfirmEnabled = view_.modeListEnabled = true;
    state_.singleProbeDevice = info.probeCount == 1;
    timers_.stop(timer::kDiscovery);
    state_.probeCount = clampProbeCount(info.probeCount);
    state_.baudCode = info.serialByte & 0x07;
    // Some instruments report 115200 as code 0 and 38400 as code 4.
    if (state_.baudCode == 0 && plan_.step().baudIndex == 4) {
        state_.baudCode = 4;
        state_.baudCodeVariant = true;
    } else if (state_.baudCode == 4 && plan_.step().baudIndex == 3) {
        state_.baudCode = 3;
        state_.baudCodeVariant = true;
    }
    const int baud = baudRateOfCode(DataFormat::FormatFF, state_.baudCode);
    state_.pollPeriodMs = pollPeriodOfLine(baud);
    state_.parityCode = info.serialByte >> 4;
    state_.twoStopBits = info.twoStopBits;
    state_.deviceAddress = info.address;
    storeLinkSettings();
    buildCommStatus(view_.commStatus, state_.portIndex, " ", baud, parityLetter((info.serialByte >> 4) & 0x03));
    finishConnection();
}

void LinkController::connect01(const DeviceInfo01& info) {
    state_.lastExchange = Exchange::Valid;
    state_.connected = true;
    view_.codeEntryEnabled = false;
    if ((info.probeCountTimes4 & 0xFF) > 4) view_.parametersEnabled = true;
    view_.messageLine = pick(language_, "Connect succes!", "连接设备成功!");
    view_.connectCaption = pick(language_, "Unconnect", "断开连接");
    timers_.stop(timer::kDiscovery);
    const unsigned countWord = info.probeCountTimes4;
    state_.probeCount = (countWord >> 8) == 0 ? clampProbeCount((countWord & 0xFF) / 4) : kMaxProbes;
    // Only format "FF" instruments announce a single-probe zero register.
    state_.singleProbeDevice = false;
    state_.baudCode = info.baudCode;
    const int baud = baudRateOfCode(DataFormat::Format01, state_.baudCode);
    state_.pollPeriodMs = pollPeriodOfLine(baud);
    state_.parityCode = info.parityCode;
    state_.twoStopBits = info.parityCode;
    state_.deviceAddress = info.address;
    storeLinkSettings();
    buildCommStatus(view_.commStatus, state_.portIndex, " ", baud, parityLetter(state_.parityCode));
    finishConnection();
}

void LinkController::finishConnection() {
    qCInfo(core::linkLog, "connected: %s, address %u, %u probes", view_.commStatus.c_str(),
           unsigned{state_.deviceAddress}, state_.probeCount);
    lastGiveUp_.clear();
    warnOfAnotherInstrument();
    fillDeviceInfo(state_.pollPeriodMs + 23);
    followFastMode();
    // The answer that made the connection is its first valid one: an
    // instrument silent from then on is reported like one that fell silent.
    watchdog_.rearm();
    host_.setProbeNumber(1);
    refresh();
    host_.prepareColumns(state_.probeCount);
}

// Said before the first row of the new instrument is recorded: its values go
// on under the same station name.
void LinkController::warnOfAnotherInstrument() {
    const InstrumentIdentity now = identityOf(state_);
    if (!lastInstrument_ || *lastInstrument_ == now) return;
    qCWarning(core::linkLog, "%s", anotherInstrumentText(*lastInstrument_, now, core::Language::English).c_str());
    view_.messageLine = anotherInstrumentText(*lastInstrument_, now, language_);
}

void LinkController::storeLinkSettings() {
    // The next first attempt needs all four from the same connection.
    core::SettingsBatch batch(settings_);
    settings_.writeInt(core::keys::kComID, static_cast<int32_t>(state_.portIndex));
    settings_.writeInt(core::keys::kBaudBit, state_.baudCode);
    settings_.writeInt(core::keys::kParityBit, state_.parityCode);
    settings_.writeInt(core::keys::kHW, static_cast<int32_t>(state_.dataFormat));
}

}  // namespace gaugemon::link
