// A full table (999,999 rows of 60 probes) written to a file while the
// station's thread goes on: how long that thread is held by the start of the
// write and by anything after it, and how the write compares with one
// buffered write of the same number of bytes, side by side in one run. The
// last benchmark runs the station's own backup and export with the writer
// wired as the station wires it, while a 1-ms timer on the event loop
// measures the longest stall.
//   snapshot_write_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

#include "core/qt_timer_schedule.h"
#include "core/system_clock.h"
#include "link/watchdog.h"
#include "records/records.h"
#include "records/table_file.h"
#include "records/table_snapshot.h"
#include "sample_rows.h"
#include "stall_meter.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

namespace {

using namespace gaugemon;
using Clock = std::chrono::steady_clock;
using bench::StallMeter;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::filesystem::path outputDir() {
    const auto dir = std::filesystem::current_path() / "snapshot-bench-out";
    std::filesystem::create_directories(dir);
    return dir;
}

// range: 1 with the code column (whose slots the snapshot copies), 0 without.
records::RecordTable& fullTable(bool codeColumn) {
    static std::unique_ptr<records::RecordTable> tables[2];
    auto& table = tables[codeColumn ? 1 : 0];
    if (!table) {
        table = std::make_unique<records::RecordTable>();
        table->prepareColumns({bench::kProbes, codeColumn, core::Language::English});
        const auto texts = bench::sampleValues();
        records::RowInput input = bench::rowInput(texts);
        input.codeInput = codeColumn;
        while (!table->full()) table->appendRow(input);
    }
    return *table;
}

// The same number of bytes in 1 MiB writes to a new file, forced to the disk
// as the table's file is.
double bufferedWriteMs(const std::filesystem::path& path, size_t bytes) {
    const std::vector<char> block(size_t{1} << 20, 'x');
    const auto t0 = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (size_t left = bytes; left > 0;) {
        const size_t n = std::min(left, block.size());
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) break;
        left -= n;
    }
    ::fsync(fd);
    ::close(fd);
    return msSince(t0);
}

void BM_ExportBesideABufferedWrite(benchmark::State& state) {
    records::RecordTable& table = fullTable(state.range(0) != 0);
    records::PlainRecordSources sources;
    sources.lang = core::Language::English;
    const auto dir = outputDir();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const auto result = records::writeTableFile(table, sources, state.range(0) != 0, records::kTabFormat,
                                                    (dir / "export.xls").string());
        const double exportMs = msSince(t0);
        const size_t bytes = std::filesystem::file_size(dir / "export.xls");
        const double plainMs = bufferedWriteMs(dir / "plain.bin", bytes);
        state.counters["export_ms"] = exportMs;
        state.counters["buffered_write_ms"] = plainMs;
        state.counters["export_per_write"] = exportMs / plainMs;
        state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
        state.counters["ok"] = result.ok;
    }
}
BENCHMARK(BM_ExportBesideABufferedWrite)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// The station's thread starts the write, then goes on with 1-ms steps of
// its own (as its timers would) until the outcome comes back to it; the
// longest time it was held is the stall the operator and the poll would see.
// The first write copies every code slot (as after a correction of a code);
// the second, like every backup while rows only arrive, copies none.
void BM_StallWhileTheWriterWrites(benchmark::State& state) {
    records::RecordTable& table = fullTable(state.range(0) != 0);
    records::PlainRecordSources sources;
    sources.lang = core::Language::English;
    const auto path = (outputDir() / "backup.xls").string();
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    records::SnapshotWriter writer([&](std::function<void()> call) {
        const std::lock_guard lock(mutex);
        posted.push_back(std::move(call));
    });
    int write = 0;
    for (auto _ : state) {
        ++write;
        bool done = false;
        const auto t0 = Clock::now();
        records::startTableFile(writer, table, sources, state.range(0) != 0, records::kTabFormat, path,
                                [&](const records::FileWriteResult&) { done = true; });
        const double startMs = msSince(t0);
        double longestStepMs = 0;
        while (!done) {
            const auto step = Clock::now();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::vector<std::function<void()>> now;
            {
                const std::lock_guard lock(mutex);
                now.swap(posted);
            }
            for (auto& call : now) call();
            // The step's own millisecond is not a stall.
            longestStepMs = std::max(longestStepMs, msSince(step) - 1.0);
        }
        if (write == 1) {
            state.counters["first_start_ms"] = startMs;
            continue;
        }
        state.counters["start_ms"] = startMs;
        state.counters["longest_step_ms"] = longestStepMs;
        state.counters["stall_ms"] = std::max(startMs, longestStepMs);
        state.counters["write_ms"] = msSince(t0);
    }
}
BENCHMARK(BM_StallWhileTheWriterWrites)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond);

