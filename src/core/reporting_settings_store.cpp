#include "core/reporting_settings_store.h"

namespace gaugemon::core {

bool ReportingSettingsStore::writeInt(std::string_view key, int32_t value) {
    const bool written = store_.writeInt(key, value);
    return batchDepth_ > 0 ? written : note(written);
}

void ReportingSettingsStore::beginBatch() {
    ++batchDepth_;
    store_.beginBatch();
}

bool ReportingSettingsStore::endBatch() {
    const bool stored = store_.endBatch();
    if (batchDepth_ == 0 || --batchDepth_ > 0) return stored;
    return note(stored);
}

bool ReportingSettingsStore::note(bool written) {
    if (written) {
        reported_ = false;
    } else if (!reported_) {
        reported_ = true;
        onFailure_();
    }
    return written;
}

}  // namespace gaugemon::core
