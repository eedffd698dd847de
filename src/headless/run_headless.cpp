#include "headless/run_headless.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <cstdlib>

#include "core/data_location.h"
#include "core/logging.h"
#include "core/qt_settings_store.h"
#include "core/qt_timer_schedule.h"
#include "core/stop_signals.h"
#include "core/system_clock.h"
#include "headless/headless_station.h"
#include "headless/log_prompts.h"
#include "headless/plant_options.h"
#include "headless/port_choice.h"
#include "headless/settings_overrides.h"
#include "journal/journal_location.h"
#include "link/link_controller.h"
#include "link/port_directory.h"
#include "link/tty_serial_port.h"
#include "records/recorder.h"

namespace gaugemon::headless {
namespace {

// Under systemd each line carries its priority, so the journal keeps
// warnings apart from notes; on a terminal the lines stay plain.
void logOneLinePerEvent() {
    if (std::getenv("JOURNAL_STREAM"))
        qSetMessagePattern(
            QStringLiteral("%{if-critical}<2>%{endif}%{if-warning}<4>%{endif}%{if-info}<6>%{endif}"
                           "%{if-debug}<7>%{endif}%{category}: %{message}"));
    else
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{category} %{type}: %{message}"));
}

std::string stationName(const StartOptions& options) {
    if (!options.station.empty()) return options.station;
    const std::string host = QSysInfo::machineHostName().toStdString();
    return isStationName(host) ? host : std::string("station");
}

}  // namespace

void applyStartOptions(const StartOptions& options, SettingsOverrides& settings) {
    if (const auto port = givenPortIndex(options)) settings.set(core::keys::kComID, static_cast<int32_t>(*port));
    if (options.fast) settings.set(link::kFastModeKey, 1);
    if (options.headless) settings.set(core::keys::kCodeEn, 0);
    // The window's interval stays as the operator left it.
    if (options.recordEverySeconds)
        settings.set(
            core::keys::kRecTime,
            static_cast<int32_t>(records::autoPeriodFromSeconds(static_cast<float>(*options.recordEverySeconds))));
    if (options.language) settings.setForReading(core::keys::kLanguage, static_cast<int32_t>(*options.language));
    if (options.connect) settings.setForReading(core::keys::kConnectAtStart, 1);
}

int runHeadless(int& argc, char** argv, const StartOptions& options, const ViewStarter& startViews) {
    QCoreApplication application(argc, argv);
    logOneLinePerEvent();
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(executable.completeBaseName());
    const std::string dataDirectory =
        core::findStationDataDirectory(executable.absolutePath().toStdString(),
                                       QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());

    core::QtSettingsStore stored(executable.completeBaseName());
    SettingsOverrides settings(stored);
    applyStartOptions(options, settings);
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    const PortChoice ports = choosePorts(options, dataDirectory);
    link::TtySerialPort port(ports.ports);
    LogPrompts prompts(clock);
    const station::StationSeams seams{
        settings, timers, clock, port, prompts, dataDirectory, journal::defaultJournalDirectory()};
    UnattendedWork work{options.recordEverySeconds, options.exportDirectory, options.rotation, stationName(options)};
    HeadlessStation station(seams, work);
    if (const auto port = givenPortIndex(options)) station.station().keepToPort(*port);
    if (const auto plant = plantOptions(stored.native(), options, station.station().language()))
        station.station().publishTo(*plant);
    qCInfo(core::stationLog, "backups in %s", dataDirectory.c_str());
    const std::shared_ptr<void> views =
        startViews ? startViews(station.station(), stored.native(), stationName(options)) : nullptr;

    core::StopSignals stopSignals;
    stopSignals.install([] { QCoreApplication::exit(0); });
    station.start();
    const int status = QCoreApplication::exec();
    station.stop();
    return status;
}

}  // namespace gaugemon::headless
