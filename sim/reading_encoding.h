#pragma once
#include <array>
#include <cstdint>

namespace gaugemon::sim {

// How the instrument writes a negative standard reading. Both are understood
// by the station: a 24-bit two's-complement value sign-extended with 0xFF, or
// the magnitude behind the marker 0x01. Alternating uses the first on even
// probe indices and the second on odd ones, so one answer carries both.
enum class NegativeEncoding : uint8_t { SignExtended, Marker, Alternating };

// The largest magnitude the 24 bits of a reading hold.
constexpr int32_t kMaxReadingMagnitude = 0xFFFFFF;

// One probe's 4 bytes on the wire. `units` is in the probe's own resolution:
// 0.001 mm for a standard probe, 0.0005 mm for a fine one (which carries the
// marker 0x10, and 0x11 when negative; 0xFF would hide the fine marker).
// Magnitudes beyond 24 bits are clamped.
std::array<uint8_t, 4> encodeReading(int32_t units, bool fine, NegativeEncoding negatives, unsigned probeIndex);

// What the station's decode makes of it: 0.001 mm counts for a standard
// probe, 0.0001 mm counts (units x 5) for a fine one.
int32_t stationCounts(int32_t units, bool fine);

}  // namespace gaugemon::sim
