// The main window as the operator runs it, off screen: 60 probes at 115200
// baud from gaugesim over a pseudo-terminal, the chart moving, a row recorded
// every 0.1 s and the 60-s backup on. Prints the process's CPU time as a share
// of one core over a fixed wall time (GAUGEMON_WINDOW_SECONDS, 20 by default;
// a run of 60 s or more includes a backup). Beside it, the same with the
// statistics window open, against a constant and a noisy signal: the CPU the
// window adds, the rows recorded against those due and the poll cycle against
// its nominal rate.
//   window_cpu_bench [--benchmark_filter=Statistics]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/monitor_dialog.h"
#include "app/statistics_window.h"
#include "app/window_layout.h"
#include "core/qt_timer_schedule.h"
#include "core/system_clock.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

namespace c = app::control;

constexpr int kBaudIndex115200 = 4;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int runSeconds() {
    const char* text = std::getenv("GAUGEMON_WINDOW_SECONDS");
    const int seconds = text ? std::atoi(text) : 20;
    return seconds > 0 ? seconds : 20;
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
    int64_t paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The pseudo-terminal's port, counting the requests the station sends and
// noting when the last went out.
class CountingPort : public link::SerialPort {
public:
    explicit CountingPort(link::PortDirectory directory) : port_(std::move(directory)) { clock_.start(); }
    int64_t requests = 0;
    int64_t lastNs = 0;

    int openPort(std::string_view name, int baudRate, link::LineSettings line) override {
        return port_.openPort(name, baudRate, line);
    }
    void setBaudRate(int baudRate, link::LineSettings line) override { port_.setBaudRate(baudRate, line); }
    int writeFrame(const uint8_t* bytes, size_t count) override {
        ++requests;
        lastNs = clock_.nsecsElapsed();
        return port_.writeFrame(bytes, count);
    }
    size_t readAvailable(uint8_t* buffer, size_t capacity) override { return port_.readAvailable(buffer, capacity); }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    link::PortFailure lastFailure() const override { return port_.lastFailure(); }
    std::string_view devicePath() const override { return port_.devicePath(); }
    void setArrivalHandler(std::function<void()> handler) override { port_.setArrivalHandler(std::move(handler)); }

private:
    link::TtySerialPort port_;
    QElapsedTimer clock_;
};

// Everything the window reaches the platform through, as the program builds it.
struct WindowRig {
    std::filesystem::path directory;
    core::MemorySettingsStore settings;
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    CountingPort port;
    RecordingPrompts prompts;
    std::unique_ptr<station::Station> model;
    std::unique_ptr<app::MonitorDialog> window;

    explicit WindowRig(const std::filesystem::path& dir)
        : directory(dir), port(link::PortDirectory(dir, dir / "no-devices")) {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        settings.writeInt("BaudBit", kBaudIndex115200);
        settings.writeInt("Language", 2);
        model = std::make_unique<station::Station>(station::StationSeams{
            settings, timers, clock, port, prompts, directory.string() + "/", /*journalDirectory=*/{}});
        app::WindowSeams seams{prompts, [] { return std::make_unique<core::QtTimerSchedule>(); },
                               directory.string() + "/", [] {}};
        window = std::make_unique<app::MonitorDialog>(*model, seams);
        window->show();
    }
    template <typename T>
    T* control(int id) const {
        return qobject_cast<T*>(window->control(id));
    }
};

void BM_WindowCpuShare(benchmark::State& state) {
    const auto directory =
        std::filesystem::temp_directory_path() / ("gaugemon-window-bench-" + std::to_string(::getpid()));
    GaugesimProcess sim(directory, {"--port", "COM3", "--probes", "60", "--baud", "115200", "--format", "FF"});
    if (!sim.waitForLink("COM3")) return state.SkipWithError("gaugesim did not start");
    WindowRig rig(directory);
    rig.control<QPushButton>(c::kConnect)->click();
    if (!runEventsUntil([&] { return rig.window->linkState().connected; }, 20'000))
        return state.SkipWithError("no connection");
    rig.control<QLineEdit>(c::kInterval)->setText("0.1");
    rig.control<QCheckBox>(c::kAutoRecord)->click();
    rig.control<QCheckBox>(c::kBackupBox)->click();
    runEventsFor(1000);  // past the first redraws and the first rows

    const int seconds = runSeconds();
    auto* listPaints = new PaintCounter(rig.control<QTableView>(c::kRecordList)->viewport());
    for (auto _ : state) {
        const int64_t paintsBefore = listPaints->paints;
        const uint32_t rowsBefore = rig.window->recordTable().rowCount();
        const uint32_t missesBefore = rig.window->linkState().missCount;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runEventsFor(seconds * 1000);
        const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        state.counters["cpu_percent_of_core"] = 100.0 * (cpuSeconds() - cpuBefore) / wallSeconds;
        state.counters["rows"] = rig.window->recordTable().rowCount() - rowsBefore;
        state.counters["misses"] = rig.window->linkState().missCount - missesBefore;
        state.counters["list_paints_per_s"] = static_cast<double>(listPaints->paints - paintsBefore) / wallSeconds;
        state.counters["seconds"] = wallSeconds;
    }
    rig.control<QCheckBox>(c::kAutoRecord)->click();
    rig.window->finishFileWrites();
    rig.window.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}
BENCHMARK(BM_WindowCpuShare)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

// What one phase of a run cost and did.
struct Phase {
    double cpuPercent = 0;
    double rows = 0;
    double dueRows = 0;
    double cyclePercentOfNominal = 0;
};

Phase measurePhase(WindowRig& rig, int seconds) {
    const uint32_t rowsBefore = rig.window->recordTable().rowCount();
    const int64_t requestsBefore = rig.port.requests;
    const int64_t firstNs = rig.port.lastNs;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runEventsFor(seconds * 1000);
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
    Phase phase;
    phase.cpuPercent = 100.0 * (cpuSeconds() - cpuBefore) / wallSeconds;
    phase.rows = rig.window->recordTable().rowCount() - rowsBefore;
    phase.dueRows = std::floor(wallSeconds * 10);
    // From request to request, as the poll benchmark counts from answer to
    // answer; the nominal cycle is the answer's time and the 15-ms gap.
    const double cycleSeconds = static_cast<double>(rig.port.lastNs - firstNs) * 1e-9;
    const double nominalPerS = 1000.0 / (rig.window->linkState().pollPeriodMs - 2 + 15);
    if (cycleSeconds > 0)
        phase.cyclePercentOfNominal =
            100.0 * static_cast<double>(rig.port.requests - requestsBefore) / cycleSeconds / nominalPerS;
    return phase;
}

// The statistics window open while a row is recorded every 0.1 s from 60
// probes at 115200 baud: the same run first with the window closed, then
// open. Argument 0 is a constant signal, 1 a noisy one.
void BM_StatisticsWindowCost(benchmark::State& state) {
    const bool noisy = state.range(0) == 1;
    const auto directory =
        std::filesystem::temp_directory_path() / ("gaugemon-window-bench-" + std::to_string(::getpid()));
    GaugesimProcess sim(directory, {"--port", "COM3", "--probes", "60", "--baud", "115200", "--format", "FF",
                                    "--signal", noisy ? "noise:4500:40" : "constant:4500"});
    if (!sim.waitForLink("COM3")) return state.SkipWithError("gaugesim did not start");
    WindowRig rig(directory);
    rig.control<QPushButton>(c::kConnect)->click();
    if (!runEventsUntil([&] { return rig.window->linkState().connected; }, 20'000))
        return state.SkipWithError("no connection");
    rig.control<QLineEdit>(c::kInterval)->setText("0.1");
    rig.control<QCheckBox>(c::kAutoRecord)->click();
    runEventsFor(1000);

    const int seconds = runSeconds();
    for (auto _ : state) {
        const Phase closed = measurePhase(rig, seconds);
        rig.control<QPushButton>(c::kStatistics)->click();
        auto* statistics = rig.window->findChild<app::StatisticsWindow*>();
        if (statistics == nullptr || !statistics->isVisible()) return state.SkipWithError("no statistics window");
        runEventsFor(1000);  // past the first painting
        const Phase open = measurePhase(rig, seconds);
        statistics->close();
        state.counters["cpu_closed"] = closed.cpuPercent;
        state.counters["cpu_open"] = open.cpuPercent;
        state.counters["window_adds_cpu"] = open.cpuPercent - closed.cpuPercent;
        state.counters["rows_open"] = open.rows;
        state.counters["rows_due"] = open.dueRows;
        state.counters["cycle_pct_closed"] = closed.cyclePercentOfNominal;
        state.counters["cycle_pct_open"] = open.cyclePercentOfNominal;
        state.counters["misses"] = rig.window->linkState().missCount;
    }
    rig.control<QCheckBox>(c::kAutoRecord)->click();
    rig.window->finishFileWrites();
    rig.window.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}
BENCHMARK(BM_StatisticsWindowCost)
    ->ArgName("noisy")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
