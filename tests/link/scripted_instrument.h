#pragma once
#include <algorithm>

#include "link_fixture.h"

namespace gaugemon::testing {

struct Instrument {
    std::string port = "COM5";
    int baud = 19200;
    uint8_t parity = 0;
    link::DataFormat format = link::DataFormat::FormatFF;
    uint8_t probes = 8;
    uint8_t address = 1;
    uint8_t serialByte = 0x02;  // format "FF": parity << 4 | baud code
    bool silent = false;
    int dropEchoes = 0;  // echoes still to lose
    int32_t value = 1234;
};

inline ScriptedPort::Script answering(Instrument& inst) {
    return [&inst](const ScriptedPort::Sent& s) -> std::vector<uint8_t> {
        if (inst.silent || s.port != inst.port || s.baud != inst.baud || s.line.parityCode != inst.parity) return {};
        const auto& f = s.bytes;
        if (f[0] == 0xFF && f[1] == 0x03) {
            if (inst.format == link::DataFormat::FormatFF && registerOf(f) == 0xAA30)
                return infoAnswerFF(0, inst.serialByte, inst.probes, inst.address);
            if (inst.format == link::DataFormat::Format01 && registerOf(f) == 0x0200)
                return infoAnswer01(inst.address, 1, inst.parity, static_cast<uint16_t>(inst.probes * 4));
            return {};
        }
        if (f[0] != inst.address) return {};
        if (f[1] == 0x03 && registerOf(f) == 0x0000) {
            return readingsAnswer(inst.address, std::min<unsigned>(dataOf(f) / 2, 60), inst.value);
        }
        if (f[1] == 0x06) {
            if (inst.dropEchoes > 0) {
                --inst.dropEchoes;
                return {};
            }
            const uint16_t data = dataOf(f);
            if (registerOf(f) == 0x3030) {
                static constexpr int kRates[5] = {4800, 9600, 19200, 38400, 115200};
                inst.baud = kRates[std::min(data & 0x07, 4)];
                inst.parity = static_cast<uint8_t>((data & 0xFF) >> 4);
            }
            if (registerOf(f) == 0x0201) inst.baud = data == 0 ? 9600 : data == 1 ? 19200 : 38400;
            if (registerOf(f) == 0x0202) inst.parity = static_cast<uint8_t>(data);
            if (registerOf(f) == 0x3031) {
                std::vector<uint8_t> echo(f.begin(), f.begin() + 6);
                echo[0] = f[5];
                inst.address = f[5];
                return withCrc(echo);
            }
            return f;
        }
        return {};
    };
}

}  // namespace gaugemon::testing

namespace gaugemon::testing {

class Discovery : public LinkFixture {
protected:
    void place(Instrument& inst) {
        port.openable.insert(inst.port);
        port.answer = answering(inst);
    }
    Instrument inst;
};

class Polling : public Discovery {
protected:
    void connect(uint8_t probes = 8) {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 5);
        inst.probes = probes;
        place(inst);
        controller.connectButton();
        ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    }
};

}  // namespace gaugemon::testing
