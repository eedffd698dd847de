#pragma once
#include <cstdint>

namespace gaugemon::tolerance {

// A probe is OK when its value lies within its limits, both inclusive.
enum class Judgement : uint8_t { Ok, Ng };

}  // namespace gaugemon::tolerance
