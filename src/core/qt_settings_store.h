#pragma once
#include <QSettings>

#include "core/settings_store.h"

namespace gaugemon::core {

// The settings store of the running program: QSettings in its native format
// under organisation "VELMORA" and the executable's base name, section
// `Settings`. On Windows that is the registry key of the original program; on
// Linux a per-user file (~/.config/VELMORA/<name>.conf). Each write is synced
// before it returns, so a kill right after a change keeps it; a batch is
// synced once at its end. A sync replaces the per-user file in one rename, so
// the file on disk always holds one whole state.
class QtSettingsStore : public SettingsStore {
public:
    explicit QtSettingsStore(const QString& applicationName);
    // A store in an explicit file (tests, portable installs).
    explicit QtSettingsStore(const QString& iniPath, QSettings::Format format);

    // The per-user file the store of `applicationName` reads, which the
    // start looks at before the store does; empty where it is no file.
    static QString userFile(const QString& applicationName);

    // The store itself, for the settings that are not numbers (the broker's address).
    QSettings& native() { return settings_; }

    int32_t readInt(std::string_view key, int32_t defaultValue) const override;
    bool writeInt(std::string_view key, int32_t value) override;
    void beginBatch() override { ++batchDepth_; }
    bool endBatch() override;

private:
    bool sync();

    mutable QSettings settings_;
    int batchDepth_ = 0;
};

}  // namespace gaugemon::core
