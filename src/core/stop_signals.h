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
class StopSignals {
public:
    // False when the signals cannot be caught (they then end the process).
    bool install(std::function<void()> onStop);

private:
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace gaugemon::core
