// What publishing adds to the station's thread per recorded row: the row's
// hand-over to the journal (which wakes the outbox) and the live readings of
// the poll, with publishing off and on against a real broker. Each row is
// synced and, with publishing on, acknowledged by the broker before the next,
// so the publisher's thread works while the next row is timed.
//   plant_bench [--benchmark_filter=...]   the journal goes to ./plant-bench-out
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "journal/journal.h"
#include "plant/mqtt_broker.h"
#include "plant/publisher.h"
#include "sample_rows.h"

namespace {

using namespace gaugemon;
using Clock = std::chrono::steady_clock;
constexpr auto kRowGap = std::chrono::milliseconds(3);

std::filesystem::path freshDirectory(const char* name) {
    auto dir = std::filesystem::current_path() / "plant-bench-out" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A station's table at 60 probes with a code column, its journal and, when
// a broker is given, the publisher.
struct Station {
    explicit Station(const testing::MqttBroker* broker) : texts(bench::sampleValues()), input(bench::rowInput(texts)) {
        input.codeInput = true;
        input.code = records::WorkpieceCode::fromGbk("A-0001");
        table.prepareColumns({bench::kProbes, true, core::Language::English});
        journal.open((freshDirectory("journal")).string());
        readings.probeCount = bench::kProbes;
        for (unsigned k = 0; k < bench::kProbes; ++k) readings.probes[k] = {static_cast<int32_t>(k * 1000), false, {}};
        if (!broker) return;
        plant::MqttOptions options;
        options.brokerUrl = broker->url();
        options.station = "bench";
        options.readingsPerSecond = 50;
        publisher = std::make_unique<plant::Publisher>(options, journal.filePath());
        journal.setWrittenListener(publisher->writtenListener());
        publisher->start();
        testing::waitFor([this] { return publisher->connected(); });
    }
    // The station thread's part of one recorded row at one poll.
    void recordRow() {
        if (table.full()) {
            journal.tableCleared(table);
            table.clearTable();
        }
        table.appendRow(input);
        journal.follow(table);
        if (publisher) publisher->offerReadings(readings);
    }
    void waitDone(uint64_t rows) {
        journal.waitWritten();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (publisher && publisher->publishedRows() < rows && Clock::now() < deadline) std::this_thread::yield();
    }

    bench::SampleValues texts;
    records::RowInput input;
    records::RecordTable table;
    journal::Journal journal;
    plant::LiveReadings readings;
    std::unique_ptr<plant::Publisher> publisher;
};

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The time is the station thread's CPU time; "wall_us" adds the time it was
// kept off the CPU by the other threads (two cores for the station, the
// journal's writer, the publisher, the client library and the broker).
void recordPaced(benchmark::State& state, Station& station) {
    uint64_t rows = 0;
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        station.recordRow();
        state.SetIterationTime(threadCpuSeconds() - cpuStart);
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        station.waitDone(++rows);
        // Rows come seconds apart at a station: the threads the last one woke
        // have gone back to sleep when the next one is recorded.
        std::this_thread::sleep_for(kRowGap);
    }
    state.counters["wall_us"] = wall * 1e6 / static_cast<double>(rows);
}

void BM_RecordRowPublishingOff(benchmark::State& state) {
    Station station(nullptr);
    recordPaced(state, station);
}
BENCHMARK(BM_RecordRowPublishingOff)->UseManualTime()->Iterations(500)->Repetitions(5);

void BM_RecordRowPublishingOn(benchmark::State& state) {
    testing::MqttBroker broker(freshDirectory("broker"));
    if (!broker.start()) {
        state.SkipWithError("the broker did not start");
        return;
    }
    Station station(&broker);
    recordPaced(state, station);
    state.counters["published"] = static_cast<double>(station.publisher->publishedRows());
}
BENCHMARK(BM_RecordRowPublishingOn)->UseManualTime()->Iterations(500)->Repetitions(5);

// The live readings alone, offered at every poll: mostly dropped by the rate.
void BM_OfferReadings(benchmark::State& state) {
    testing::MqttBroker broker(freshDirectory("broker"));
    if (!broker.start()) {
        state.SkipWithError("the broker did not start");
        return;
    }
    Station station(&broker);
    for (auto _ : state) station.publisher->offerReadings(station.readings);
}
BENCHMARK(BM_OfferReadings)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
