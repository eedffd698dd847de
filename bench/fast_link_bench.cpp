// Polls the gaugesim program over a pseudo-terminal at every baud rate with 60
// and 8 probes: the station in its normal cycle, the station with fast
// polling, a pymodbus client and mbpoll reading the same registers from the
// same simulator, one after the other in the same run. Each rate is printed beside
// the wire limit: the request, the answer and two 3.5-character gaps back to
// back at the line's baud rate and framing.
//
// GAUGEMON_POLL_SECONDS sets the seconds of each of the four (default 8).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdlib>

#include "core/qt_timer_schedule.h"
#include "link/link_controller.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int pollSeconds() {
    const char* text = std::getenv("GAUGEMON_POLL_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 8;
}

// Counts the answers and notes when the last came, so that a rate is taken
// from answer to answer: counted against a fixed window, a few answers a
// second would be off by up to one answer.
struct CycleCounter : link::LinkHost {
    CycleCounter() { clock.start(); }
    int64_t cycles = 0;
    int64_t lastNs = 0;
    QElapsedTimer clock;
    void readingsArrived(std::span<const link::ChannelReading>) override {
        ++cycles;
        lastNs = clock.nsecsElapsed();
    }
};

struct Rate {
    double pollsPerS = 0;
    double cpuUsPerPoll = 0;
    uint32_t misses = 0;
    uint32_t errors = 0;
};

// The station's link on the real event loop and a real pseudo-terminal.
class Station {
public:
    Station(const std::filesystem::path& directory, int baudIndex)
        : port_{link::PortDirectory(directory, directory / "no-devices")} {
        settings_.writeInt("HW", 2);
        settings_.writeInt("ComID", 3);
        settings_.writeInt("BaudBit", baudIndex);
        timers_.setTickHandler([this](int id) { controller_.onTick(id); });
    }

