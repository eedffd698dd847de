// The station: one main window, run modally; the program ends with it.
#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/monitor_dialog.h"
#include "app/qt_prompts.h"
#include "app/station_icon.h"
#include "core/data_location.h"
#include "core/logging.h"
#include "core/qt_settings_store.h"
#include "core/qt_timer_schedule.h"
#include "core/system_clock.h"
#include "journal/journal_location.h"
#include "link/tty_serial_port.h"

using namespace gaugemon;

namespace {

// A signal handler may do next to nothing safely: it writes one byte, and the
// event loop reads it and ends the run there, between two steps.
int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

bool catchStopSignals() {
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

// What the command line asks of a station that starts.
struct StartOptions {
    bool trace = false;
};

// Once the station is ending, a second signal ends it at once, should the
// last backup hang on a dead disk.
void releaseStopSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

// The program's own options, read before the window system is reached so
// that --help and --version work without a display. Options of one dash
// (-platform, -style, ...) are the toolkit's and pass on to it. Nothing when
// the station is to start, else the exit status.
std::optional<int> handleOwnOptions(int argc, char** argv, StartOptions& start) {
    QStringList own{QString::fromLocal8Bit(argv[0])};
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-v")) {
            own << argument;
        }
    }
    QCoreApplication::setApplicationName(QStringLiteral("gaugemon"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A monitoring station for electronic length gauges on a serial port.\n"
                       "Ports COM1..COM16 are looked up in ~/.local/share/gaugemon/ports/; opening a\n"
                       "serial port needs membership of the dialout group."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Log the link's events and every frame sent and received, in hex with its time, "
                       "on standard error (logging categories gaugemon.link and gaugemon.link.frames)."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(trace);
    if (!parser.parse(own)) {
        std::fprintf(stderr, "gaugemon: %s\nTry 'gaugemon --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object yet, the usage line has no program name.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QLatin1String("gaugemon"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("gaugemon %s\n", GAUGEMON_VERSION);
        return 0;
    }
    start.trace = parser.isSet(trace);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    StartOptions start;
    if (const std::optional<int> status = handleOwnOptions(argc, argv, start)) return *status;
    if (start.trace) core::enableTrace();
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
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (catchStopSignals()) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, [&] {
            stopNotifier->setEnabled(false);
            releaseStopSignals();
            stopRequested = true;
            // Leaves every event loop, a message box's included, and keeps
            // later ones from starting, so nothing waits for an operator.
            QCoreApplication::exit(0);
        });
    }

    core::QtSettingsStore settings(executable.completeBaseName());
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    link::TtySerialPort port;
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
    prompts.setParent(&dialog);
    dialog.exec();
    if (stopRequested) dialog.shutDown();
    return 0;
}
