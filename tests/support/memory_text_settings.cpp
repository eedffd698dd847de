#include "support/memory_text_settings.h"

namespace gaugemon::core {

std::string MemoryTextSettings::path(std::string_view group, std::string_view key) {
    return std::string(group) + '/' + std::string(key);
}

std::optional<std::string> MemoryTextSettings::readText(std::string_view group, std::string_view key) const {
    const auto it = texts_.find(path(group, key));
    if (it == texts_.end()) return std::nullopt;
    return it->second;
}

bool MemoryTextSettings::writeText(std::string_view group, std::string_view key, std::string_view text) {
    ++writes_;
    if (writesFail_) return false;
    texts_.insert_or_assign(path(group, key), std::string(text));
    return true;
}

}  // namespace gaugemon::core
