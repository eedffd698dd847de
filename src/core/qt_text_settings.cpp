#include "core/qt_text_settings.h"

namespace gaugemon::core {

namespace {
QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString settingsKey(std::string_view group, std::string_view key) {
    return fromUtf8(group) + QLatin1Char('/') + fromUtf8(key);
}
}  // namespace

std::optional<std::string> QtTextSettings::readText(std::string_view group, std::string_view key) const {
    const QVariant stored = settings_.value(settingsKey(group, key));
    // A list or a binary value put there by another tool is not a text of ours.
    if (!stored.isValid() || !stored.canConvert<QString>()) return std::nullopt;
    return stored.toString().toStdString();
}

bool QtTextSettings::writeText(std::string_view group, std::string_view key, std::string_view text) {
    settings_.setValue(settingsKey(group, key), fromUtf8(text));
    // The per-user file is replaced in one rename by the sync.
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

}  // namespace gaugemon::core
