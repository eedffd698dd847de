// Discovery: the first attempt with the stored port, baud rate and parity,
// then a sweep of ports 1..15, each with five baud rates and three parities,
// first in data format "FF", then in "01". The answer of each query is read by
// timer 2, which is always armed a few milliseconds before the next step.
#include "link/frames.h"
#include "link/link_controller.h"
#include "link/link_texts.h"

namespace gaugemon::link {

using core::pick;
namespace timer = core::timer;

namespace {
constexpr unsigned kLastSweptPort = 15;
constexpr unsigned kCombinationsPerPort = 15;
constexpr int kSweepOpenBaud = 19200;
// Timer 5 (the next step) and timer 2 (the answer) of a query: the stored
// port is given longer than a port of the sweep at its first rate.
constexpr int kStoredPortStepMs = 100;
constexpr int kStoredPortAnswerMs = 95;
constexpr int kSweepStepMs = 37;
constexpr int kSweepAnswerMs = 35;

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

struct Combination {
    int baud;
    uint8_t baudIndex;
    int discoveryMs;
    int answerMs;
};
// Baud rates in the order a port is tried, with the timer pair of each.
constexpr Combination kCombinations[5] = {
    {19200, 2, 37, 35}, {38400, 3, 32, 30}, {9600, 1, 52, 50}, {115200, 4, 32, 30}, {4800, 0, 100, 95}};
}  // namespace

void LinkController::discoveryTick() {
    timers_.stop(timer::kDiscovery);
    if (state_.connected) return;
    if (state_.scanStage == ScanStage::StoredPort) {
        firstAttempt();
    } else if (state_.scanCycling) {
        cycleCombination();
    } else {
        sweepPorts();
    }
}

void LinkController::firstAttempt() {
    int32_t storedPort = settings_.readInt(core::keys::kComID, core::defaults::kComID);
    if (storedPort <= 0 || storedPort > 16) storedPort = 1;
    state_.portIndex = static_cast<unsigned>(storedPort);
    port_.close();
    state_.portOpen = false;
    const int32_t storedBaud = settings_.readInt(core::keys::kBaudBit, core::defaults::kBaudBit);
    uint8_t b = state_.dataFormat == DataFormat::Format01 ? baudIndexFrom01(storedBaud)
                                                          : static_cast<uint8_t>(storedBaud < 0 || storedBaud > 4 ? 5 : storedBaud);
    if (b >= 5) b = 2;
    state_.scanBaudIndex = b;
    state_.twoStopBits = 1;
    if (openAt(kBaudTable[b])) {
        armDiscovery(kStoredPortStepMs, kStoredPortAnswerMs);
        sendQuery();
        return;
    }
    state_.scanStage = ScanStage::StoredPortTried;
    sweepPorts();
}

void LinkController::sweepPorts() {
    unsigned first = state_.portIndex + 1;
    if (state_.scanStage == ScanStage::StoredPortTried) {
        state_.scanStage = ScanStage::SweepingFF;
        state_.dataFormat = DataFormat::FormatFF;
        first = 1;
    } else if (state_.scanStage == ScanStage::SweepFFDone) {
        state_.scanStage = ScanStage::Sweeping01;
        first = 1;
    }
    for (unsigned index = first; index <= kLastSweptPort; ++index) {
        port_.close();
        state_.portOpen = false;
        state_.parityCode = 0;
        state_.twoStopBits = 1;
        state_.portIndex = index;
        if (!openAt(kSweepOpenBaud)) continue;
        state_.scanBaudIndex = 2;
        armDiscovery(kSweepStepMs, kSweepAnswerMs);
        state_.scanCycling = true;
        state_.scanStep = 1;
        sendQuery();
        return;
    }
    if (state_.dataFormat == DataFormat::FormatFF) {
        state_.dataFormat = DataFormat::Format01;
        state_.scanStage = ScanStage::SweepFFDone;
        timers_.start(timer::kDiscovery, kDiscoveryStartMs);
        return;
    }
    // The last port tried is not left open with nobody reading it.
    port_.close();
    state_.portOpen = false;
    view_.messageLine = pick(language_, "Connect failed", "扫描设备失败!");
    refresh();
    std::string message = pick(language_, "No available devices found!", "找不到可用设备!");
    refusals_.appendExplanation(message, language_);
    prompts_.showMessage(message);
}

void LinkController::cycleCombination() {
    const unsigned c = state_.scanStep;
    switch (c % 3) {
        case 0: state_.parityCode = 0, state_.twoStopBits = 1; break;
        case 1: state_.parityCode = 1, state_.twoStopBits = 0; break;
        default: state_.parityCode = 2, state_.twoStopBits = 0; break;
    }
    const Combination& combination = kCombinations[(c / 3) % 5];
    openBaud_ = combination.baud;
    openLine_ = line();
    port_.setBaudRate(openBaud_, openLine_);
    state_.scanBaudIndex = combination.baudIndex;
    armDiscovery(combination.discoveryMs, combination.answerMs);
    state_.portOpen = true;
    state_.scanStep = static_cast<uint8_t>(c + 1);
    state_.scanCycling = state_.scanStep < kCombinationsPerPort;
    sendQuery();
}

bool LinkController::openAt(int baudRate) {
    openBaud_ = baudRate;
    openLine_ = line();
    const bool opened = port_.openPort(portName(state_.portIndex), baudRate, openLine_) == 0;
    state_.portOpen = opened;
    if (!opened) refusals_.note(state_.portIndex, port_.lastFailure(), port_.devicePath());
    return opened;
}

void LinkController::armDiscovery(int discoveryMs, int answerMs) {
    timers_.start(timer::kDiscovery, discoveryMs);
    timers_.start(timer::kAnswer, answerMs);
}

void LinkController::sendQuery() {
    if (state_.scanStage == ScanStage::StoredPort) state_.scanStage = ScanStage::StoredPortTried;
    state_.receivedLength = 0;
    request_ = deviceInfoQuery(state_.dataFormat);
    port_.writeFrame(request_.data(), request_.size());
    state_.expectedLength =
        state_.dataFormat == DataFormat::FormatFF ? kInfoAnswerLengthFF : kInfoAnswerLength01;
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
    if (state_.baudCode == 0 && state_.scanBaudIndex == 4) {
        state_.baudCode = 4;
        state_.baudCodeVariant = true;
    } else if (state_.baudCode == 4 && state_.scanBaudIndex == 3) {
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
    buildDeviceInfo(view_.deviceInfo, language_, state_.deviceAddress, state_.probeCount, state_.pollPeriodMs + 23);
    host_.setProbeNumber(1);
    refresh();
    host_.prepareColumns(state_.probeCount);
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
