// The codec's share of one poll cycle: checking and decoding a full 60-probe
// answer must stay far below the millisecond budget of a cycle.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "link/answers.h"
#include "link/crc.h"
#include "link/decode.h"
#include "link/frames.h"

using namespace gaugemon::link;

namespace {

LinkState sixtyProbes() {
    LinkState link;
    link.connected = true;
    link.deviceAddress = 1;
    link.probeCount = 60;
    link.expectedLength = readingsAnswerLength(60);
    return link;
}

// 01 03 F0, 60 readings of every marker kind, CRC: 245 bytes.
std::vector<uint8_t> sixtyProbeAnswer() {
    std::vector<uint8_t> answer = {0x01, 0x03, 0xF0};
    const uint8_t markers[] = {0x00, 0x01, 0x10, 0x11, 0xFF};
    for (unsigned probe = 0; probe < 60; ++probe) {
        answer.insert(answer.end(), {markers[probe % 5], 0x00, static_cast<uint8_t>(probe), 0x64});
    }
    const uint16_t crc = crc16(answer.data(), answer.size());
    answer.push_back(static_cast<uint8_t>(crc >> 8));
    answer.push_back(static_cast<uint8_t>(crc & 0xFF));
    return answer;
}

void BM_SixtyProbeAnswer(benchmark::State& state) {
    LinkState link = sixtyProbes();
    const std::vector<uint8_t> bytes = sixtyProbeAnswer();
    std::copy(bytes.begin(), bytes.end(), link.received.begin());
    for (auto _ : state) {
        const Answer answer = classifyAnswer(link.received.data(), bytes.size(), link);
        if (answer.kind != AnswerKind::Readings) state.SkipWithError("answer not taken");
        std::copy_n(answer.payload, answer.payloadLength, link.rawReadings.begin());
        decodeReadings(link);
        benchmark::DoNotOptimize(link.readings);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SixtyProbeAnswer);

void BM_Crc245Bytes(benchmark::State& state) {
    const std::vector<uint8_t> bytes = sixtyProbeAnswer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(crc16(bytes.data(), bytes.size() - 2));
    }
}
BENCHMARK(BM_Crc245Bytes);

void BM_BuildReadingRequest(benchmark::State& state) {
    RequestFrame frame{};
    uint8_t address = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(address);
        buildFrame(frame, address, kFunctionRead, reg::kFirstReading, 120);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_BuildReadingRequest);

}  // namespace

BENCHMARK_MAIN();
