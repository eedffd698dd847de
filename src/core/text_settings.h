#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gaugemon::core {

// Named texts (UTF-8) in groups of the settings store, for settings that are
// not numbers. A write replaces the whole text in one step and reaches the
// store before it returns, so a kill leaves the old text or the new one.
class TextSettings {
public:
    virtual ~TextSettings() = default;
    // Nothing when the key is absent or its value is not a text.
    virtual std::optional<std::string> readText(std::string_view group, std::string_view key) const = 0;
    // False when the store refused the write.
    virtual bool writeText(std::string_view group, std::string_view key, std::string_view text) = 0;
};

// A store that holds no text and takes none: a station built without
// text settings.
class NoTextSettings : public TextSettings {
public:
    std::optional<std::string> readText(std::string_view, std::string_view) const override { return std::nullopt; }
    bool writeText(std::string_view, std::string_view, std::string_view) override { return false; }
};

}  // namespace gaugemon::core
