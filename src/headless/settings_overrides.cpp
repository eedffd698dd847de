#include "headless/settings_overrides.h"

namespace gaugemon::headless {

int32_t SettingsOverrides::readInt(std::string_view key, int32_t defaultValue) const {
    const auto found = overrides_.find(key);
    return found != overrides_.end() ? found->second.value : stored_.readInt(key, defaultValue);
}

bool SettingsOverrides::writeInt(std::string_view key, int32_t value) {
    const auto found = overrides_.find(key);
    if (found == overrides_.end() || found->second.writesStored) return stored_.writeInt(key, value);
    found->second.value = value;
    return true;
}

}  // namespace gaugemon::headless
