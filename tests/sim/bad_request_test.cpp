// Any bytes at all may reach the instrument: short, long, damaged, unknown
// functions and registers, other addresses. It must never crash, never
// answer what it should not, and every answer it gives must be well formed.
#include <gtest/gtest.h>

#include <random>

#include "link/frames.h"
#include "sim/instrument.h"
#include "sim/simulated_ports.h"
#include "sim_test_support.h"
#include "support/virtual_time.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

namespace {

// Registers worth hitting: every one the instrument knows, and its neighbours.
constexpr uint16_t kKnownRegisters[] = {0x0000, 0x0001, 0x0076, 0x0077, 0x01FD, 0x01FF, 0x0200, 0x0201,
                                        0x0202, 0x0203, 0x0204, 0x0800, 0x3030, 0x3031, 0x3035, 0x3036,
                                        0x3037, 0x7010, 0xAA30, 0xAA32, 0xAA33, 0xFFFF, 0xFF80};

class BadRequests {
public:
    explicit BadRequests(uint32_t seed) : rng_(seed) {}

    Bytes next(uint8_t ownAddress) {
        switch (pick(6)) {
            case 0: return randomBytes(pick(4));                // too short for anything
            case 1: return randomBytes(4 + pick(300));          // rubbish, CRC almost surely wrong
            case 2: return withCrc(randomBytes(2 + pick(20)));  // well-sealed, any function, any length
            case 3: {                                           // a proper frame with one byte damaged
                Bytes frame = plausible(ownAddress);
                frame[pick(8)] ^= static_cast<uint8_t>(1 + pick(255));
                return frame;
            }
            case 4: {  // a proper frame with a byte too many or too few
                Bytes frame = plausible(ownAddress);
                if (pick(2) == 0) {
                    frame.push_back(static_cast<uint8_t>(pick(256)));
                } else {
                    frame.pop_back();
                }
                return frame;
            }
            default: return plausible(ownAddress);
        }
    }

private:
    uint32_t pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
    Bytes randomBytes(size_t count) {
        Bytes bytes(count);
        for (auto& b : bytes) b = static_cast<uint8_t>(pick(256));
        return bytes;
    }
    // Valid CRC, function 3 or 6 mostly, to our address, the broadcast or another.
    Bytes plausible(uint8_t ownAddress) {
        const uint8_t addresses[] = {ownAddress, link::kBroadcastAddress, static_cast<uint8_t>(pick(256))};
        const uint8_t functions[] = {link::kFunctionRead, link::kFunctionWrite, static_cast<uint8_t>(pick(256))};
        const uint16_t reg =
            pick(4) == 0 ? static_cast<uint16_t>(pick(65536)) : kKnownRegisters[pick(std::size(kKnownRegisters))];
        const uint16_t fields[] = {
            0, 1, 2, 3, 4, 60, 125, 128, 129, 0xFFFF, link::kUnlockCode, static_cast<uint16_t>(pick(65536))};
        return request(addresses[pick(3)], functions[pick(4) == 0 ? 2 : pick(2)], reg, fields[pick(std::size(fields))]);
    }

    std::mt19937 rng_;
};

void expectWellFormed(const Bytes& req, const Bytes& answer, uint8_t addressBefore, const Instrument& after) {
    if (answer.empty()) return;
    // Reads and writes are 8 bytes; another function is refused whatever its length.
    const bool readOrWrite = req.at(1) == link::kFunctionRead || req.at(1) == link::kFunctionWrite;
    ASSERT_GE(req.size(), readOrWrite ? 8u : 4u);
    if (readOrWrite) {
        EXPECT_EQ(req.size(), 8u);
    }
    EXPECT_TRUE(link::crcMatches(req.data(), req.size()));
    EXPECT_TRUE(req[0] == addressBefore || req[0] == link::kBroadcastAddress);
    ASSERT_GE(answer.size(), 5u);
    EXPECT_TRUE(link::crcMatches(answer.data(), answer.size()));
    // From the instrument itself; a format "FF" address write from its new address.
    EXPECT_TRUE(answer[0] == addressBefore || answer[0] == after.address());
    const uint8_t function = answer[1] & 0x7F;
    EXPECT_TRUE(function == req[1] || answer[1] == link::kFunctionReadRecord) << int{answer[1]};
}

}  // namespace

TEST(BadRequests, NeverCrashAndNeverAnswerWrongly) {
    for (const auto format : {link::DataFormat::FormatFF, link::DataFormat::Format01}) {
        BadRequests source(format == link::DataFormat::FormatFF ? 11 : 12);
        InstrumentConfig config = configFF(60);
        config.format = format;
        config.logCapacity = 8;
        std::unique_ptr<Instrument> instrument;
        for (int i = 0; i < 20000; ++i) {
            // Start afresh now and then: random writes move the address and the line.
            if (i % 200 == 0) instrument = std::make_unique<Instrument>(config);
            if (i % 37 == 0) instrument->pressFootSwitch();
            const uint8_t addressBefore = instrument->address();
            const Bytes req = source.next(addressBefore);
            const Bytes answer = ask(*instrument, req, i);
            ASSERT_NO_FATAL_FAILURE(expectWellFormed(req, answer, addressBefore, *instrument)) << i;
        }
    }
}

TEST(BadRequests, LineWithFaultsSurvivesRubbish) {
    core::VirtualTime time;
    SimulatedPorts ports(time);
    InstrumentConfig config = configFF(60);
    for (const FaultKind kind : {FaultKind::CorruptCrc, FaultKind::Truncate, FaultKind::StrayBytes, FaultKind::Late,
                                 FaultKind::Noise, FaultKind::Drop}) {
        config.faults[kind].rate = 0.1;
    }
    config.faults.maxNoiseBytes = 300;
    config.faults.maxStrayBytes = 300;
    config.faults.lateByMs = 40;
    ports.place("COM3", config);
    SimulatedLine line(ports);
    ASSERT_EQ(line.openPort("COM3", 19200, {0, 1}), 0);
    BadRequests source(13);
    Bytes buffer(300);
    size_t received = 0;
    for (int i = 0; i < 5000; ++i) {
        const Bytes req = source.next(1);
        line.writeFrame(req.data(), req.size());
        time.advanceBy(1 + i % 90);
        received += line.readAvailable(buffer.data(), buffer.size());
        if (!line.isOpen()) {
            ASSERT_EQ(line.openPort("COM3", 19200, {0, 1}), 0);
        }
    }
    EXPECT_GT(received, 0u);
}
