// The main window as the operator runs it, off screen: 60 probes at 115200
// baud from gaugesim over a pseudo-terminal, the chart moving, a row recorded
// every 0.1 s and the 60-s backup on. Prints the process's CPU time as a share
// of one core over a fixed wall time (GAUGEMON_WINDOW_SECONDS, 20 by default;
// a run of 60 s or more includes a backup).
//   window_cpu_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/monitor_dialog.h"
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

// Everything the window reaches the platform through, as the program builds it.
struct WindowRig {
    std::filesystem::path directory;
    core::MemorySettingsStore settings;
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    link::TtySerialPort port;
    RecordingPrompts prompts;
    std::unique_ptr<app::MonitorDialog> window;

    explicit WindowRig(const std::filesystem::path& dir)
        : directory(dir), port(link::PortDirectory(dir, dir / "no-devices")) {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        settings.writeInt("BaudBit", kBaudIndex115200);
        settings.writeInt("Language", 2);
        app::WindowSeams seams{settings,
                               timers,
                               clock,
                               port,
                               prompts,
                               [] { return std::make_unique<core::QtTimerSchedule>(); },
                               directory.string() + "/",
                               [] {},
                               /*journalDirectory=*/{}};
        window = std::make_unique<app::MonitorDialog>(seams);
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
