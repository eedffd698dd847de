// Polls the gaugesim program over a pseudo-terminal, as the station does, with
// 8 and 60 probes at every baud rate, and reports the cycle rate against the
// nominal 1000 / (pollPeriodMs - 2 + 15) and the station's CPU time per cycle.
// Beside it, on the cycle of 60 probes at 115200, what this machine charges
// for the cycle's system calls and sleeps alone, and for the event loop's
// wake-ups alone: the floors under the station's figure.
//
// Beside the time, the heap allocations per cycle: every malloc of the
// process, Qt's own included, is counted.
//
// The station is polled once on a quiet machine and once with both cores kept
// busy by processes of the benchmark's own (busy_cores:2), which end with the
// run; the machine's load average is printed beside.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "core/qt_timer_schedule.h"
#include "core/settings_store.h"
#include "link/frames.h"
#include "link/link_controller.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

using namespace gaugemon;
using namespace gaugemon::testing;

// Every allocation of the process comes here, Qt's (which calls malloc, not
// operator new) as well as the station's.
std::atomic<int64_t> heapAllocations{0};
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* old, size_t size);
void* malloc(size_t size) {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* old, size_t size) {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(old, size);
}
}

namespace {

double seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6; }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double kernelCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_stime);
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

int benchSeconds() {
    return std::getenv("GAUGEMON_POLL_SECONDS") ? std::atoi(std::getenv("GAUGEMON_POLL_SECONDS")) : 20;
}

// gaugesim on a pseudo-terminal, started apart from this process: as a child
// it would leave its output and its end to be watched in the station's event
// loop, which a station attached to an instrument has not.
class DetachedGaugesim {
public:
    DetachedGaugesim(const std::filesystem::path& portDirectory, const char* port, QStringList arguments)
        : link_(portDirectory / port) {
        std::filesystem::create_directories(portDirectory);
        arguments << "--port" << port << "--port-dir" << QString::fromStdString(portDirectory.string());
        qint64 pid = 0;
        if (QProcess::startDetached(QStringLiteral(GAUGESIM_PATH), arguments, QString(), &pid)) pid_ = pid;
    }
    ~DetachedGaugesim() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        // It removes its link as it ends.
        if (!runEventsUntil([&] { return !std::filesystem::exists(link_); }, 3000)) ::kill(pid_, SIGKILL);
    }
    DetachedGaugesim(const DetachedGaugesim&) = delete;
    DetachedGaugesim& operator=(const DetachedGaugesim&) = delete;
    bool waitForLink() {
        return pid_ > 0 && runEventsUntil([&] { return std::filesystem::exists(link_); }, 5000);
    }

private:
    std::filesystem::path link_;
    pid_t pid_ = 0;
};

