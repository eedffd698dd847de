// Speed and memory of the record table and its files.
//   records_bench [--benchmark_filter=...]   files go to ./records-bench-out
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "link/watchdog.h"
#include "records/record_list_model.h"
#include "records/records.h"
#include "records/table_file.h"
#include "sample_rows.h"
#include "support/memory_settings_store.h"
#include "support/virtual_time.h"

namespace {

using namespace gaugemon;
using records::RecordTable;

using bench::kProbes;
using bench::rowInput;
using bench::sampleValues;
constexpr uint32_t kExportRows = 274'192;

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

std::filesystem::path outputDir() {
    const auto dir = std::filesystem::current_path() / "records-bench-out";
    std::filesystem::create_directories(dir);
    return dir;
}

struct NoPrompts : core::Prompts {
    void showMessage(std::string_view) override {}
    bool askYesNo(std::string_view) override { return true; }
    std::string askWorkpieceCode(core::Language) override { return " "; }
    std::optional<core::SaveChoice> askSaveFile(core::Language, std::string_view) override { return std::nullopt; }
};

// Resident memory of a process holding the records of a station (table,
// recording, backup, export, list model) before any row is recorded.
void BM_ResidentMemoryOfEmptyRecords(benchmark::State& state) {
    const long before = residentKb();
    core::VirtualTime time;
    core::VirtualTimerSchedule timers(time);
    core::MemorySettingsStore store;
    NoPrompts prompts;
    records::PlainRecordSources sources;
    link::LinkState link;
    link::Watchdog watchdog(timers, link);
    auto held =
        std::make_unique<records::Records>(records::RecordsSeams{timers, store, prompts, time, sources, watchdog, "."});
    records::RecordListModel model(held->table);
    held->table.prepareColumns({kProbes, true, core::Language::English});
    for (auto _ : state) benchmark::DoNotOptimize(held->table.rowCount());
    const long after = residentKb();
    state.counters["process_rss_MB"] = static_cast<double>(after) / 1024.0;
    state.counters["records_rss_delta_kB"] = static_cast<double>(after - before);
    state.counters["table_committed_B"] = static_cast<double>(held->table.committedBytes());
}
BENCHMARK(BM_ResidentMemoryOfEmptyRecords)->Iterations(1);

// One append with 60 probes, timed call by call, starting with the table
// already holding state.range(0) rows.
void BM_AppendRow60Probes(benchmark::State& state) {
    const auto texts = sampleValues();
    RecordTable table;
    table.prepareColumns({kProbes, false, core::Language::English});
    const auto input = rowInput(texts);
    for (int64_t r = 0; r < state.range(0); ++r) table.appendRow(input);

    std::vector<double> ns;
    ns.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(table.appendRow(input));
        const auto t1 = std::chrono::steady_clock::now();
        ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    std::sort(ns.begin(), ns.end());
    state.counters["median_ns"] = ns[ns.size() / 2];
    state.counters["p99_ns"] = ns[ns.size() * 99 / 100];
    state.counters["max_ns"] = ns.back();
    state.counters["rows_at_end"] = table.rowCount();
    // What one row holds, and a full table of rows at that size.
    state.counters["row_B"] = static_cast<double>(table.shape().stride);
    state.counters["full_table_MB"] = static_cast<double>(table.shape().stride) * records::kMaxRows / 1e6;
}
BENCHMARK(BM_AppendRow60Probes)->Arg(0)->Arg(500'000)->Iterations(200'000)->Repetitions(3);

const RecordTable& exportTable() {
    static const auto table = [] {
        auto t = std::make_unique<RecordTable>();
        t->prepareColumns({kProbes, false, core::Language::English});
        const auto texts = sampleValues();
        for (uint32_t r = 0; r < kExportRows; ++r) t->appendRow(rowInput(texts));
        return t;
    }();
    return *table;
}

size_t exportBytes() {
    return records::buildHeader({core::Language::English, kProbes, false, {}}, records::kTabFormat).size() +
           size_t{kExportRows} * records::lineBytes(exportTable().shape(), records::kTabFormat);
}

// The texts of every cell of 10,000 rows as the list asks for them.
void BM_ListTextOf10000Rows60Probes(benchmark::State& state) {
    records::RecordListModel model(const_cast<RecordTable&>(exportTable()));
    const int columns = model.columnCount();
    for (auto _ : state) {
        qsizetype chars = 0;
        for (int r = 0; r < 10'000; ++r)
            for (int c = 0; c < columns; ++c) chars += model.data(model.index(r, c)).toString().size();
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_ListTextOf10000Rows60Probes)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);

// The whole export: header, every row, temporary file, sync, rename.
void BM_Export274192Rows60Probes(benchmark::State& state) {
    auto& table = const_cast<RecordTable&>(exportTable());
    records::PlainRecordSources sources;
    sources.lang = core::Language::English;
    sources.probes = kProbes;
    const std::string path = (outputDir() / "export.xls").string();
    for (auto _ : state) {
        if (!records::writeTableFile(table, sources, false, records::kTabFormat, path).ok)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_Export274192Rows60Probes)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// The lines of the same export made into a sink that drops them: the part of
// the export that is this program's own work rather than the disk's.
void BM_ExportLinesWithoutDisk274192Rows60Probes(benchmark::State& state) {
    struct DroppingSink : records::ByteSink {
        int writeOut(const char*, size_t) override { return 0; }
    } sink;
    const RecordTable& table = exportTable();
    for (auto _ : state)
        if (!records::writeRows(table, records::kTabFormat, sink)) state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * exportBytes()));
}
BENCHMARK(BM_ExportLinesWithoutDisk274192Rows60Probes)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);

// The yardstick: the same number of bytes through one buffered stream, line
// by line, to the same disk; with and without forcing it to the disk.
void streamSameBytes(benchmark::State& state, bool sync) {
    const size_t total = exportBytes();
    const size_t line = records::lineBytes(exportTable().shape(), records::kTabFormat);
    const std::string lineBytes(line, 'x');
    const std::string path = (outputDir() / "stream.xls").string();
    for (auto _ : state) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            for (size_t done = 0; done < total; done += line)
                out.write(lineBytes.data(), static_cast<std::streamsize>(std::min(line, total - done)));
        }
        if (sync) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
void BM_BufferedStreamSameBytes(benchmark::State& state) { streamSameBytes(state, false); }
void BM_BufferedStreamSameBytesSynced(benchmark::State& state) { streamSameBytes(state, true); }
BENCHMARK(BM_BufferedStreamSameBytes)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_BufferedStreamSameBytesSynced)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
