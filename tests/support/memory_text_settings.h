#pragma once
#include <map>
#include <string>
#include <string_view>

#include "core/text_settings.h"

namespace gaugemon::core {

// Texts in memory for tests, optionally refusing writes (a refused write
// keeps the old text).
class MemoryTextSettings : public TextSettings {
public:
    std::optional<std::string> readText(std::string_view group, std::string_view key) const override;
    bool writeText(std::string_view group, std::string_view key, std::string_view text) override;

    int writeCount() const { return writes_; }
    void setWritesFail(bool fail) { writesFail_ = fail; }

private:
    static std::string path(std::string_view group, std::string_view key);
    std::map<std::string, std::string, std::less<>> texts_;
    int writes_ = 0;
    bool writesFail_ = false;
};

}  // namespace gaugemon::core