// Runs the event loop until `done` holds (looked at every millisecond).
void runUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
}

// The records of a station holding a full table, the writer wired as the
// station wires it: the outcome comes back through the event loop.
struct StationRecords {
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    core::MemorySettingsStore store;
    testing::RecordingPrompts prompts;
    records::PlainRecordSources sources;
    link::LinkState linkState;
    link::Watchdog watchdog{timers, linkState};
    std::unique_ptr<records::Records> records;
    QObject context;
    records::SnapshotWriter writer{[this](std::function<void()> told) {
        QMetaObject::invokeMethod(&context, std::move(told), Qt::QueuedConnection);
    }};

    // With the writer, as the station now runs; without, on the spot as before.
    void wireWriter(bool wired) {
        records->backup.useWriter(wired ? &writer : nullptr);
        records->exporter.useWriter(wired ? &writer : nullptr);
        if (wired) records->useWriter(writer);
    }

    explicit StationRecords(const std::filesystem::path& dir) {
        sources.lang = core::Language::English;
        sources.probes = bench::kProbes;
        records = std::make_unique<records::Records>(
            records::RecordsSeams{timers, store, prompts, clock, sources, watchdog, dir.string()});
        records::RecordTable& table = records->table;
        table.prepareColumns({bench::kProbes, false, core::Language::English});
        const auto texts = bench::sampleValues();
        const records::RowInput input = bench::rowInput(texts);
        while (!table.full()) table.appendRow(input);
    }
};

// range(0): 1 with the writer wired, 0 writing on the spot (as before it was).
void BM_BackupAndExportWhileTheEventLoopTicks(benchmark::State& state) {
    static const std::filesystem::path dir = [] {
        const auto fresh = outputDir() / "station";
        std::filesystem::remove_all(fresh);
        std::filesystem::create_directories(fresh);
        return fresh;
    }();
    static StationRecords station(dir);
    station.wireWriter(state.range(0) != 0);
    StallMeter meter;
    for (auto _ : state) {
        // The 60-s backup: a tick of timer 7 with rows not yet in the file.
        station.records->table.setRowsSinceBackup(true);
        meter.start();
        const auto backupStart = Clock::now();
        station.records->backup.onBackupTimer();
        runUntil([&] { return !station.writer.busy(); });
        const double backupMs = msSince(backupStart);
        QCoreApplication::processEvents();
        meter.stop(state, "backup");
        state.counters["backup_ms"] = backupMs;
        state.counters["backup_ok"] = station.records->backup.lastResult().ok;

        // Save: done when its message is shown.
        const auto path = dir / "export.xls";
        station.prompts.saveChoices = {core::SaveChoice{path.string(), 0}};
        station.prompts.messages.clear();
        meter.start();
        const auto exportStart = Clock::now();
        station.records->exporter.run();
        runUntil([&] { return !station.prompts.messages.empty(); });
        const double exportMs = msSince(exportStart);
        meter.stop(state, "export");
        const size_t bytes = std::filesystem::file_size(path);
        const double plainMs = bufferedWriteMs(dir / "plain.bin", bytes);
        state.counters["export_ms"] = exportMs;
        state.counters["buffered_write_ms"] = plainMs;
        state.counters["export_per_write"] = exportMs / plainMs;
        state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
        state.counters["export_ok"] = station.prompts.messages.front() == "Data export completed!";
        // Nearly 600 MB each: not left behind.
        for (const auto& entry : std::filesystem::directory_iterator(dir)) std::filesystem::remove(entry.path());
    }
}
BENCHMARK(BM_BackupAndExportWhileTheEventLoopTicks)
    ->ArgName("writer")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
