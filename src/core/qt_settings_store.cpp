#include "core/qt_settings_store.h"

#include <QStandardPaths>
#include <limits>

namespace gaugemon::core {

namespace {
constexpr QLatin1String kOrganisation("VELMORA");

QString settingsKey(std::string_view key) {
    return QStringLiteral("Settings/") + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}
}  // namespace

QtSettingsStore::QtSettingsStore(const QString& applicationName)
    : settings_(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, applicationName) {}

QtSettingsStore::QtSettingsStore(const QString& iniPath, QSettings::Format format) : settings_(iniPath, format) {}

QString QtSettingsStore::userFile(const QString& applicationName) {
#ifdef Q_OS_LINUX
    // Where QSettings keeps an account's native store on Linux.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + kOrganisation + u'/' +
           applicationName + QStringLiteral(".conf");
#else
    Q_UNUSED(applicationName);
    return {};
#endif
}

int32_t QtSettingsStore::readInt(std::string_view key, int32_t defaultValue) const {
    const QVariant stored = settings_.value(settingsKey(key));
    if (!stored.isValid()) return defaultValue;
    bool ok = false;
    const qlonglong value = stored.toLongLong(&ok);
    if (!ok) return defaultValue;
    // Values are 32-bit words: an unsigned word written by another tool reads
    // back as the signed value it encodes; anything wider is not ours.
    if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        return static_cast<int32_t>(value);
    }
    if (value > 0 && value <= std::numeric_limits<uint32_t>::max()) {
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return defaultValue;
}

bool QtSettingsStore::writeInt(std::string_view key, int32_t value) {
    settings_.setValue(settingsKey(key), value);
    return batchDepth_ > 0 || sync();
}

bool QtSettingsStore::endBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return true;
    return sync();
}

bool QtSettingsStore::sync() {
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

}  // namespace gaugemon::core
