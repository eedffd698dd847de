// Time and memory of the exchange files for a table at the record files'
// size: 274,192 rows of 60 probes; the longest stall of the station's thread
// while Save writes them, on the spot as before and on the writer's thread;
// and the workbook beside the library's own constant-memory writer writing
// the same cells, side by side in one run.
//   exchange_bench [--benchmark_filter=...]   files go to ./exchange-bench-out
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include "exchange/exchange.h"
#include "exchange/row_fields.h"
#include "exchange/shown_value.h"
#include "exchange/workbook_export.h"
#include "sample_rows.h"
#include "stall_meter.h"

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
        const bench::SampleValues texts = bench::sampleValues();
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

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

records::PlainRecordSources sampleSources() {
    records::PlainRecordSources sources;
    sources.probes = bench::kProbes;
    sources.lang = core::Language::English;
    return sources;
}

// Save of a full table while a 1-ms timer runs on the event loop, as the
// poll timers would. range(0): the format (0 workbook, 1 transfer file);
// range(1): 1 on the writer's thread as Save now writes, 0 on the spot as before.
void BM_SaveWhileTheEventLoopTicks(benchmark::State& state) {
    records::RecordTable& table = sampleTable();
    const records::PlainRecordSources sources = sampleSources();
    const auto format = state.range(0) == 0 ? exchange::ExchangeFormat::Workbook : exchange::ExchangeFormat::Aqdef;
    const std::string path = (outputDir() / (state.range(0) == 0 ? "saved.xlsx" : "saved.dfq")).string();
    exchange::ExchangeOptions options;
    options.partNumber = "BENCH";
    QObject context;
    records::SnapshotWriter writer([&context](std::function<void()> told) {
        QMetaObject::invokeMethod(&context, std::move(told), Qt::QueuedConnection);
    });
    bench::StallMeter meter;
    for (auto _ : state) {
        bool ok = false;
        meter.start();
        const auto t0 = Clock::now();
        if (state.range(1) != 0) {
            // The thread sleeps between ticks, as the station's does.
            QEventLoop loop;
            exchange::startExchangeFile(writer, format, table, sources, false, options, path,
                                        [&](const exchange::ExchangeResult& result) {
                                            ok = result.ok();
                                            loop.quit();
                                        });
            loop.exec();
        } else {
            ok = exchange::writeExchangeFile(format, table, sources, false, options, path).ok();
        }
        state.counters["save_s"] = secondsSince(t0);
        QCoreApplication::processEvents();
        meter.stop(state, "save");
        state.counters["ok"] = ok;
    }
}
BENCHMARK(BM_SaveWhileTheEventLoopTicks)
    ->ArgNames({"dfq", "writer"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The library's own constant-memory writer with the same cells as ours: the
// row number, every value as a number in its number format, the verdict and
// the time as a date-time, three header rows; no check, no copy into place.
struct Spent {
    double wallS = 0;
    double cpuS = 0;  // of this thread: what the machine's other load does not change
};

Spent libraryWorkbook(const records::RecordTable& table, const std::string& path) {
    const auto t0 = Clock::now();
    const double cpu0 = bench::threadCpuMs();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Records");
    lxw_format* numberFormat = workbook_add_format(workbook);
    format_set_num_format(numberFormat, "0.000");
    lxw_format* rowFormat = workbook_add_format(workbook);
    format_set_num_format(rowFormat, "000000");
    lxw_format* timeFormat = workbook_add_format(workbook);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm:ss");
    for (lxw_col_t c = 0; c < bench::kProbes + 3; ++c) worksheet_write_string(sheet, 0, c, "S01 (mm)", nullptr);
    for (lxw_row_t header = 1; header < 3; ++header)
        for (lxw_col_t c = 1; c <= bench::kProbes; ++c) worksheet_write_number(sheet, header, c, 6.0, numberFormat);
    for (uint32_t r = 0; r < table.rowCount(); ++r) {
        const records::RowView row = table.row(r);
        const lxw_row_t at = 3 + r;
        worksheet_write_number(sheet, at, 0, r + 1.0, rowFormat);
        for (unsigned k = 0; k < bench::kProbes; ++k) {
            const auto shown = exchange::parseValueText(row.valueText(k + 1).text());
            if (!shown) continue;
            worksheet_write_number(sheet, at, static_cast<lxw_col_t>(k + 1),
                                   static_cast<double>(shown->number.units) / exchange::kUnitsPerWhole, numberFormat);
        }
        worksheet_write_string(sheet, at, bench::kProbes + 1,
                               std::string(exchange::verdictText(row.resultCell())).c_str(), nullptr);
        const auto time = exchange::parseTimeStamp(records::stampText(row.timeStamp()));
        lxw_datetime moment{time->year, time->month,  time->day,
                            time->hour, time->minute, static_cast<double>(time->second)};
        worksheet_write_datetime(sheet, at, bench::kProbes + 2, &moment, timeFormat);
    }
    workbook_close(workbook);
    return {secondsSince(t0), (bench::threadCpuMs() - cpu0) / 1e3};
}

void BM_WorkbookBesideTheLibrarysOwnWriter(benchmark::State& state) {
    records::RecordTable& table = sampleTable();
    const records::PlainRecordSources sources = sampleSources();
    const exchange::ExportPlan plan = exchange::planExport(table, sources, false, exchange::LengthUnit::Millimetre);
    for (auto _ : state) {
        records::CodeSlotCopy codes;
        const records::TableSnapshot rows(table, codes);
        const auto t0 = Clock::now();
        const double cpu0 = bench::threadCpuMs();
        const bool ok = exchange::writeWorkbook(rows, plan, (outputDir() / "ours.xlsx").string(), nullptr).ok;
        const Spent ours{secondsSince(t0), (bench::threadCpuMs() - cpu0) / 1e3};
        const Spent library = libraryWorkbook(table, (outputDir() / "library.xlsx").string());
        state.counters["ours_s"] = ours.wallS;
        state.counters["library_s"] = library.wallS;
        state.counters["ours_per_library"] = ours.wallS / library.wallS;
        state.counters["ours_cpu_s"] = ours.cpuS;
        state.counters["library_cpu_s"] = library.cpuS;
        state.counters["ours_per_library_cpu"] = ours.cpuS / library.cpuS;
        state.counters["ok"] = ok;
    }
}
BENCHMARK(BM_WorkbookBesideTheLibrarysOwnWriter)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

}  // namespace
