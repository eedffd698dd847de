#pragma once

namespace gaugemon::measure {

// An instrument carries at most this many probes.
inline constexpr unsigned kMaxProbes = 60;
// Values computed from several probes, defined by the user.
inline constexpr unsigned kMaxCharacteristics = 32;
// Every value a station judges, shows and records: the probes first, then
// the characteristics.
inline constexpr unsigned kMaxValues = kMaxProbes + kMaxCharacteristics;

}  // namespace gaugemon::measure