    // Connects, polls for `seconds` and disconnects; nullopt without a connection.
    std::optional<Rate> poll(bool fast, int seconds) {
        controller_.setFastMode(fast);
        controller_.connectButton();
        if (!runEventsUntil([&] { return link_.connected; }, 20'000)) return std::nullopt;
        runEventsFor(300);
        const int64_t settled = host_.cycles;
        if (!runEventsUntil([&] { return host_.cycles > settled; }, 20'000)) return std::nullopt;
        const int64_t cyclesBefore = host_.cycles;
        const int64_t firstNs = host_.lastNs;
        const double cpuBefore = processCpuSeconds();
        runEventsFor(seconds * 1000);
        const double wall = (host_.lastNs - firstNs) * 1e-9;
        const double cycles = static_cast<double>(host_.cycles - cyclesBefore);
        Rate rate;
        rate.pollsPerS = wall > 0 ? cycles / wall : 0;
        rate.cpuUsPerPoll = cycles > 0 ? (processCpuSeconds() - cpuBefore) * 1e6 / cycles : 0;
        rate.misses = link_.missCount;
        rate.errors = link_.errorCount;
        controller_.connectButton();
        return rate;
    }

    link::LineSettings line() const { return {link_.parityCode, link_.twoStopBits}; }

private:
    core::QtTimerSchedule timers_;
    core::MemorySettingsStore settings_;
    RecordingPrompts prompts_;
    CycleCounter host_;
    link::TtySerialPort port_;
    link::LinkState link_;
    core::Language language_ = core::Language::English;
    link::LinkController controller_{link_, port_, timers_, settings_, prompts_, host_, language_};
};

// Exchanges a second if the line carried nothing but the request, the
// answer and the two gaps of 3.5 characters.
double wireLimitPerS(int baud, link::LineSettings line, unsigned probes) {
    const int bits = 1 + 8 + (link::parityOf(line) == link::Parity::None ? 0 : 1) +
                     (link::stopBitsOf(line) == link::StopBits::Two ? 2 : 1);
    const double characters = 8 + link::readingsAnswerLength(probes) + 2 * 3.5;
    return baud / (characters * bits);
}

// Runs the pymodbus client; its polls a second, or -1 when it could not run.
double pymodbusPollsPerS(const std::filesystem::path& device, int baud, link::LineSettings line, unsigned probes,
                         int seconds) {
    const char parity[] = {'N', 'O', 'E'};
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(FAST_LINK_PYMODBUS_SCRIPT), QString::fromStdString(device.string()),
                  QString::number(baud), QString(QChar(parity[static_cast<int>(link::parityOf(line))])),
                  QString::number(link::stopBitsOf(line) == link::StopBits::Two ? 2 : 1), QString::number(probes),
                  QString::number(seconds)});
    if (!client.waitForFinished((seconds + 30) * 1000) || client.exitCode() != 0) return -1;
    const QString out = QString::fromUtf8(client.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("polls_per_s="));
    if (at < 0) return -1;
    return out.mid(at + 12).section(QLatin1Char(' '), 0, 0).toDouble();
}

// Runs mbpoll as fast as it polls (10 ms between polls at the least); its
// answers a second, or -1 when it could not run. The first second is not
// counted: the program starts and settles in it.
double mbpollPollsPerS(const std::filesystem::path& device, int baud, link::LineSettings line, unsigned probes,
                       int seconds) {
    const char* const parity[] = {"none", "odd", "even"};
    QProcess client;
    // Line-buffered, so that the answers are counted as they come. Register
    // numbers from 0, 16-bit holding registers, 10 ms between polls.
    QStringList arguments = QStringLiteral("-oL mbpoll -m rtu -a 1 -0 -r 0 -t 4 -l 10 -o 1").split(QLatin1Char(' '));
    arguments << "-c" << QString::number(2 * probes) << "-b" << QString::number(baud) << "-P"
              << parity[static_cast<int>(link::parityOf(line))] << "-s"
              << QString::number(link::stopBitsOf(line) == link::StopBits::Two ? 2 : 1)
              << QString::fromStdString(device.string());
    client.start(QStringLiteral("stdbuf"), arguments);
    if (!client.waitForStarted(5000)) return -1;
    // Each answer prints its first register as "[0]: ...".
    int64_t answers = 0;
    const auto countAnswers = [&] {
        while (client.canReadLine()) answers += client.readLine().startsWith("[0]:") ? 1 : 0;
    };
    const auto readFor = [&](int64_t ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms && client.state() == QProcess::Running) {
            client.waitForReadyRead(static_cast<int>(std::max<int64_t>(1, ms - clock.elapsed())));
            countAnswers();
        }
    };
    readFor(1000);
    const int64_t settled = answers;
    QElapsedTimer window;
    window.start();
    readFor(seconds * 1000LL);
    const double elapsed = static_cast<double>(window.nsecsElapsed()) * 1e-9;
    const bool ran = client.state() == QProcess::Running;
    client.terminate();
    if (!client.waitForFinished(5000)) client.kill();
    client.waitForFinished(5000);
    return ran && elapsed > 0 ? static_cast<double>(answers - settled) / elapsed : -1;
}

void BM_FastPollingAgainstTheWireLimit(benchmark::State& state) {
    const int seconds = pollSeconds();
    const auto probes = static_cast<unsigned>(state.range(0));
    const int baudIndex = static_cast<int>(state.range(1));
    // A directory of each run's own: no link of the last run's simulator is
    // ever taken for this one's.
    const auto directory =
        std::filesystem::temp_directory_path() / ("gaugemon-fast-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(probes) + "-" + std::to_string(baudIndex));
    const int baud = link::kBaudTable[baudIndex];
    GaugesimProcess sim(directory, {"--port", "COM3", "--probes", QString::number(probes), "--baud",
                                    QString::number(baud), "--format", "FF"});
    if (!sim.waitForLink("COM3")) {
        state.SkipWithError("gaugesim did not start");
        return;
    }
    Station station(directory, baudIndex);
    for (auto _ : state) {
        const std::optional<Rate> normal = station.poll(false, seconds);
        const std::optional<Rate> fast = station.poll(true, seconds);
        if (!normal || !fast) {
            state.SkipWithError("no connection");
            break;
        }
        const double wire = wireLimitPerS(baud, station.line(), probes);
        // The answer to the station's last request comes after it has gone:
        // the client opens a quiet line, or it would take that answer for its
        // own and stay one answer behind from then on.
        runEventsFor(1500);
        const double pymodbus = pymodbusPollsPerS(directory / "COM3", baud, station.line(), probes, seconds);
        runEventsFor(1500);
        const double mbpoll = mbpollPollsPerS(directory / "COM3", baud, station.line(), probes, seconds);
        state.counters["wire_limit_per_s"] = wire;
        state.counters["normal_per_s"] = normal->pollsPerS;
        state.counters["fast_per_s"] = fast->pollsPerS;
        state.counters["pymodbus_per_s"] = pymodbus;
        state.counters["normal_pct_wire"] = 100 * normal->pollsPerS / wire;
        state.counters["fast_pct_wire"] = 100 * fast->pollsPerS / wire;
        state.counters["pymodbus_pct_wire"] = pymodbus > 0 ? 100 * pymodbus / wire : -1;
        state.counters["mbpoll_per_s"] = mbpoll;
        state.counters["mbpoll_pct_wire"] = mbpoll > 0 ? 100 * mbpoll / wire : -1;
        state.counters["fast_cpu_us_per_poll"] = fast->cpuUsPerPoll;
        state.counters["fast_misses"] = fast->misses;
        state.counters["fast_errors"] = fast->errors;
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}
BENCHMARK(BM_FastPollingAgainstTheWireLimit)
    ->ArgNames({"probes", "baud_index"})
    ->ArgsProduct({{60, 8}, {4, 3, 2, 1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
