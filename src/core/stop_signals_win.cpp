// Ctrl+C, Ctrl+Break and the closing of the console, delivered to the event
// loop. Windows calls the handler on a thread of its own; the stop is queued
// to the application's thread and runs there, between two steps.
#include <windows.h>

#include <QCoreApplication>
#include <atomic>

#include "core/stop_signals.h"

namespace gaugemon::core {
namespace {

std::function<void()>* stopRequest = nullptr;
std::atomic<bool> stopAsked{false};

// Windows ends the process once the handler returns from these, and at the
// latest some seconds after they came: the handler waits, so that the
// station's last writes are done before.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI onConsoleEvent(DWORD event) {
    // A second request has the default effect and ends the process at once,
    // should the last write hang on a dead disk.
    if (stopAsked.exchange(true)) return FALSE;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !stopRequest) return TRUE;  // run by install() once the station has its stop
    QMetaObject::invokeMethod(
        app, [] { (*stopRequest)(); }, Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        ::Sleep(kCloseGraceMs);
    }
    return TRUE;
}

}  // namespace

// A request before the handler has a stop to run is kept and run once it has.
bool catchStopSignals() { return ::SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0; }

bool StopSignals::install(std::function<void()> onStop) {
    onStop_ = std::move(onStop);
    stopRequest = &onStop_;
    if (!catchStopSignals()) return false;
    if (stopAsked)
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { (*stopRequest)(); }, Qt::QueuedConnection);
    return true;
}

}  // namespace gaugemon::core
