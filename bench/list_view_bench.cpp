// The record list on screen: one recorded row arriving as the operator sees
// it (the model announces it, the window's list takes it, scrolls to it and
// paints what changed), with the list holding none, many or nearly a full
// table; and the same for a batch of rows announced together, as the window's
// list takes them.
//   QT_QPA_PLATFORM=offscreen list_view_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/record_list_view.h"
#include "records/record_list_model.h"
#include "records/record_table.h"
#include "sample_rows.h"

namespace {

using namespace gaugemon;

// As the main window sets its list up.
void showList(app::RecordListView& view, records::RecordListModel& model) {
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(19);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < model.columnCount(); ++column) view.setColumnWidth(column, model.columnWidth(column));
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &view, &app::RecordListView::scrollToBottom);
    view.resize(1100, 130);
    view.show();
    QApplication::processEvents();
}

// range(0): rows held before; range(1): 1 to paint the list after each row,
// 0 for the model and the view's bookkeeping alone.
void BM_RowArrivesInTheList(benchmark::State& state) {
    const bool paint = state.range(1) != 0;
    const auto texts = bench::sampleValues();
    const records::RowInput input = bench::rowInput(texts);
    records::RecordTable table;
    table.prepareColumns({bench::kProbes, false, core::Language::English});
    for (int64_t r = 0; r < state.range(0); ++r) table.appendRow(input);
    records::RecordListModel model(table);
    app::RecordListView view(nullptr);
    showList(view, model);

    std::vector<double> us;
    us.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        table.appendRow(input);
        if (paint) QApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["rows_at_end"] = table.rowCount();
}
BENCHMARK(BM_RowArrivesInTheList)
    ->ArgsProduct({{0, 100'000, 995'000}, {0, 1}})
    ->Iterations(2000)
    ->Repetitions(3)
    ->Unit(benchmark::kMicrosecond);

// range(0): rows held before; range(1): rows per batch (two at a row every
// 0.1 s and one batch in 150 ms). Each batch is announced and painted.
void BM_BatchArrivesInTheList(benchmark::State& state) {
    const auto texts = bench::sampleValues();
    const records::RowInput input = bench::rowInput(texts);
    records::RecordTable table;
    table.prepareColumns({bench::kProbes, false, core::Language::English});
    for (int64_t r = 0; r < state.range(0); ++r) table.appendRow(input);
    records::RecordListModel model(table, nullptr, records::RecordListModel::kListBatchDelay);
    app::RecordListView view(nullptr);
    showList(view, model);

    std::vector<double> us;
    us.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int64_t i = 0; i < state.range(1); ++i) table.appendRow(input);
        model.announcePendingRows();
        QApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["rows_at_end"] = table.rowCount();
}
BENCHMARK(BM_BatchArrivesInTheList)
    ->ArgsProduct({{0, 100'000, 995'000}, {2}})
    ->Iterations(1000)
    ->Repetitions(3)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
