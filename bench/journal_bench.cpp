// What the crash journal costs the station's thread per recorded row, how
// long a row takes to be synced to the disk, and how long the station's
// thread is held while a full table of rows is restored, on that thread
// (as before) and on the restore's own thread, side by side in one run.
//   journal_bench [--benchmark_filter=...]   the journal goes to ./journal-bench-out
//   GAUGEMON_RESTORE_ROWS=n                   rows restored (999,999)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "sample_rows.h"
#include "statistics/statistics_keeper.h"

namespace {

using namespace gaugemon;
using Clock = std::chrono::steady_clock;

std::string freshDirectory(const char* name = "journal-bench-out") {
    const auto dir = std::filesystem::current_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

// A station's table at 60 probes with a code column, and its journal.
struct Station {
    explicit Station(const std::string& directory = freshDirectory())
        : texts(bench::sampleValues()), input(bench::rowInput(texts)) {
        input.codeInput = true;
        input.code = records::WorkpieceCode::fromGbk("A-0001");
        table.prepareColumns({bench::kProbes, true, core::Language::English});
        journal.open(directory);
    }
    // Appends a row and hands it to the journal, as the record tick does;
    // a full table is cleared as the operator would.
    void recordRow() {
        if (table.full()) {
            journal.tableCleared(table);
            table.clearTable();
        }
        table.appendRow(input);
        journal.follow(table);
    }

    bench::SampleValues texts;
    records::RowInput input;
    records::RecordTable table;
    journal::Journal journal;
};

// Rows one after the other as fast as the thread can: the queue fills and the
// journal's thread writes long batches.
void BM_RecordRowBackToBack(benchmark::State& state) {
    Station station;
    for (auto _ : state) station.recordRow();
    station.journal.waitWritten();
    state.counters["written"] = static_cast<double>(station.journal.writtenRows());
}
BENCHMARK(BM_RecordRowBackToBack)->UseRealTime();

// Rows as the station records them: each one synced before the next comes.
// The time is the station thread's only.
void BM_RecordRowPaced(benchmark::State& state) {
    Station station;
    for (auto _ : state) {
        const auto start = Clock::now();
        station.recordRow();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        station.journal.waitWritten();
    }
}
BENCHMARK(BM_RecordRowPaced)->UseManualTime()->Iterations(2000);

// From handing a row over until it is synced: how far a row's safety lags
// behind its recording.
void BM_RowSyncedAfter(benchmark::State& state) {
    Station station;
    for (auto _ : state) {
        station.recordRow();
        const auto start = Clock::now();
        station.journal.waitWritten();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_RowSyncedAfter)->UseManualTime()->Iterations(2000);

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

uint32_t restoreRows() {
    const char* rows = std::getenv("GAUGEMON_RESTORE_ROWS");
    const long n = rows ? std::atol(rows) : static_cast<long>(records::kMaxRows);
    return static_cast<uint32_t>(std::clamp<long>(n, 1, records::kMaxRows));
}

// A journal directory whose last run ended with a full table in no file
// (60 probes, a code column); made once per process.
const std::string& endedRunDirectory() {
    static const std::string directory = [] {
        const std::string dir = freshDirectory("journal-restore-out");
        Station station(dir);
        for (uint32_t r = restoreRows(); r > 0; --r) station.recordRow();
        station.journal.waitWritten();
        return dir;
    }();
    return directory;
}

// The longest 1-ms step of an idle loop over `ms`: the machine's own floor.
double idleStallMs(int ms) {
    double longest = 0;
    auto last = Clock::now();
    for (const auto end = last + std::chrono::milliseconds(ms); last < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto now = Clock::now();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    return longest;
}

// The station's thread during a restore: with range 0 the rows are restored
// on it, as before; with range 1 on the restore's own thread while it goes
// on with 1-ms steps (as its timers would), takes the rows in one swap and
// brings the statistics up to date a step at a time, as the station does.
// `longest_stall_ms` is the longest time that thread was held, beside
// `idle_stall_ms`, the longest 1-ms step of the same loop with nothing to do
// (the machine's floor). Each iteration opens the journal anew: the restored
// rows, never saved, are offered again to the next.
void BM_RestoreStall(benchmark::State& state) {
    const std::string& dir = endedRunDirectory();
    const bool onItsThread = state.range(0) == 1;
    for (auto _ : state) {
        journal::Journal journal;
        journal.open(dir);
        records::RecordTable table;
        statistics::ProcessStatistics statistics;
        const uint64_t offered = journal.pending().count;
        double longest = 0;
        const auto t0 = Clock::now();
        journal::RestoreResult result;
        if (!onItsThread) {
            result = journal.restorePending(table, core::Language::English);
            statistics.sync(table);
            longest = msSince(t0);
        } else {
            std::mutex mutex;
            std::vector<std::function<void()>> posted;
            bool ready = false;
            bool figuresDone = false;
            double longestFigures = 0;
            journal.startRestore(
                table, core::Language::English,
                [&](std::function<void()> call) {
                    const std::lock_guard lock(mutex);
                    posted.push_back(std::move(call));
                },
                [&] { ready = true; });
            auto last = Clock::now();
            while (!figuresDone) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::vector<std::function<void()>> calls;
                {
                    const std::lock_guard lock(mutex);
                    calls.swap(posted);
                }
                for (auto& call : calls) call();
                if (ready && journal.restoreRunning()) {
                    const auto swap = Clock::now();
                    result = journal.finishRestore(table);
                    state.counters["swap_ms"] = msSince(swap);
                } else if (ready) {
                    const auto step = Clock::now();
                    figuresDone = statistics.sync(table, statistics::StatisticsKeeper::kRowsPerStep);
                    longestFigures = std::max(longestFigures, msSince(step));
                }
                const auto now = Clock::now();
                longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            }
            state.counters["statistics_step_ms"] = longestFigures;
        }
        state.counters["restore_ms"] = msSince(t0);
        state.counters["longest_stall_ms"] = longest;
        state.counters["idle_stall_ms"] = idleStallMs(2000);
        state.counters["offered"] = static_cast<double>(offered);
        state.counters["restored"] = static_cast<double>(result.restored);
    }
}
BENCHMARK(BM_RestoreStall)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
