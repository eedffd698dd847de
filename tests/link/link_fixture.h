#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/settings_store.h"
#include "link/crc.h"
#include "link/link_controller.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/scripted_port.h"
#include "support/virtual_time.h"

namespace gaugemon::testing {

inline std::vector<uint8_t> withCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = link::crc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    return bytes;
}

inline std::vector<uint8_t> infoAnswerFF(uint8_t twoStop, uint8_t serialByte, uint8_t probes, uint8_t address) {
    return withCrc({address, 0x03, 0x06, twoStop, serialByte, probes, address, 0x00, 0x00});
}

inline std::vector<uint8_t> infoAnswer01(uint8_t address, uint8_t baud, uint8_t parity, uint16_t countTimes4) {
    return withCrc({0xFF, 0x03, 0x08, 0x00, address, 0x00, baud, 0x00, parity, static_cast<uint8_t>(countTimes4 >> 8),
                    static_cast<uint8_t>(countTimes4 & 0xFF)});
}

inline std::vector<uint8_t> readingsAnswer(uint8_t address, unsigned probes, int32_t value, uint8_t function = 0x03) {
    std::vector<uint8_t> bytes = {address, function, static_cast<uint8_t>(4 * probes)};
    for (unsigned i = 0; i < probes; ++i) {
        const uint32_t v = static_cast<uint32_t>(value) & 0x00FFFFFF;
        bytes.insert(bytes.end(), {static_cast<uint8_t>(value < 0 ? 0xFF : 0x00), static_cast<uint8_t>(v >> 16),
                                   static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    return withCrc(bytes);
}

inline uint16_t registerOf(const std::vector<uint8_t>& frame) {
    return static_cast<uint16_t>(frame[2] << 8 | frame[3]);
}
inline uint16_t dataOf(const std::vector<uint8_t>& frame) { return static_cast<uint16_t>(frame[4] << 8 | frame[5]); }

struct RecordingHost : link::LinkHost {
    int requests = 0;
    int commandsAnswered = 0;
    int displayUpdates = 0;
    int recordRequests = 0;
    int clears = 0;
    int closed = 0;
    std::vector<unsigned> columns;
    // What the code step does: a modal dialog there lets time pass.
    std::function<void()> onCodeStep;
    void codeStep() override {
        if (onCodeStep) onCodeStep();
    }
    void requestSent() override { ++requests; }
    void commandAnswered() override { ++commandsAnswered; }
    void clearChart() override { ++clears; }
    void prepareColumns(unsigned n) override { columns.push_back(n); }
    void readingsArrived(std::span<const gaugemon::link::ChannelReading>) override { ++displayUpdates; }
    void instrumentRecordRequest() override { ++recordRequests; }
    void linkClosed() override { ++closed; }
};

// The link on virtual time with a scripted port: timers 1, 2, 4 and 5 are
// routed to the link's ticks as the main window routes them.
class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() {
        timers.setTickHandler([this](int id) { controller.onTick(id); });
    }

    std::vector<std::vector<uint8_t>> writesTo(uint16_t reg) const {
        std::vector<std::vector<uint8_t>> frames;
        for (const auto& s : port.sent) {
            if (s.bytes[1] == 0x06 && registerOf(s.bytes) == reg) frames.push_back(s.bytes);
        }
        return frames;
    }

    // Registers of every write frame sent, in order.
    std::vector<uint16_t> writeOrder() const {
        std::vector<uint16_t> regs;
        for (const auto& s : port.sent) {
            if (s.bytes[1] == 0x06) regs.push_back(registerOf(s.bytes));
        }
        return regs;
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    RecordingHost host;
    ScriptedPort port;
    link::LinkState state;
    core::Language language = core::Language::Chinese;
    link::LinkController controller{state, port, timers, settings, prompts, host, language};
};

}  // namespace gaugemon::testing
