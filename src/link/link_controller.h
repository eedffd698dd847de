#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/language.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "link/answers.h"
#include "link/discovery_plan.h"
#include "link/frames.h"
#include "link/instrument_identity.h"
#include "link/link_host.h"
#include "link/link_state.h"
#include "link/parameter_settings.h"
#include "link/port_refusals.h"
#include "link/serial_port.h"
#include "link/watchdog.h"

namespace gaugemon::link {

// The setting that turns fast polling on (1) or off (0, the default).
inline constexpr std::string_view kFastModeKey = "FastMode";
// The normal cycle's wait from an answer to the next request.
inline constexpr int kRequestGapMs = 15;
// The normal cycle reads the answer this much before the poll period is up.
inline constexpr int kAnswerReadEarlyMs = 2;
// The normal cycle as scheduled, without the work of its ticks.
constexpr int32_t scheduledCycleMs(int32_t pollPeriodMs) { return pollPeriodMs - kAnswerReadEarlyMs + kRequestGapMs; }

// The station's side of the serial link: Connect and Disconnect, discovery of
// the instrument, the request/answer polling cycle, the watchdog and the zero
// buttons. It acts on `LinkState` and reaches the world only through the seams
// it is given; the main window routes timers 1, 2, 4, 5 and 8 to its ticks.
//
// Fast polling, when it is on, changes only the pace once connected: the
// answer is taken as soon as it is complete (its expected length with a
// right CRC, or the line gone quiet for 3.5 characters), the next request
// follows after the line's minimum gap, and timer 2 is only the timeout.
// It needs a port that tells when input arrives; on one that cannot, each
// answer waits for its timeout.
class LinkController {
public:
    LinkController(LinkState& state, SerialPort& port, core::TimerSchedule& timers, core::SettingsStore& settings,
                   core::Prompts& prompts, LinkHost& host, const core::Language& language);

    const LinkView& view() const { return view_; }
    LinkView& view() { return view_; }
    core::Language language() const { return language_; }
    // Long steps elsewhere pause it (WatchdogPause).
    Watchdog& watchdog() { return watchdog_; }
    // Connected, but the watchdog ran out and no valid answer came since:
    // the port is open and polled, the instrument is lost.
    bool instrumentLost() const { return state_.connected && watchdog_.expired(); }

    // Connect/Disconnect button.
    void connectButton();
    // The port of a connection is gone (an adapter pulled): the connection
    // ends as Disconnect ends it, with the reason in the log.
    void endLostConnection();
    // Discovery asks only on port `portIndex` (the port the station was
    // given), also after a loss; 0 sweeps every port.
    void keepToPort(unsigned portIndex) { plan_.keepTo(portIndex); }
    // Zero buttons; `probeNumber` is the 1-based probe of the probe-number field.
    void zeroAllButton();
    void zeroSingleButton(unsigned probeNumber);

    // The display mode selector's index; see raiseDisplayModeChange.
    ModeRequest requestDisplayMode(int selectedIndex) { return raiseDisplayModeChange(state_, selectedIndex); }
    // The parameters dialog: its filling (which may ask for the format flags)
    // and its OK, which raises the requests of the changed choices.
    ParameterChoice fillParameters(ParameterChoice& remembered) { return fillParameterChoice(state_, remembered); }
    ParameterOk applyParameters(const ParameterChoice& remembered, const ParameterChoice& choice) {
        return applyParameterChoice(state_, remembered, choice);
    }

    // Fast polling on or off; it takes effect with the next request.
    void setFastMode(bool on);
    bool fastMode() const { return fastMode_; }

    // Runs the tick of timer 1, 2, 4, 5 or 8; false for any other timer.
    bool onTick(int id);

