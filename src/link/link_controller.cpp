#include "link/link_controller.h"

#include "core/logging.h"

namespace gaugemon::link {

using core::pick;
namespace timer = core::timer;

LinkController::LinkController(LinkState& state, SerialPort& port, core::TimerSchedule& timers,
                               core::SettingsStore& settings, core::Prompts& prompts, LinkHost& host,
                               const core::Language& language)
    : state_(state),
      port_(port),
      timers_(timers),
      settings_(settings),
      prompts_(prompts),
      host_(host),
      language_(language),
      watchdog_(timers, state) {
    view_.connectCaption = pick(language_, "Connect", "连接设备");
}

void LinkController::connectButton() {
    if (state_.connected) {
        qCInfo(core::linkLog, "disconnected by the operator");
        disconnect();
    } else {
        connect();
    }
}

void LinkController::connect() {
    view_.connectCaption = pick(language_, "Connect", "连接设备");
    state_.portIndex = 0;
    discoveryBegun_ = false;
    state_.readingsReady = false;
    timers_.start(timer::kDiscovery, kDiscoveryStartMs);
    state_.dataFormat =
        settings_.readInt(core::keys::kHW, core::defaults::kHW) == 2 ? DataFormat::FormatFF : DataFormat::Format01;
    host_.clearChart();
    state_.errorCount = 0;
    state_.missCount = 0;
    refusals_.clear();
    PendingRequests& pending = state_.pending;
    pending.writeUnlock = pending.addressChange = pending.serialChange = pending.parityChange = false;
    unansweredConfigWrite_ = nullptr;
    unansweredConfigWrites_ = 0;
    state_.baudCodeVariant = false;
}

void LinkController::endLostConnection() {
    if (!state_.connected) return;
    qCWarning(core::linkLog, "disconnected: the port of the instrument is gone");
    disconnect();
}

void LinkController::disconnect() {
    if (state_.connected) lastInstrument_ = identityOf(state_);
    view_.connectCaption = pick(language_, "Connect", "连接设备");
    if (state_.errorCount == 0 && state_.missCount == 0) view_.messageLine = " ";
    // The port is closed at once: nothing is in flight that a pause would save.
    port_.close();
    state_.portOpen = false;
    view_.commStatus = "  ";
    view_.deviceInfo = "  ";
    state_.connected = false;
    followFastMode();
    for (int id : {timer::kRequest, timer::kRecord, timer::kWatchdog, timer::kDiscovery, timer::kBackup}) {
        timers_.stop(id);
    }
    timers_.stop(timer::kAnswerSilence);
    state_.receivedLength = 0;
    host_.linkClosed();
    view_.parametersEnabled = false;
    view_.modeConfirmEnabled = false;
    view_.codeEntryEnabled = true;
    refresh();
}

void LinkController::zeroAllButton() {
    if (!state_.connected) {
        prompts_.showMessage("请先连接设备!");
        return;
    }
    state_.pending.zeroRequest = true;
    state_.pending.zeroChannel = kZeroAllChannels;
}

void LinkController::zeroSingleButton(unsigned probeNumber) {
    if (!state_.connected) {
        prompts_.showMessage("请先连接设备!");
        return;
    }
    if (probeNumber == 0) return;
    // A number beyond the probes would wrap when narrowed to the one-byte
    // channel and zero some other probe.
    if (probeNumber > state_.probeCount) {
        prompts_.showMessage(
            pick(language_, "The probe number is larger than the number of probes!", "测头编号超出测头数量!"));
        return;
    }
    state_.pending.zeroRequest = true;
    state_.pending.zeroChannel = static_cast<uint8_t>(probeNumber - 1);
}

bool LinkController::onTick(int id) {
    switch (id) {
        case timer::kRequest: requestTick(); return true;
        case timer::kAnswer: answerTick(); return true;
        case timer::kWatchdog: watchdogTick(); return true;
        case timer::kDiscovery: discoveryTick(); return true;
        case timer::kAnswerSilence: silenceTick(); return true;
        default: return false;
    }
}

void LinkController::watchdogTick() {
    watchdog_.expire();
    qCWarning(core::linkLog, "no valid answer for %d ms: the instrument is silent or the line is lost", kWatchdogMs);
    // Views hear of the loss before the message, which may be a modal box.
    refresh();
    prompts_.showMessage(pick(language_, "Device disconnected", "设备已断开连接!"));
}

}  // namespace gaugemon::link
