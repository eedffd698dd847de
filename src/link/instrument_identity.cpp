#include "link/instrument_identity.h"

namespace gaugemon::link {

namespace {

std::string described(const InstrumentIdentity& instrument, core::Language language) {
    const std::string port = "COM" + std::to_string(instrument.portIndex);
    const std::string address = std::to_string(instrument.address);
    const std::string probes = std::to_string(instrument.probeCount);
    if (language == core::Language::English) return port + ", address " + address + ", " + probes + " probes";
    return port + "，地址 " + address + "，" + probes + " 个测头";
}

}  // namespace

InstrumentIdentity identityOf(const LinkState& state) {
    return {state.portIndex, state.deviceAddress, state.probeCount};
}

std::string anotherInstrumentText(const InstrumentIdentity& before, const InstrumentIdentity& now,
                                  core::Language language) {
    if (language == core::Language::English)
        return "Another instrument: " + described(now, language) + " (before: " + described(before, language) + ")";
    return "更换了仪器：" + described(now, language) + "（之前：" + described(before, language) + "）";
}

}  // namespace gaugemon::link
