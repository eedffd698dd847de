#include "support/memory_settings_store.h"

namespace gaugemon::core {

int32_t MemorySettingsStore::readInt(std::string_view key, int32_t defaultValue) const {
    if (const auto it = pending_.find(key); it != pending_.end()) return it->second;
    const auto it = values_.find(key);
    return it == values_.end() ? defaultValue : it->second;
}

bool MemorySettingsStore::writeInt(std::string_view key, int32_t value) {
    ++writes_;
    if (batchDepth_ > 0) {
        pending_.insert_or_assign(std::string(key), value);
        return true;
    }
    ++syncs_;
    if (writesFail_) return false;
    values_.insert_or_assign(std::string(key), value);
    return true;
}

bool MemorySettingsStore::endBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return true;
    if (pending_.empty()) return true;
    ++syncs_;
    const bool stored = !writesFail_;
    if (stored) {
        for (auto& [key, value] : pending_) values_.insert_or_assign(key, value);
    }
    pending_.clear();
    return stored;
}

bool MemorySettingsStore::contains(std::string_view key) const { return values_.find(key) != values_.end(); }

}  // namespace gaugemon::core
