// What a held row costs the process, all in: the station with 60 probes on a
// simulated instrument (virtual time) records a row every 0.1 s with the
// journal on, its statistics following the rows and the statistics window's
// run chart following probe 1. The process's private memory grows by whatever
// keeps a row anywhere; printed per row beside the row's bytes in the table.
//   station_memory_bench   target: at most 1.3 x the table's bytes a row
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sim/simulated_ports.h"
#include "station/station.h"
#include "statistics/probe_series.h"
#include "support/memory_settings_store.h"
#include "support/memory_text_settings.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"

namespace {

using namespace gaugemon;

constexpr unsigned kProbes = 60;
constexpr const char* kPort = "COM1";

// Private_Clean + Private_Dirty of the whole process, kB.
long privateKb() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    long total = 0;
    while (std::getline(rollup, line))
        if (line.rfind("Private_", 0) == 0) total += std::stol(line.substr(line.find(':') + 1));
    return total;
}

sim::InstrumentConfig sixtyProbes() {
    sim::InstrumentConfig config;
    config.probeCount = kProbes;
    for (unsigned k = 0; k < kProbes; ++k) config.probes.push_back(sim::constantProbe(3990.0 + 7.0 * k));
    return config;
}

struct RecordingStation {
    explicit RecordingStation(const std::filesystem::path& directory) {
        settings.writeInt(core::keys::kHW, 2);
        settings.writeInt(core::keys::kComID, 1);
        ports.place(kPort, sixtyProbes());
        station = std::make_unique<station::Station>(station::StationSeams{settings, timers, clock, line, prompts,
                                                                           directory.string() + "/",
                                                                           (directory / "journal").string(), &texts});
        station->startJournal();
        station->connect();
        clock.runUntil([&] { return station->linkState().connected; }, 60'000);
        station->setAutomatic(true, 0.1f);
        series.follow(1);
    }
    // Records until the table holds `rows`, the run chart kept in step. The
    // journal writes each row within milliseconds of its recording: it is
    // let catch up every ten seconds of virtual time, as it does in real time,
    // so that its queue holds no more than it would.
    void recordUntil(uint32_t rows) {
        while (station->recordTable().rowCount() < rows && !station->recordTable().full()) {
            clock.advanceBy(100);
            series.sync(station->recordTable(), station->processStatistics().firstRow());
            if (station->recordTable().rowCount() % 100 == 0) station->flushJournal();
        }
        station->flushJournal();
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    core::MemoryTextSettings texts;
    testing::RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    std::unique_ptr<station::Station> station;
    statistics::ProbeSeries series;
};

// The first rows bring what the station keeps once (the first chunks, the
// journal's file and caches); the rows after them are measured.
void BM_PrivateMemoryPerHeldRow(benchmark::State& state) {
    const auto rows = static_cast<uint32_t>(state.range(0));
    constexpr uint32_t kWarmRows = 2048;
    for (auto _ : state) {
        const std::filesystem::path directory =
            std::filesystem::temp_directory_path() / ("gaugemon-memory-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        {
            RecordingStation held(directory);
            held.recordUntil(kWarmRows);
            const long before = privateKb();
            held.recordUntil(kWarmRows + rows);
            const long after = privateKb();
            const uint32_t measured = held.station->recordTable().rowCount() - kWarmRows;
            const double perRow = static_cast<double>(after - before) * 1024.0 / measured;
            const double tableBytes = held.station->recordTable().shape().stride;
            state.counters["rows"] = measured;
            state.counters["private_B_per_row"] = perRow;
            state.counters["table_B_per_row"] = tableBytes;
            state.counters["times_table"] = perRow / tableBytes;
            held.station->stop(station::Station::LastBackup::Skip);
        }
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
}
BENCHMARK(BM_PrivateMemoryPerHeldRow)->Arg(6'000)->Arg(60'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
