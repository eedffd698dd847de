#pragma once
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace gaugemon::core {

// SIGTERM and SIGINT, delivered to the event loop. A signal handler may do
// next to nothing safely: it writes one byte to a pipe, and the loop reads it
// and runs `onStop` there, between two steps. From then on the signals have
// their default effect again, so a second one ends the process at once
// should the last write hang on a dead disk.
//
// Catches the signals from here on. Called before the application object
// and the station are made, a stop asked for during the start waits in the
// pipe for the event loop instead of ending the process the default way.
// A parent may have started the program with the signals blocked (the mask
// is inherited); they are let through, or nothing but SIGKILL would end it.
// False when they cannot be caught.
bool catchStopSignals();

class StopSignals {
public:
    // False when the signals cannot be caught (they then end the process).
    bool install(std::function<void()> onStop);

private:
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace gaugemon::core
