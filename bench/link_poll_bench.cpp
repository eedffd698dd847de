// Polls the gaugesim program over a pseudo-terminal, as the station does, with
// 8 and 60 probes at every baud rate, and reports the cycle rate against the
// nominal 1000 / (pollPeriodMs - 2 + 15) and the station's CPU time per cycle.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>
#include <ctime>

#include "core/qt_timer_schedule.h"
#include "core/settings_store.h"
#include "link/link_controller.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// Counts the answers and notes when the last came, so that the rate is taken
// from answer to answer: counted against a fixed window, a cycle of 700 ms
// would be off by up to one cycle in 20.
struct CycleCounter : link::LinkHost {
    CycleCounter() { clock.start(); }
    int64_t cycles = 0;
    int64_t lastNs = 0;
    QElapsedTimer clock;
    void readingsArrived(std::span<const gaugemon::link::ChannelReading>) override {
        ++cycles;
        lastNs = clock.nsecsElapsed();
    }
};

void BM_PollGaugesimOverPty(benchmark::State& state) {
    const int seconds = std::getenv("GAUGEMON_POLL_SECONDS") ? std::atoi(std::getenv("GAUGEMON_POLL_SECONDS")) : 20;
    const auto directory = std::filesystem::temp_directory_path() / ("gaugemon-bench-" + std::to_string(::getpid()));
    const int probes = static_cast<int>(state.range(0));
    const int baudIndex = static_cast<int>(state.range(1));
    const int baud = link::kBaudTable[baudIndex];
    GaugesimProcess sim(directory, {"--port", "COM3", "--probes", QString::number(probes), "--baud",
                                    QString::number(baud), "--format", "FF"});
    if (!sim.waitForLink("COM3")) {
        state.SkipWithError("gaugesim did not start");
        return;
    }
    core::QtTimerSchedule timers;
    core::MemorySettingsStore settings;
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 3);
    settings.writeInt("BaudBit", baudIndex);
    RecordingPrompts prompts;
    CycleCounter host;
    link::TtySerialPort port{link::PortDirectory(directory, directory / "no-devices")};
    link::LinkState link;
    core::Language language = core::Language::English;
    link::LinkController controller(link, port, timers, settings, prompts, host, language);
    // CPU spent in the link's own ticks: decode and bookkeeping. Every 15th
    // tick is timed (an odd step, so request and answer ticks take turns)
    // and counted 15 times: the clock calls are not the station's work, and
    // timing every tick would add them to the whole process's figure.
    constexpr int kTimedTickStep = 15;
    double tickCpu = 0;
    int ticks = 0;
    timers.setTickHandler([&](int id) {
        if (++ticks % kTimedTickStep != 0) {
            controller.onTick(id);
            return;
        }
        const double start = threadCpuSeconds();
        controller.onTick(id);
        tickCpu += (threadCpuSeconds() - start) * kTimedTickStep;
    });
    controller.connectButton();
    if (!runEventsUntil([&] { return link.connected; }, 20'000)) {
        state.SkipWithError("no connection");
        return;
    }
    runEventsFor(500);
    const int64_t settled = host.cycles;
    if (!runEventsUntil([&] { return host.cycles > settled; }, 20'000)) {
        state.SkipWithError("no readings");
        return;
    }
    for (auto _ : state) {
        const int64_t cyclesBefore = host.cycles;
        const int64_t firstNs = host.lastNs;
        const double cpuBefore = cpuSeconds();
        const double tickCpuBefore = tickCpu;
        runEventsFor(seconds * 1000);
        const double wall = (host.lastNs - firstNs) * 1e-9;
        const double cycles = static_cast<double>(host.cycles - cyclesBefore);
        const double nominal = 1000.0 / (link.pollPeriodMs - 2 + 15);
        const double perS = wall > 0 ? cycles / wall : 0;
        state.counters["cycles_per_s"] = perS;
        state.counters["nominal_per_s"] = nominal;
        state.counters["percent_of_nominal"] = 100.0 * perS / nominal;
        // The link's ticks alone, and the whole process (event loop, serial
        // notifications and the kernel's wake-ups included).
        state.counters["tick_cpu_us_per_cycle"] = cycles > 0 ? (tickCpu - tickCpuBefore) * 1e6 / cycles : 0;
        state.counters["process_cpu_us_per_cycle"] = cycles > 0 ? (cpuSeconds() - cpuBefore) * 1e6 / cycles : 0;
        state.counters["misses"] = link.missCount;
        state.counters["errors"] = link.errorCount;
    }
    controller.connectButton();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}
BENCHMARK(BM_PollGaugesimOverPty)
    ->ArgNames({"probes", "baud_index"})
    ->ArgsProduct({{8, 60}, {4, 3, 2, 1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
