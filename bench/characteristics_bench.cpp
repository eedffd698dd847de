// Evaluating the characteristics of one answer: 32 characteristics over the
// readings of 60 probes, as the station does for every answer.
//   characteristics_bench [--benchmark_repetitions=9]
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "measure/characteristic_evaluator.h"
#include "measure/setup_text.h"

namespace {

using namespace gaugemon::measure;

// A part as a plant might set it up: diameters of opposed probes, tapers,
// means, and runouts over rings.
std::string typicalPart() {
    std::string text = "unit mm\n";
    for (int i = 0; i < 16; ++i) {
        text += "D" + std::to_string(i) + "; 3; 49.9; 50.1; p" + std::to_string(2 * i + 1) + " + p" +
                std::to_string(2 * i + 2) + " + 25\n";
    }
    for (int i = 0; i < 8; ++i) {
        text += "T" + std::to_string(i) + "; 3; -0.01; 0.01; p" + std::to_string(4 * i + 1) + " + p" +
                std::to_string(4 * i + 2) + " - p" + std::to_string(4 * i + 3) + " - p" + std::to_string(4 * i + 4) +
                "\n";
    }
    for (int i = 0; i < 4; ++i) {
        text += "M" + std::to_string(i) + "; 4; 12; 13; mean(p" + std::to_string(15 * i + 1) + "..p" +
                std::to_string(15 * i + 15) + ")\n";
    }
    for (int i = 0; i < 4; ++i) {
        text += "R" + std::to_string(i) + "; 3; 0; 0.02; range(p" + std::to_string(15 * i + 1) + "..p" +
                std::to_string(15 * i + 15) + ")\n";
    }
    return text;
}

// Every characteristic a weighted sum over all 60 probes: the most work a
// valid setup can ask for.
std::string heaviestPart() {
    std::string text = "unit mm\n";
    for (int i = 0; i < 32; ++i) {
        text += "W" + std::to_string(i) + "; 4; -999; 999; ";
        for (int p = 1; p <= 60; ++p) text += (p > 1 ? " + 0.2*p" : "0.2*p") + std::to_string(p);
        text += "\n";
    }
    return text;
}

void evaluate(benchmark::State& state, const std::string& text) {
    const SetupParse parsed = parseSetupText(text, 60);
    if (parsed.setup.definitions.size() != 32) state.SkipWithError("the setup did not parse");
    CharacteristicEvaluator evaluator;
    evaluator.compile(parsed.setup);
    std::vector<Length> probes;
    for (int p = 0; p < 60; ++p) {
        probes.push_back(p % 7 == 0 ? tenthMicrometres(125000 + p) : micrometres(12500 - p));
    }
    CharacteristicValues values;
    for (auto _ : state) {
        benchmark::DoNotOptimize(probes.data());
        evaluator.evaluate(probes, ~uint64_t{0}, values);
        benchmark::DoNotOptimize(values);
    }
}

void BM_EvaluateTypicalPart(benchmark::State& state) { evaluate(state, typicalPart()); }
void BM_EvaluateHeaviestPart(benchmark::State& state) { evaluate(state, heaviestPart()); }

}  // namespace

BENCHMARK(BM_EvaluateTypicalPart);
BENCHMARK(BM_EvaluateHeaviestPart);
BENCHMARK_MAIN();
