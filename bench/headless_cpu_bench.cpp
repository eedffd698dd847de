// The unattended station as a plant runs it: the real program with
// --headless, polling gaugesim over a pseudo-terminal (60 probes at 115200),
// recording a row every second, with the backup on; optionally publishing to
// a broker given in GAUGEMON_BENCH_MQTT. Reports the process's CPU time as a
// share of one core (goal: below 2 %), read from /proc while it runs.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/gaugesim_process.h"

using namespace gaugemon::testing;

namespace {

// User and system time of process `pid` in seconds.
double processCpuSeconds(qint64 pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    const size_t end = text.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_HeadlessStationCpu(benchmark::State& state) {
    const char* secondsText = std::getenv("GAUGEMON_HEADLESS_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 30;
    QTemporaryDir home;
    const std::filesystem::path ports = std::filesystem::path(home.path().toStdString()) / "ports";
    GaugesimProcess sim(ports, {"--port", "COM1", "--probes", "60", "--baud", "115200", "--signal", "sine"});
    if (!sim.waitForLink("COM1")) {
        state.SkipWithError("gaugesim did not start");
        return;
    }
    QStringList arguments{"--headless",     "--port", QString::fromStdString((ports / "COM1").string()),
                          "--record-every", "1",      "--station",
                          "bench"};
    if (const char* broker = std::getenv("GAUGEMON_BENCH_MQTT")) arguments << "--mqtt" << broker;
    for (auto _ : state) {
        QProcess station;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        environment.insert("XDG_DATA_HOME", home.path() + "/.local/share");
        station.setProcessEnvironment(environment);
        station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station.start(QStringLiteral(GAUGEMON_PATH), arguments);
        station.waitForStarted();
        // Discovery and the first backup are not the steady state.
        runEventsFor(5'000);
        const double cpuBefore = processCpuSeconds(station.processId());
        runEventsFor(seconds * 1000);
        const double cpu = processCpuSeconds(station.processId()) - cpuBefore;
        station.terminate();
        station.waitForFinished(10'000);
        state.SetIterationTime(seconds);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / seconds;
    }
}
BENCHMARK(BM_HeadlessStationCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