// gaugesim on a pseudo-terminal and the station's link, connected to it.
struct ConnectedLink {
    ConnectedLink(int probes, int baudIndex)
        : directory(std::filesystem::temp_directory_path() / ("gaugemon-bench-" + std::to_string(::getpid()))),
          sim(directory, "COM3",
              {"--probes", QString::number(probes), "--baud", QString::number(link::kBaudTable[baudIndex]), "--format",
               "FF"}),
          port{link::PortDirectory(directory, directory / "no-devices")},
          controller(link, port, timers, settings, prompts, host, language) {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        settings.writeInt("BaudBit", baudIndex);
        timers.setTickHandler([this](int id) { controller.onTick(id); });
    }
    ~ConnectedLink() {
        if (link.connected) controller.connectButton();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    // Connects and waits for the first readings after the connection has
    // settled; an error text when that fails.
    const char* connect() {
        if (!sim.waitForLink()) return "gaugesim did not start";
        controller.connectButton();
        if (!runEventsUntil([&] { return link.connected; }, 20'000)) return "no connection";
        runEventsFor(500);
        const int64_t settled = host.cycles;
        if (!runEventsUntil([&] { return host.cycles > settled; }, 20'000)) return "no readings";
        return nullptr;
    }

    std::filesystem::path directory;
    DetachedGaugesim sim;
    core::QtTimerSchedule timers;
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    CycleCounter host;
    link::TtySerialPort port;
    link::LinkState link;
    core::Language language = core::Language::English;
    link::LinkController controller;
};

// Processes that keep `count` cores busy for at most `seconds`: other
// programs on the station's machine. They are ended with this object.
class CpuLoad {
public:
    CpuLoad(int count, int seconds) {
        for (int i = 0; i < count; ++i) {
            const pid_t child = ::fork();
            if (child == 0) spin(seconds);
            if (child > 0) children_.push_back(child);
        }
    }
    ~CpuLoad() {
        for (const pid_t child : children_) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    // Only plain system calls here: the child is a copy of a process with threads.
    [[noreturn]] static void spin(int seconds) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const time_t end = now.tv_sec + seconds;
        volatile uint64_t work = 0;
        while (now.tv_sec < end) {
            for (int i = 0; i < 1'000'000; ++i) work = work + 1;
            clock_gettime(CLOCK_MONOTONIC, &now);
        }
        ::_exit(0);
    }

    std::vector<pid_t> children_;
};

double loadAverage() {
    double load = 0;
    return ::getloadavg(&load, 1) == 1 ? load : -1;
}

void BM_PollGaugesimOverPty(benchmark::State& state) {
    const int seconds = benchSeconds();
    ConnectedLink bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int busyCores = static_cast<int>(state.range(2));
    link::LinkState& link = bench.link;
    CycleCounter& host = bench.host;
    // CPU spent in the link's own ticks: decode and bookkeeping. Every 15th
    // tick is timed (an odd step, so request and answer ticks take turns)
    // and counted 15 times: the clock calls are not the station's work, and
    // timing every tick would add them to the whole process's figure.
    constexpr int kTimedTickStep = 15;
    double tickCpu = 0;
    int ticks = 0;
    bench.timers.setTickHandler([&](int id) {
        if (++ticks % kTimedTickStep != 0) {
            bench.controller.onTick(id);
            return;
        }
        const double start = threadCpuSeconds();
        bench.controller.onTick(id);
        tickCpu += (threadCpuSeconds() - start) * kTimedTickStep;
    });
    if (const char* error = bench.connect()) {
        state.SkipWithError(error);
        return;
    }
    for (auto _ : state) {
        // Bounded in time even if this process is killed, and started before
        // the count so that the cores are busy from its first cycle on.
        const CpuLoad load(busyCores, seconds + 5);
        if (busyCores > 0) runEventsFor(1000);
        const int64_t cyclesBefore = host.cycles;
        const int64_t firstNs = host.lastNs;
        const double cpuBefore = cpuSeconds();
        const double kernelCpuBefore = kernelCpuSeconds();
        const double tickCpuBefore = tickCpu;
        const int64_t allocationsBefore = heapAllocations.load();
        runEventsFor(seconds * 1000);
        const auto allocations = static_cast<double>(heapAllocations.load() - allocationsBefore);
        state.counters["load_average"] = loadAverage();
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
        // Of which in the kernel: waking up, the line's system calls.
        state.counters["kernel_cpu_us_per_cycle"] =
            cycles > 0 ? (kernelCpuSeconds() - kernelCpuBefore) * 1e6 / cycles : 0;
        state.counters["heap_allocations_per_cycle"] = cycles > 0 ? allocations / cycles : 0;
        state.counters["misses"] = link.missCount;
        state.counters["errors"] = link.errorCount;
    }
}

void sleepUntil(const timespec& due) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

timespec later(timespec time, int64_t ns) {
    const int64_t total = time.tv_nsec + ns;
    time.tv_sec += total / 1'000'000'000;
    time.tv_nsec = total % 1'000'000'000;
    return time;
}

// What this machine charges for the cycle alone, beside the station's figure:
// the same line, requests and waits with nothing but the system calls in
// between (no event loop, no timers, no decoding). No program that polls on
// this cycle can use less CPU per cycle here. With line:0 the same sleeps
// alone: the difference is what the line's system calls cost.
void BM_BareCycleFloor(benchmark::State& state) {
    const int seconds = benchSeconds();
    const int probes = static_cast<int>(state.range(0));
    const bool line = state.range(2) != 0;
    ConnectedLink bench(probes, static_cast<int>(state.range(1)));
    if (const char* error = bench.connect()) {
        state.SkipWithError(error);
        return;
    }
    // The station's timers stay idle while no event loop runs; the port stays
    // open with the line the station found.
    const int64_t answerNs = (bench.link.pollPeriodMs - 2) * 1'000'000LL;
    const int64_t gapNs = 15'000'000LL;
    const link::RequestFrame request = link::readingsRequest(bench.link.deviceAddress, probes);
    const size_t answerLength = link::readingsAnswerLength(probes);
    std::array<uint8_t, link::kMaxReadBytes> answer{};
    for (auto _ : state) {
        int64_t cycles = 0;
        int64_t complete = 0;
        timespec due{};
        clock_gettime(CLOCK_MONOTONIC, &due);
        const double cpuBefore = cpuSeconds();
        const double kernelCpuBefore = kernelCpuSeconds();
        for (int64_t end = static_cast<int64_t>(seconds) * 1000 / (bench.link.pollPeriodMs - 2 + 15); cycles < end;
             ++cycles) {
            if (line) bench.port.writeFrame(request.data(), request.size());
            due = later(due, answerNs);
            sleepUntil(due);
            if (line && bench.port.readAvailable(answer.data(), answer.size()) == answerLength) ++complete;
            due = later(due, gapNs);
            sleepUntil(due);
        }
        state.counters["complete_answers_percent"] = cycles > 0 ? 100.0 * complete / cycles : 0;
        state.counters["process_cpu_us_per_cycle"] = cycles > 0 ? (cpuSeconds() - cpuBefore) * 1e6 / cycles : 0;
        state.counters["kernel_cpu_us_per_cycle"] =
            cycles > 0 ? (kernelCpuSeconds() - kernelCpuBefore) * 1e6 / cycles : 0;
    }
}
BENCHMARK(BM_BareCycleFloor)
    ->ArgNames({"probes", "baud_index", "line"})
    ->Args({60, 4, 1})
    ->Args({60, 4, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The station's two poll timers restarted as polling restarts them, on the
// same cycle, with no line at all: what the event loop's wake-ups cost here.
void BM_PollTimersAlone(benchmark::State& state) {
    const int seconds = benchSeconds();
    const int pollPeriodMs = static_cast<int>(state.range(0));
    core::QtTimerSchedule timers;
    int64_t cycles = 0;
    timers.setTickHandler([&](int id) {
        if (id == core::timer::kRequest) {
            timers.start(core::timer::kAnswer, pollPeriodMs - 2);
            timers.start(core::timer::kRequest, 1233);
        } else {
            timers.stop(core::timer::kAnswer);
            timers.start(core::timer::kRequest, 15);
            ++cycles;
        }
    });
    timers.start(core::timer::kRequest, 15);
    runEventsFor(500);
    for (auto _ : state) {
        const int64_t cyclesBefore = cycles;
        const double cpuBefore = cpuSeconds();
        const int64_t allocationsBefore = heapAllocations.load();
        runEventsFor(seconds * 1000);
        const double counted = static_cast<double>(cycles - cyclesBefore);
        state.counters["process_cpu_us_per_cycle"] = counted > 0 ? (cpuSeconds() - cpuBefore) * 1e6 / counted : 0;
        state.counters["heap_allocations_per_cycle"] =
            counted > 0 ? static_cast<double>(heapAllocations.load() - allocationsBefore) / counted : 0;
    }
    timers.stop(core::timer::kRequest);
    timers.stop(core::timer::kAnswer);
}
// The poll period of 60 probes at 115200 baud.
BENCHMARK(BM_PollTimersAlone)->ArgName("poll_period_ms")->Arg(66)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK(BM_PollGaugesimOverPty)
    ->ArgNames({"probes", "baud_index", "busy_cores"})
    ->ArgsProduct({{8, 60}, {4, 3, 2, 1, 0}, {0, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
