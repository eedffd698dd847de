#pragma once
#include <cstdint>
#include <string_view>

#include "core/settings_store.h"

namespace gaugemon::statistics {

namespace keys {
// How many of the newest rows the statistics consider; 0 (the default) is
// every row.
inline constexpr std::string_view kStatRows = "StatRows";
}  // namespace keys

// A stored count below 0 or above the table's capacity reads as every row.
uint32_t loadWindowRows(const core::SettingsStore& store);
bool storeWindowRows(core::SettingsStore& store, uint32_t rows);

}  // namespace gaugemon::statistics
