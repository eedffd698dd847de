#pragma once
#include <array>
#include <string_view>

#include "link/protocol.h"

namespace gaugemon::display {

// The 8-character text of one probe's value, shown under its bar and copied
// into recorded rows; kept in a 9-byte slot whose last byte stays zero.
struct ValueText {
    std::array<char, 9> slot{};
    std::string_view text() const { return {slot.data(), 8}; }
};

using ValueTextTable = std::array<ValueText, gaugemon::link::kMaxProbes>;

}  // namespace gaugemon::display
