#include "app/reporting_settings_store.h"

namespace gaugemon::app {

bool ReportingSettingsStore::writeInt(std::string_view key, int32_t value) {
    const bool written = store_.writeInt(key, value);
    if (written) {
        reported_ = false;
    } else if (!reported_) {
        reported_ = true;
        onFailure_();
    }
    return written;
}

}  // namespace gaugemon::app
