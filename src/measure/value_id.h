#pragma once
#include <cstdint>

#include "measure/counts.h"

namespace gaugemon::measure {

// Which value a number is: probe 0..59 or characteristic 0..31. Its slot in a
// station's value arrays puts the probes first and the characteristics after.
struct ValueId {
    enum class Kind : uint8_t { Probe, Characteristic };
    Kind kind = Kind::Probe;
    uint8_t index = 0;

    static constexpr ValueId probe(unsigned i) { return {Kind::Probe, static_cast<uint8_t>(i)}; }
    static constexpr ValueId characteristic(unsigned i) { return {Kind::Characteristic, static_cast<uint8_t>(i)}; }
    constexpr unsigned slot() const { return kind == Kind::Probe ? index : kMaxProbes + index; }
    constexpr bool valid() const { return kind == Kind::Probe ? index < kMaxProbes : index < kMaxCharacteristics; }
    friend bool operator==(const ValueId&, const ValueId&) = default;
};

}  // namespace gaugemon::measure
