// Time and memory of the exchange files for a table at the record files'
// size: 274,192 rows of 60 probes.
//   exchange_bench [--benchmark_filter=...]   files go to ./exchange-bench-out
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "exchange/exchange.h"
#include "sample_rows.h"

namespace {

using namespace gaugemon;

constexpr uint32_t kRows = 274'192;

long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    return -1;
}

// Starts the peak resident size afresh from the present size.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::filesystem::path outputDir() {
    const auto dir = std::filesystem::current_path() / "exchange-bench-out";
    std::filesystem::create_directories(dir);
    return dir;
}

// A full table of 60 probes; a third of the values out of tolerance.
records::RecordTable& sampleTable() {
    static records::RecordTable table;
    if (table.rowCount() == 0) {
        table.prepareColumns({bench::kProbes, false, core::Language::English});
        const display::ValueTextTable texts = bench::sampleTexts();
        const records::RowInput input = bench::rowInput(texts);
        for (uint32_t r = 0; r < kRows; ++r) table.appendRow(input);
    }
    return table;
}

void exportTable(benchmark::State& state, exchange::ExchangeFormat format, const char* name) {
    records::RecordTable& table = sampleTable();
    records::PlainRecordSources sources;
    sources.probes = bench::kProbes;
    sources.lang = core::Language::English;
    exchange::ExchangeOptions options;
    options.partNumber = "BENCH";
    const std::string path = (outputDir() / name).string();
    long extraKb = 0;
    for (auto _ : state) {
        const long before = statusKb("VmRSS");
        resetPeak();
        const exchange::ExchangeResult result =
            exchange::writeExchangeFile(format, table, sources, false, options, path);
        extraKb = statusKb("VmHWM") - before;
        if (!result.ok()) state.SkipWithError(exchange::exchangeMessage(result, core::Language::English).c_str());
    }
    state.counters["rows"] = kRows;
    state.counters["peak_extra_MiB"] = static_cast<double>(extraKb) / 1024.0;
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    state.counters["table_MiB"] = static_cast<double>(table.committedBytes()) / (1024.0 * 1024.0);
}

void BM_Workbook274192RowsOf60Probes(benchmark::State& state) {
    exportTable(state, exchange::ExchangeFormat::Workbook, "table.xlsx");
}
BENCHMARK(BM_Workbook274192RowsOf60Probes)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_Aqdef274192RowsOf60Probes(benchmark::State& state) {
    exportTable(state, exchange::ExchangeFormat::Aqdef, "table.dfq");
}
BENCHMARK(BM_Aqdef274192RowsOf60Probes)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
