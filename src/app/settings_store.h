#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace gaugemon::app {

// Named signed 32-bit integers in the section `Settings`. A read of an absent
// or unreadable key yields its default; every write reaches the store before
// it returns.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int32_t readInt(std::string_view key, int32_t defaultValue) const = 0;
    virtual bool writeInt(std::string_view key, int32_t value) = 0;
};

namespace keys {
inline constexpr std::string_view kLanguage = "Language";
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

// The store for tests: a map in memory, optionally refusing writes.
class MemorySettingsStore : public SettingsStore {
public:
    int32_t readInt(std::string_view key, int32_t defaultValue) const override;
    bool writeInt(std::string_view key, int32_t value) override;

    bool contains(std::string_view key) const;
    int writeCount() const { return writes_; }
    void setWritesFail(bool fail) { writesFail_ = fail; }

private:
    std::map<std::string, int32_t, std::less<>> values_;
    int writes_ = 0;
    bool writesFail_ = false;
};

}  // namespace gaugemon::app
