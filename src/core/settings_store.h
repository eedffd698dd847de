#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace gaugemon::core {

// Named signed 32-bit integers in the section `Settings`. A read of an absent
// or unreadable key yields its default; every write reaches the store before
// it returns, unless a batch is open.
//
// A batch groups the writes of one change that touches several keys (a unit
// change rewrites 121 of them): its writes are read back at once but reach
// the store together when the outermost batch ends, in one step, so that a
// kill or a power loss leaves either the old values or the new ones. A write
// in a batch returns true; the end of the batch tells whether all arrived.
// Use SettingsBatch rather than the two calls.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int32_t readInt(std::string_view key, int32_t defaultValue) const = 0;
    virtual bool writeInt(std::string_view key, int32_t value) = 0;
    virtual void beginBatch() = 0;
    // Ends the innermost batch; the outermost one stores its writes. True
    // when nothing failed (always for an inner batch).
    virtual bool endBatch() = 0;
};

// The writes made during its life reach the store in one step at its end.
// Batches nest: only the outermost one stores.
class SettingsBatch {
public:
    explicit SettingsBatch(SettingsStore& store) : store_(store) { store_.beginBatch(); }
    ~SettingsBatch() { end(); }
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

    // Ends the batch now; later calls and the destructor do nothing.
    bool end() {
        if (ended_) return stored_;
        ended_ = true;
        stored_ = store_.endBatch();
        return stored_;
    }

private:
    SettingsStore& store_;
    bool ended_ = false;
    bool stored_ = false;
};

namespace keys {
inline constexpr std::string_view kLanguage = "Language";
// Days a saved row stays in the crash journal.
inline constexpr std::string_view kJournalDays = "JournalDays";
// 1: the window looks for the instrument as soon as it opens.
inline constexpr std::string_view kConnectAtStart = "ConnectAtStart";
inline constexpr std::string_view kCodeEn = "CodeEn";
inline constexpr std::string_view kUnit = "Unit";
inline constexpr std::string_view kResoH = "ResoH";
inline constexpr std::string_view kResoL = "ResoL";
inline constexpr std::string_view kRecTime = "RecTime";
inline constexpr std::string_view kHW = "HW";
inline constexpr std::string_view kComID = "ComID";
inline constexpr std::string_view kBaudBit = "BaudBit";
inline constexpr std::string_view kParityBit = "ParityBit";
}  // namespace keys

namespace defaults {
inline constexpr int32_t kLanguage = 1;
inline constexpr int32_t kJournalDays = 30;
inline constexpr int32_t kConnectAtStart = 0;
inline constexpr int32_t kCodeEn = 0;
inline constexpr int32_t kUnit = 0;
inline constexpr int32_t kLowerLimit = 3000;
inline constexpr int32_t kUpperLimit = 6000;
inline constexpr int32_t kResoH = 10000;
inline constexpr int32_t kResoL = -10000;
inline constexpr int32_t kRecTime = 200;
inline constexpr int32_t kHW = 1;
inline constexpr int32_t kComID = 1;
inline constexpr int32_t kBaudBit = 2;
}  // namespace defaults

// Fixed-size key name of a probe's limit: "TL07", "TU60".
struct LimitKey {
    char text[5];
    operator std::string_view() const { return {text, 4}; }
};
// `probe` is 1..60.
LimitKey lowerLimitKey(int probe);
LimitKey upperLimitKey(int probe);

}  // namespace gaugemon::core
