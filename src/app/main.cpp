// The station: one main window, run modally; the program ends with it.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <memory>

#include "app/monitor_dialog.h"
#include "app/qt_prompts.h"
#include "app/qt_settings_store.h"
#include "app/qt_timer_schedule.h"
#include "app/station_icon.h"
#include "app/system_clock.h"
#include "link/qt_serial_port.h"

using namespace gaugemon;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    // The settings live under the executable's base name, as on every platform.
    QCoreApplication::setApplicationName(executable.completeBaseName());
    QApplication::setFont(app::dialogFont());
    QApplication::setWindowIcon(app::stationIcon());

    app::QtSettingsStore settings(executable.completeBaseName());
    app::QtTimerSchedule timers;
    app::SystemClock clock;
    link::QtSerialPort port;
    app::QtPrompts prompts(nullptr);
    app::StationSeams seams{settings,
                            timers,
                            clock,
                            port,
                            prompts,
                            [] { return std::make_unique<app::QtTimerSchedule>(); },
                            QDir::toNativeSeparators(executable.absolutePath() + QLatin1Char('/')).toStdString(),
                            [] { std::exit(0); }};
    app::MonitorDialog dialog(seams);
    prompts.setParent(&dialog);
    dialog.exec();
    return 0;
}
