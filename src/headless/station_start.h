#pragma once
#include <memory>
#include <optional>
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

    // Why this station must not start, and the status it ends with: its
    // profile cannot be held, or its settings cannot be read. Nothing of the
    // station is built then and its settings are left as they are.
    struct Refusal {
        int status = 0;
        std::string text;
    };
    const std::optional<Refusal>& refusal() const { return refusal_; }

    // The rest is there only when the station may start.
    const core::StationPlaces& places() const { return places_; }
    core::QtSettingsStore& stored() { return parts_->stored; }
    SettingsOverrides& settings() { return parts_->settings; }
    core::QtTextSettings& texts() { return parts_->texts; }
    core::QtTimerSchedule& timers() { return parts_->timers; }
    core::SystemClock& clock() { return parts_->clock; }
    link::SystemSerialPort& port() { return parts_->port; }
    station::StationSeams seams(core::Prompts& prompts);

private:
    struct Parts {
        Parts(const StartOptions& options, const core::StationPlaces& places);
        core::QtSettingsStore stored;
        core::QtTextSettings texts{stored.native()};
        SettingsOverrides settings{stored};
        core::QtTimerSchedule timers;
        core::SystemClock clock;
        PortChoice ports;
        link::SystemSerialPort port{ports.ports};
        // --demo: the station's line instead of the port.
        std::unique_ptr<DemoLine> demo;
    };

    core::Language refusalLanguage(bool settingsReadable) const;
    // Why the profile cannot be held: another station has it, or its lock cannot be made.
    std::string profileText(core::ProfileLock::Outcome lock, core::Language language) const;

    StartOptions options_;
    core::StationPlaces places_;
    core::ProfileLock lock_;
    std::optional<Refusal> refusal_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace gaugemon::headless
