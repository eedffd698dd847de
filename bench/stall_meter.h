#pragma once
// The longest stall of the event loop's thread while a benchmark's work runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <string>

#include <QElapsedTimer>
#include <QTimer>

namespace gaugemon::bench {

inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// The longest time between two ticks of a 1-ms timer on the event loop, less
// the millisecond itself: what polling would have waited beyond its time.
// Beside it the most CPU time the event loop's thread spent between two
// ticks: on a loaded machine a long wait can be the scheduler's, not work the
// thread was held by.
class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        longestMs_ = 0;
        busiestMs_ = 0;
        clock_.start();
        lastMs_ = 0;
        lastCpuMs_ = threadCpuMs();
        timer_.start();
    }
    void stop(benchmark::State& state, const std::string& name) {
        timer_.stop();
        // A write on the spot may end before the timer ticked at all.
        tick();
        state.counters[name + "_stall_ms"] = longestMs_;
        state.counters[name + "_busiest_ms"] = busiestMs_;
    }

private:
    void tick() {
        const double now = static_cast<double>(clock_.nsecsElapsed()) * 1e-6;
        const double cpu = threadCpuMs();
        longestMs_ = std::max(longestMs_, now - lastMs_ - 1.0);
        busiestMs_ = std::max(busiestMs_, cpu - lastCpuMs_);
        lastMs_ = now;
        lastCpuMs_ = cpu;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    double lastMs_ = 0;
    double lastCpuMs_ = 0;
    double longestMs_ = 0;
    double busiestMs_ = 0;
};

}  // namespace gaugemon::bench
