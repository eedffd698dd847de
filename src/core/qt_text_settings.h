#pragma once
#include <QSettings>

#include "core/text_settings.h"

namespace gaugemon::core {

// Texts in the program's QSettings, beside the numbers of the settings store
// (group/key in the same file or registry key).
class QtTextSettings : public TextSettings {
public:
    explicit QtTextSettings(QSettings& settings) : settings_(settings) {}

    std::optional<std::string> readText(std::string_view group, std::string_view key) const override;
    bool writeText(std::string_view group, std::string_view key, std::string_view text) override;

private:
    QSettings& settings_;
};

}  // namespace gaugemon::core
