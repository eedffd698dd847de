#pragma once
#include <memory>
#include <string>

#include "core/language.h"
#include "core/profile.h"
#include "core/profile_lock.h"
#include "core/prompts.h"
#include "core/qt_settings_store.h"
#include "core/qt_text_settings.h"
#include "core/qt_timer_schedule.h"
#include "core/system_clock.h"
#include "headless/command_line.h"
#include "headless/demo_line.h"
#include "headless/port_choice.h"
#include "headless/settings_overrides.h"
#include "link/system_serial_port.h"
#include "station/station.h"

namespace gaugemon::headless {

// What a station is built from on this machine, for the window and the
// unattended run alike: the places of its profile, the profile's lock, the
// stored settings with the run's options over them, the timers, the clock
// and the serial port. Made once the application object exists; it names
// the application after the executable.
class StationStart {
public:
    explicit StationStart(const StartOptions& options);
    StationStart(const StationStart&) = delete;
    StationStart& operator=(const StationStart&) = delete;

    // Another station runs on this profile: this one ends at once, saying so.
    bool profileTaken() const { return lockOutcome_ == core::ProfileLock::Outcome::HeldElsewhere; }
    std::string profileTakenText() const;

    const core::StationPlaces& places() const { return places_; }
    core::QtSettingsStore& stored() { return stored_; }
    SettingsOverrides& settings() { return settings_; }
    core::QtTextSettings& texts() { return texts_; }
    core::QtTimerSchedule& timers() { return timers_; }
    core::SystemClock& clock() { return clock_; }
    link::SystemSerialPort& port() { return port_; }
    core::Language language() const;
    station::StationSeams seams(core::Prompts& prompts);

private:
    StartOptions options_;
    core::StationPlaces places_;
    core::ProfileLock lock_;
    core::ProfileLock::Outcome lockOutcome_;
    core::QtSettingsStore stored_;
    core::QtTextSettings texts_{stored_.native()};
    SettingsOverrides settings_;
    core::QtTimerSchedule timers_;
    core::SystemClock clock_;
    PortChoice ports_;
    link::SystemSerialPort port_;
    // --demo: the station's line instead of the port.
    std::unique_ptr<DemoLine> demo_;
};

}  // namespace gaugemon::headless
