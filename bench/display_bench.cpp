// One display update of 60 probes into the backing image of a 1238 x 758
// client area: all values changed (full redraw), and nothing changed; then
// the same with 32 characteristics computed from them after the probes.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <atomic>
#include <cstdlib>
#include <new>

#include "core/settings_store.h"
#include "display/display_update.h"
#include "display/value_text.h"
#include "link/link_state.h"
#include "measure/setup_text.h"
#include "support/memory_settings_store.h"

using namespace gaugemon::display;
using gaugemon::measure::LengthUnit;

namespace {

std::atomic<long> allocations{0};

// The plot of a 1238 x 758 window: the chart frame stretched by the resize rule.
constexpr ChartArea kPlot{22, 1228, 120, 383};

struct Station {
    gaugemon::core::MemorySettingsStore store;
    gaugemon::tolerance::ToleranceTable tolerances;
    gaugemon::link::LinkState link;
    std::array<gaugemon::measure::Length, gaugemon::measure::kMaxProbes> lengths{};
    gaugemon::tolerance::Verdict verdict;
    DisplayModel model;
    DisplayUpdate chart{model, DisplayUpdate::kDefaultClientSize};

    Station() {
        tolerances.load(store, LengthUnit::Millimetre);
        // The chart image takes the layout first, then the display state its plot.
        chart.setLayout(DisplayUpdate::kDefaultClientSize, kPlot);
        model.setChartArea(kPlot);
        chart.clearPlot();
        link.connected = true;
        link.probeCount = gaugemon::link::kMaxProbes;
    }
    void fill(int32_t offset) {
        for (unsigned i = 0; i < gaugemon::link::kMaxProbes; ++i) {
            // Spread over the range so that both colours, both directions and
            // the clamp at the range limits all occur.
            lengths[i].counts = static_cast<int32_t>(i) * 431 - 11000 + offset;
        }
    }
    // 32 characteristics of every kind over the 60 probes.
    void defineCharacteristics() {
        std::string text;
        for (unsigned k = 0; k < gaugemon::measure::kMaxCharacteristics; ++k) {
            const std::string p = std::to_string(k + 1);
            const std::string q = std::to_string(k + 29);
            const char* forms[] = {"p1 + p2 + 1", "mean(p1..p8)", "range(p1..p60)", "0.5*p1 - 0.5*p2"};
            std::string formula = forms[k % 4];
            if (k % 4 == 0) formula = "p" + p + " + p" + q;
            text += "C" + p + "; 3; -5; 5; " + formula + "\n";
        }
        evaluator.compile(gaugemon::measure::parseSetupText(text, gaugemon::measure::kMaxProbes).setup);
    }
    // What the station does with each decoded frame: judge it, then show it.
    bool show() {
        const std::span<const gaugemon::measure::Length> readings(lengths.data(), link.probeCount);
        verdict.judge(readings, tolerances);
        if (evaluator.count() > 0) {
            evaluator.evaluate(readings, ~uint64_t{0}, values);
            verdict.judgeCharacteristics(values, evaluator);
        }
        const gaugemon::display::ChartPlan* plan = model.update(readings, verdict, tolerances, {&values, &evaluator});
        if (plan) chart.paint(*plan);
        return plan != nullptr;
    }
    gaugemon::measure::CharacteristicEvaluator evaluator;
    gaugemon::measure::CharacteristicValues values;
};

// Argument 0: the 60 probes alone; 32: with as many characteristics after them.
void BM_DisplayUpdateAllChanged(benchmark::State& state) {
    Station s;
    if (state.range(0) > 0) s.defineCharacteristics();
    int32_t offset = 0;
    s.show();
    const long before = allocations.load();
    for (auto _ : state) {
        s.fill(offset ^= 1);
        benchmark::DoNotOptimize(s.show());
    }
    // Per redraw: QPainter and QRegion allocate on their own, with or without characteristics.
    state.counters["heap_allocations"] =
        benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DisplayUpdateAllChanged)
    ->ArgName("characteristics")
    ->Arg(0)
    ->Arg(32)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DisplayUpdateUnchanged(benchmark::State& state) {
    Station s;
    if (state.range(0) > 0) s.defineCharacteristics();
    s.fill(0);
    s.show();
    const long before = allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.show());
    }
    state.counters["heap_allocations"] = static_cast<double>(allocations.load() - before);
}
BENCHMARK(BM_DisplayUpdateUnchanged)
    ->ArgName("characteristics")
    ->Arg(0)
    ->Arg(32)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ValueTextFormatting60(benchmark::State& state) {
    ValueTextTable texts{};
    int32_t base = -123456;
    const long before = allocations.load();
    for (auto _ : state) {
        for (unsigned i = 0; i < texts.size(); ++i) {
            texts[i] =
                formatValueText(base + static_cast<int32_t>(i) * 997, static_cast<LengthUnit>(i & 1), i % 3 == 0);
        }
        benchmark::DoNotOptimize(texts);
        ++base;
    }
    state.counters["heap_allocations"] = static_cast<double>(allocations.load() - before);
}
BENCHMARK(BM_ValueTextFormatting60)->Unit(benchmark::kMicrosecond);

}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