    // Timer ticks.
    void discoveryTick();  // timer 5
    void requestTick();    // timer 1
    void answerTick();     // timer 2
    void watchdogTick();   // timer 4
    void silenceTick();    // timer 8

private:
    // Connect and Disconnect.
    void connect();
    void disconnect();
    // Discovery.
    void beginDiscovery();
    void takeDiscoveryStep();
    void giveUpDiscovery();
    bool openAt(int baudRate);
    void logGiveUp();
    void warnOfAnotherInstrument();
    void armDiscovery(int discoveryMs, int answerMs);
    void sendQuery();
    void handleInfoAnswer();
    void connectFF(const DeviceInfoFF& info);
    void connect01(const DeviceInfo01& info);
    void finishConnection();
    void storeLinkSettings();
    // Polling.
    const RequestFrame& nextRequest();
    RequestFrame commandFrame(Command command);
    RequestFrame configWriteFF(bool& request, const RequestFrame& frame);
    void accountLastExchange();
    void readMore();
    void takeAnswer();
    void scheduleNextRequest(int gapMs, int shortestGapMs);
    void followConfigWrite(bool& request);
    // Fast polling.
    bool fastActive() const { return fastMode_ && state_.connected; }
    void followFastMode();
    void bytesArrived();
    void dropStrayInput();
    bool answerComplete() const;
    void finishFastAnswer(bool timedOut);
    void handleAnswer(const Answer& answer);
    void handleReadings(const Answer& answer);
    void handleWriteEcho(uint16_t reg, uint16_t data);
    // Parameter echoes.
    void serialEchoFF(uint16_t data);
    // Baud code and parity as one change.
    void storeLine();
    void addressEchoFF();
    void addressEcho01();
    void baudEcho01(uint16_t data);
    void parityEcho01(uint16_t data);
    void reopenPort(int baudRate, LineSettings line);
    int32_t pollPeriodOfLine(int baudRate) const;
    void rebuildDeviceInfo(int32_t cycleMs);
    void fillDeviceInfo(int32_t cycleMs);

    LineSettings line() const { return {state_.parityCode, state_.twoStopBits}; }
    void refresh() { host_.refreshLinkView(); }

    LinkState& state_;
    SerialPort& port_;
    core::TimerSchedule& timers_;
    core::SettingsStore& settings_;
    core::Prompts& prompts_;
    LinkHost& host_;
    // The language flag of the station: run-time texts follow it as it is now.
    const core::Language& language_;
    LinkView view_;
    Watchdog watchdog_;
    // Ports this discovery could not open for want of permission or because
    // another program holds them.
    PortRefusals refusals_;
    DiscoveryPlan plan_;
    // False from Connect until the first discovery tick has begun the plan.
    bool discoveryBegun_ = false;
    // How the last open of a port went, for a discovery kept to one port.
    PortFailure lastOpenFailure_ = PortFailure::None;
    std::string lastOpenDevice_;
    // The reason of the last discovery that found nothing, logged once.
    std::string lastGiveUp_;
    // The instrument of the connection that ended last in this run.
    std::optional<InstrumentIdentity> lastInstrument_;
    RequestFrame request_{};
    // The request flag of the format "FF" configuration write last sent, and
    // how many sends of it in a row went unanswered.
    bool* unansweredConfigWrite_ = nullptr;
    int unansweredConfigWrites_ = 0;
    bool configWriteGivenUp_ = false;
    // The frame last sent was the zero command, so an echo now answers it.
    bool zeroInFlight_ = false;
    // The frame last sent was a command, not the readings request.
    bool commandInFlight_ = false;
    // The line the port was last opened with: a format "01" instrument
    // changes its baud rate and its parity on separate writes.
    int openBaud_ = 0;
    LineSettings openLine_{};
    bool fastMode_ = false;
    // The port calls bytesArrived.
    bool watchingArrivals_ = false;
    // A request is out and its answer not taken yet.
    bool awaitingAnswer_ = false;
    // The cycle figure of the device information line.
    int32_t shownCycleMs_ = 0;
};

}  // namespace gaugemon::link
