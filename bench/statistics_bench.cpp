// Speed of the process statistics at a full table of 60 probes: the update
// per recorded row, opening the statistics window, the open window taking in
// a new row, redrawing the run chart.
//   statistics_bench [--benchmark_filter=...]
// Targets: < 5 us per row, < 100 ms to open, < 16 ms per run chart.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <memory>
#include <vector>

#include "app/statistics_window.h"
#include "core/qt_timer_schedule.h"
#include "support/memory_settings_store.h"

namespace {

using namespace gaugemon;
constexpr unsigned kProbes = 60;

// Readings that drift and wobble, standard and fine probes mixed.
std::vector<measure::Length> readingsOf(uint32_t row) {
    std::vector<measure::Length> readings(kProbes);
    for (unsigned k = 0; k < kProbes; ++k) {
        const int32_t wobble = static_cast<int32_t>((row * 7919 + k * 104729) % 601) - 300;
        readings[k] = k % 6 == 5 ? measure::tenthMicrometres(45'000 + 10 * wobble)
                                 : measure::micrometres(4500 + wobble + static_cast<int32_t>(row / 1000));
    }
    return readings;
}

struct FullTable {
    records::RecordTable table;
    tolerance::ToleranceTable limits;
    tolerance::Verdict verdict;

    FullTable() { table.prepareColumns({kProbes, false, core::Language::English}); }
    void add(uint32_t row) {
        const std::vector<measure::Length> readings = readingsOf(row);
        verdict.judge(readings, limits);
        records::RowInput in{kProbes,
                             false,
                             measure::LengthUnit::Millimetre,
                             verdict.anyNg(),
                             core::Language::English,
                             {},
                             {2026, 12, 8, 7, 0, 0}};
        in.readings = readings;
        in.verdict = &verdict;
        table.appendRow(in);
    }
    void fill() {
        while (!table.full()) add(table.rowCount());
    }
};

FullTable& fullTable() {
    static FullTable* table = [] {
        auto* t = new FullTable;
        t->fill();
        return t;
    }();
    return *table;
}

// Rows are added in blocks (not timed); the statistics take each block in.
// With a window of 100,000 rows every row also leaves the window.
void BM_UpdatePerRow(benchmark::State& state) {
    const auto window = static_cast<uint32_t>(state.range(0));
    FullTable t;
    statistics::ProcessStatistics statistics(window);
    constexpr uint32_t kBlock = 4096;
    uint64_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (t.table.rowCount() + kBlock > records::kMaxRows) {
            t.table.clearTable();
            statistics.sync(t.table);
        }
        for (uint32_t i = 0; i < kBlock; ++i) t.add(t.table.rowCount());
        state.ResumeTiming();
        statistics.sync(t.table);
        rows += kBlock;
    }
    state.counters["per_row"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdatePerRow)->Arg(0)->Arg(100'000)->Unit(benchmark::kMillisecond);

struct Station : statistics::StatisticsSources {
    explicit Station(FullTable& table = fullTable()) : rows(table) {}
    core::MemorySettingsStore store;
    statistics::StatisticsKeeper keeper{store};
    FullTable& rows;
    const records::RecordTable& recordTable() const override { return rows.table; }
    const statistics::StatisticsKeeper& statisticsKeeper() const override { return keeper; }
    statistics::StatisticsKeeper& changeableKeeper() override { return keeper; }
    const tolerance::ToleranceTable& tolerances() const override { return rows.limits; }
    measure::LengthUnit lengthUnit() const override { return measure::LengthUnit::Millimetre; }
    core::Language language() const override { return core::Language::English; }
    void changePreWarning(tolerance::PreWarning preWarning) override { keeper.setPreWarning(preWarning); }
};

// The station has kept the statistics row by row; opening builds the window,
// fills the table of 60 probes, copies out the selected probe's 999,999
// readings and paints everything once.
void BM_OpenWindow(benchmark::State& state) {
    Station station;
    station.keeper.rowsChanged(station.rows.table);
    for (auto _ : state) {
        app::StatisticsWindow window(station, std::make_unique<core::QtTimerSchedule>());
        window.show();
        QImage image = window.grab().toImage();
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond);

// The open window takes in one new row as the station records it: the cells
// and charts that changed worked out and painted. The argument is the number
// of rows already held.
void BM_RefreshAfterRow(benchmark::State& state) {
    FullTable rows;
    while (rows.table.rowCount() < static_cast<uint32_t>(state.range(0))) rows.add(rows.table.rowCount());
    Station station(rows);
    station.keeper.rowsChanged(rows.table);
    app::StatisticsWindow window(station, std::make_unique<core::QtTimerSchedule>());
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        rows.add(rows.table.rowCount());
        station.keeper.rowsChanged(rows.table);
        state.ResumeTiming();
        window.refresh();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_RefreshAfterRow)->Arg(1000)->Arg(900'000)->Iterations(400)->Unit(benchmark::kMillisecond);

void BM_RunChartRedraw(benchmark::State& state) {
    FullTable& t = fullTable();
    statistics::ProcessStatistics statistics;
    statistics.sync(t.table);
    statistics::ProbeSeries series;
    series.follow(1);
    series.sync(t.table, 0);
    const statistics::ProbeFigures figures = statistics.figures(t.table, 1);
    QImage image(static_cast<int>(state.range(0)), 400, QImage::Format_RGB32);
    statistics::RunChartPainter chart;
    for (auto _ : state) {
        QPainter painter(&image);
        chart.paint(painter, image.rect(), series.values(), figures, measure::LengthUnit::Millimetre,
                    core::Language::English);
    }
    state.counters["points"] = static_cast<double>(series.values().size());
}
BENCHMARK(BM_RunChartRedraw)->Arg(800)->Arg(1900)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
