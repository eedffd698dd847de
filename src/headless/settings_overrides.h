#pragma once
#include <map>
#include <string>
#include <string_view>

#include "core/settings_store.h"

namespace gaugemon::headless {

// The stored settings with some of them set for this run only (from the
// command line): reads of an overridden key give the run's value, and the
// station's writes to it stay in the run, so a command line never changes
// what the next start finds.
class SettingsOverrides : public core::SettingsStore {
public:
    explicit SettingsOverrides(core::SettingsStore& stored) : stored_(stored) {}

    void set(std::string_view key, int32_t value) { overrides_[std::string(key)] = {value, false}; }
    // Reads give the run's value, but a write is the operator's own choice
    // (the language buttons) and is stored for the next start.
    void setForReading(std::string_view key, int32_t value) { overrides_[std::string(key)] = {value, true}; }

    int32_t readInt(std::string_view key, int32_t defaultValue) const override;
    bool writeInt(std::string_view key, int32_t value) override;
    void beginBatch() override { stored_.beginBatch(); }
    bool endBatch() override { return stored_.endBatch(); }

private:
    core::SettingsStore& stored_;
    struct Override {
        int32_t value = 0;
        bool writesStored = false;
    };
    std::map<std::string, Override, std::less<>> overrides_;
};

}  // namespace gaugemon::headless
