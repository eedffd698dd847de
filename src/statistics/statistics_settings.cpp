#include "statistics/statistics_settings.h"

#include "records/record_table.h"

namespace gaugemon::statistics {

uint32_t loadWindowRows(const core::SettingsStore& store) {
    const int32_t stored = store.readInt(keys::kStatRows, 0);
    return stored > 0 && static_cast<uint32_t>(stored) <= records::kMaxRows ? static_cast<uint32_t>(stored) : 0;
}

bool storeWindowRows(core::SettingsStore& store, uint32_t rows) {
    return store.writeInt(keys::kStatRows, rows <= records::kMaxRows ? static_cast<int32_t>(rows) : 0);
}

}  // namespace gaugemon::statistics
