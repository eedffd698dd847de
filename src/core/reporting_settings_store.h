#pragma once
#include <functional>

#include "core/settings_store.h"

namespace gaugemon::core {

// A settings store that says when its writes stop reaching the store (a
// read-only file, a full disk): a limit or range that looked applied would
// otherwise be gone at the next start. `onFailure` runs at the first failed
// write or batch, and again only after a write has succeeded in between.
class ReportingSettingsStore : public SettingsStore {
public:
    ReportingSettingsStore(SettingsStore& store, std::function<void()> onFailure)
        : store_(store), onFailure_(std::move(onFailure)) {}

    int32_t readInt(std::string_view key, int32_t defaultValue) const override {
        return store_.readInt(key, defaultValue);
    }
    bool writeInt(std::string_view key, int32_t value) override;
    void beginBatch() override;
    bool endBatch() override;

private:
    bool note(bool written);

    SettingsStore& store_;
    std::function<void()> onFailure_;
    bool reported_ = false;
    // A write in a batch says nothing about the disk yet; the batch's end does.
    int batchDepth_ = 0;
};

}  // namespace gaugemon::core
