// The station: one main window, run modally, or with --headless no window at
// all; the program ends with it.
#include <QApplication>
#include <cstdio>

#include "app/broker_setting.h"
#include "app/monitor_dialog.h"
#include "app/qt_prompts.h"
#include "app/station_icon.h"
#include "app/transfer_part_setting.h"
#include "app/web_start.h"
#include "core/logging.h"
#include "core/qt_timer_schedule.h"
#include "core/stop_signals.h"
#include "headless/command_line.h"
#include "headless/plant_options.h"
#include "headless/port_choice.h"
#include "headless/run_headless.h"
#include "headless/station_start.h"

using namespace gaugemon;

namespace {

// The command line is read before the window system is reached, so that
// --help and --version work without a display.
QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int runWindow(int& argc, char** argv, const headless::StartOptions& options) {
    core::catchStopSignals();
    QApplication application(argc, argv);
    core::logToStandardError();
    // SIGTERM and SIGINT end the station as its close box does, without the
    // question: the port closed, its lock gone, the last backup written.
    // Taken from the start on, so a stop during it ends the run cleanly too.
    bool stopRequested = false;
    core::StopSignals stopSignals;
    stopSignals.install([&stopRequested] {
        stopRequested = true;
        // Leaves every event loop, a message box's included, and keeps
        // later ones from starting, so nothing waits for an operator.
        QCoreApplication::exit(0);
    });
    headless::StationStart start(options);
    QApplication::setFont(app::dialogFont());
    QApplication::setWindowIcon(app::stationIcon());
    app::QtPrompts prompts(nullptr);
    if (const auto& refusal = start.refusal()) {
        std::fprintf(stderr, "gaugemon: %s\n", refusal->text.c_str());
        prompts.showMessage(refusal->text);
        return refusal->status;
    }

    // Built here and outliving every view over it: the window, the web page.
    station::Station station(start.seams(prompts));
    station.nameStation(headless::stationNameOf(options));
    if (const auto port = headless::givenPortIndex(options)) station.keepToPort(*port);
    if (const auto plant = headless::plantOptions(start.texts(), options, station.language()))
        station.publishTo(*plant);

    app::WindowSeams seams{prompts, [] { return std::make_unique<core::QtTimerSchedule>(); },
                           start.places().dataDirectory,
                           // Exit leaves the window's run at once; the station stops below.
                           [] { QCoreApplication::exit(0); }};
    app::MonitorDialog dialog(station, seams);
    dialog.offerBrokerSetting([&] { app::askBroker(&dialog, station); });
    dialog.offerTransferPartSetting([&] { app::askTransferPart(&dialog, station); });
    const std::shared_ptr<void> webView =
        app::startWeb(station, start.stored().native(), options.httpAddress, headless::stationNameOf(options));
    prompts.setParent(&dialog);
    dialog.exec();
    // Exit, the close box and a stop signal all end here, and every thread
    // of the station is joined before the program ends.
    station.stop(stopRequested ? station::Station::LastBackup::Write : station::Station::LastBackup::Skip);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("gaugemon"));
    const headless::CommandLine line = headless::readCommandLine(argumentList(argc, argv), GAUGEMON_VERSION);
    if (line.exitStatus) {
        std::fputs(line.output.c_str(), stdout);
        std::fputs(line.error.c_str(), stderr);
        return *line.exitStatus;
    }
    if (line.options.trace) core::enableTrace();
    if (line.options.headless)
        return headless::runHeadless(
            argc, argv, line.options,
            [&](station::Station& station, QSettings& settings, const std::string& name) -> std::shared_ptr<void> {
                return app::startWeb(station, settings, line.options.httpAddress, name);
            });
    return runWindow(argc, argv, line.options);
}
