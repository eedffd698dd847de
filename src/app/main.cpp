// The station: one main window, run modally, or with --headless no window at
// all; the program ends with it.
#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "app/broker_setting.h"
#include "app/monitor_dialog.h"
#include "app/qt_prompts.h"
#include "app/station_icon.h"
#include "app/transfer_part_setting.h"
#include "core/data_location.h"
#include "core/logging.h"
#include "core/qt_settings_store.h"
#include "core/qt_timer_schedule.h"
#include "core/stop_signals.h"
#include "core/system_clock.h"
#include "headless/command_line.h"
#include "headless/plant_options.h"
#include "headless/port_choice.h"
#include "headless/run_headless.h"
#include "headless/settings_overrides.h"
#include "journal/journal_location.h"
#include "link/tty_serial_port.h"

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
    QApplication application(argc, argv);
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    // The settings live under the executable's base name, as on every platform.
    QCoreApplication::setApplicationName(executable.completeBaseName());
    // Beside the program when it runs from a directory of its own, else in
    // the per-user data directory (named after the application, so set after it).
    const std::string dataDirectory =
        core::findStationDataDirectory(executable.absolutePath().toStdString(),
                                       QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    qCInfo(core::stationLog, "backups and the logo in %s", dataDirectory.c_str());
    QApplication::setFont(app::dialogFont());
    QApplication::setWindowIcon(app::stationIcon());

    // SIGTERM and SIGINT end the station as its close box does, without the
    // question: the port closed, its lock gone, the last backup written.
    bool stopRequested = false;
    core::StopSignals stopSignals;
    stopSignals.install([&stopRequested] {
        stopRequested = true;
        // Leaves every event loop, a message box's included, and keeps
        // later ones from starting, so nothing waits for an operator.
        QCoreApplication::exit(0);
    });

    core::QtSettingsStore stored(executable.completeBaseName());
    headless::SettingsOverrides settings(stored);
    headless::applyStartOptions(options, settings);
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    const headless::PortChoice ports = headless::choosePorts(options, dataDirectory);
    link::TtySerialPort port(ports.ports);
    app::QtPrompts prompts(nullptr);
    app::WindowSeams seams{settings, timers, clock, port, prompts,
                           [] { return std::make_unique<core::QtTimerSchedule>(); }, dataDirectory,
                           // The process ends at once, but not holding the port's lock.
                           [&port] {
                               port.close();
                               std::exit(0);
                           },
                           journal::defaultJournalDirectory()};
    app::MonitorDialog dialog(seams);
    if (const auto port = headless::givenPortIndex(options)) dialog.keepToPort(*port);
    if (const auto plant = headless::plantOptions(stored.native(), options, dialog.station().language()))
        dialog.publishTo(*plant);
    dialog.offerBrokerSetting([&] {
        if (const auto plant = app::askBroker(&dialog, stored.native(), dialog.station().language()))
            dialog.publishTo(*plant);
    });
    const app::TransferPart part = app::loadTransferPart(stored.native());
    dialog.setTransferPart(part.number, part.description);
    dialog.offerTransferPartSetting([&] {
        if (const auto chosen = app::askTransferPart(&dialog, stored.native(), dialog.station().language()))
            dialog.setTransferPart(chosen->number, chosen->description);
    });
    prompts.setParent(&dialog);
    dialog.exec();
    if (stopRequested) dialog.shutDown();
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
    if (line.options.headless) return headless::runHeadless(argc, argv, line.options);
    return runWindow(argc, argv, line.options);
}
