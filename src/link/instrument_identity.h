#pragma once
#include <string>

#include "core/language.h"
#include "link/link_state.h"

namespace gaugemon::link {

// What tells one instrument from another at a connection: where it was
// found, the address it answers at and how many probes it has. The same
// instrument found again after a loss has all three as before; a station
// that finds different ones records another instrument's values.
struct InstrumentIdentity {
    unsigned portIndex = 0;
    unsigned address = 0;
    unsigned probeCount = 0;

    bool operator==(const InstrumentIdentity&) const = default;
};

InstrumentIdentity identityOf(const LinkState& state);

// "Another instrument: COM5, address 2, 16 probes (before: COM4, address 1, 8 probes)".
std::string anotherInstrumentText(const InstrumentIdentity& before, const InstrumentIdentity& now,
                                  core::Language language);

}  // namespace gaugemon::link
