// One display update of 60 probes into the backing image of a 1238 x 758
// client area: all values changed (full redraw), and nothing changed.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <atomic>
#include <cstdlib>
#include <new>

#include "core/settings_store.h"
#include "display/display_update.h"
#include "display/value_text.h"
#include "link/link_state.h"
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
        chart.setLayout(DisplayUpdate::kDefaultClientSize, kPlot);
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
    // What the station does with each decoded frame: judge it, then show it.
    bool show() {
        const std::span<const gaugemon::measure::Length> readings(lengths.data(), link.probeCount);
        verdict.judge(readings, tolerances);
        const gaugemon::display::ChartPlan* plan = model.update(readings, verdict, tolerances);
        if (plan) chart.paint(*plan);
        return plan != nullptr;
    }
};

void BM_DisplayUpdateAllChanged(benchmark::State& state) {
    Station s;
    int32_t offset = 0;
    for (auto _ : state) {
        s.fill(offset ^= 1);
        benchmark::DoNotOptimize(s.show());
    }
}
BENCHMARK(BM_DisplayUpdateAllChanged)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_DisplayUpdateUnchanged(benchmark::State& state) {
    Station s;
    s.fill(0);
    s.show();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.show());
    }
}
BENCHMARK(BM_DisplayUpdateUnchanged)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

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
