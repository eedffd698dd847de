#include "app/settings_store.h"

namespace gaugemon::app {

namespace {
LimitKey limitKey(char kind, int probe) {
    return LimitKey{{'T', kind, static_cast<char>('0' + probe / 10 % 10), static_cast<char>('0' + probe % 10), '\0'}};
}
}  // namespace

LimitKey lowerLimitKey(int probe) { return limitKey('L', probe); }
LimitKey upperLimitKey(int probe) { return limitKey('U', probe); }

int32_t MemorySettingsStore::readInt(std::string_view key, int32_t defaultValue) const {
    const auto it = values_.find(key);
    return it == values_.end() ? defaultValue : it->second;
}

bool MemorySettingsStore::writeInt(std::string_view key, int32_t value) {
    ++writes_;
    if (writesFail_) return false;
    values_.insert_or_assign(std::string(key), value);
    return true;
}

bool MemorySettingsStore::contains(std::string_view key) const { return values_.find(key) != values_.end(); }

}  // namespace gaugemon::app
