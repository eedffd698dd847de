// What the crash journal costs the station's thread per recorded row, and how
// long a row takes to be synced to the disk.
//   journal_bench [--benchmark_filter=...]   the journal goes to ./journal-bench-out
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "journal/journal.h"
#include "sample_rows.h"

namespace {

using namespace gaugemon;
using Clock = std::chrono::steady_clock;

std::string freshDirectory() {
    const auto dir = std::filesystem::current_path() / "journal-bench-out";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

// A station's table at 60 probes with a code column, and its journal.
struct Station {
    Station() : texts(bench::sampleTexts()), input(bench::rowInput(texts)) {
        input.codeInput = true;
        input.code = records::WorkpieceCode::fromGbk("A-0001");
        table.prepareColumns({bench::kProbes, true, core::Language::English});
        journal.open(freshDirectory());
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

    display::ValueTextTable texts;
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

}  // namespace

BENCHMARK_MAIN();
