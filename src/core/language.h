#pragma once
#include <cstdint>

namespace gaugemon::core {

// The `Language` setting: 2 is English, every other value Chinese.
enum class Language : uint8_t { Chinese = 1, English = 2 };

constexpr Language languageFromSetting(int32_t stored) { return stored == 2 ? Language::English : Language::Chinese; }

// Run-time texts exist in both languages and are chosen when they are made.
constexpr const char* pick(Language language, const char* english, const char* chinese) {
    return language == Language::English ? english : chinese;
}

}  // namespace gaugemon::core
