#include "headless/run_headless.h"

#include <QCoreApplication>
#include <cstdlib>

#include "core/logging.h"
#include "core/qt_timer_schedule.h"
#include "core/stop_signals.h"
#include "headless/demo_line.h"
#include "headless/headless_station.h"
#include "headless/log_prompts.h"
#include "headless/plant_options.h"
#include "headless/port_choice.h"
#include "headless/settings_overrides.h"
#include "headless/station_start.h"
#include "link/link_controller.h"
#include "records/recorder.h"

namespace gaugemon::headless {
namespace {

// Under systemd each line carries its priority, so the journal keeps
// warnings apart from notes; on a terminal the lines stay plain.
void logOneLinePerEvent() {
    core::logToStandardError();
    if (std::getenv("JOURNAL_STREAM"))
        qSetMessagePattern(
            QStringLiteral("%{if-critical}<2>%{endif}%{if-warning}<4>%{endif}%{if-info}<6>%{endif}"
                           "%{if-debug}<7>%{endif}%{category}: %{message}"));
    else
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{category} %{type}: %{message}"));
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
    // The demonstration's instrument is on its own port, and found at once.
    if (options.demo) {
        settings.set(core::keys::kComID, static_cast<int32_t>(DemoLine::kPortIndex));
        settings.setForReading(core::keys::kConnectAtStart, 1);
    }
}

int runHeadless(int& argc, char** argv, const StartOptions& options, const ViewStarter& startViews) {
    core::catchStopSignals();
    QCoreApplication application(argc, argv);
    logOneLinePerEvent();
    // A stop during the start ends the run once the station is up, never the
    // process halfway through it.
    bool stopRequested = false;
    core::StopSignals stopSignals;
    stopSignals.install([&stopRequested] {
        stopRequested = true;
        QCoreApplication::exit(0);
    });
    StationStart start(options);
    if (const auto& refusal = start.refusal()) {
        qCCritical(core::stationLog, "%s", refusal->text.c_str());
        return refusal->status;
    }
    LogPrompts prompts(start.clock());
    UnattendedWork work{options.recordEverySeconds, options.exportDirectory, options.rotation, stationNameOf(options)};
    core::QtTimerSchedule ownTimers;
    // Built here and outliving every view over it: the unattended run, the web page.
    const station::StationSeams seams = start.seams(prompts);
    station::Station model(seams);
    HeadlessStation station(model, seams, ownTimers, work);
    model.nameStation(work.stationName);
    if (const auto port = givenPortIndex(options)) model.keepToPort(*port);
    if (const auto plant = plantOptions(start.texts(), options, model.language())) model.publishTo(*plant);
    const std::shared_ptr<void> views =
        startViews ? startViews(model, start.stored().native(), stationNameOf(options)) : nullptr;

    station.start();
    // A stop taken by an event loop of the start has left it already.
    const int status = stopRequested ? 0 : QCoreApplication::exec();
    station.stop();
    return status;
}

}  // namespace gaugemon::headless
