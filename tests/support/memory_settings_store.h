#pragma once
#include <map>
#include <string>
#include <string_view>

#include "core/settings_store.h"

namespace gaugemon::core {

// The store for tests: a map in memory, optionally refusing writes. A refused
// batch stores none of its writes.
class MemorySettingsStore : public SettingsStore {
public:
    int32_t readInt(std::string_view key, int32_t defaultValue) const override;
    bool writeInt(std::string_view key, int32_t value) override;
    void beginBatch() override { ++batchDepth_; }
    bool endBatch() override;

    bool contains(std::string_view key) const;
    // Calls of writeInt, in a batch or not.
    int writeCount() const { return writes_; }
    // Times the store was written: each write outside a batch and each end
    // of an outermost batch that held writes, refused ones included.
    int syncCount() const { return syncs_; }
    void setWritesFail(bool fail) { writesFail_ = fail; }

private:
    using Values = std::map<std::string, int32_t, std::less<>>;
    Values values_;
    // Writes of the open batch, not yet stored.
    Values pending_;
    int batchDepth_ = 0;
    int writes_ = 0;
    int syncs_ = 0;
    bool writesFail_ = false;
};

}  // namespace gaugemon::core
