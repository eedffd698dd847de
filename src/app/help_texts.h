#pragma once
#include <array>

#include "core/language.h"

namespace gaugemon::app {

struct HelpTexts {
    const char* caption;
    const char* title;
    const char* heading;
    std::array<const char*, 8> tips;
};

const HelpTexts& helpTexts(core::Language language);

inline constexpr const char* kWindowCaption = "VELMORA V7.2.7";
inline constexpr const char* kAboutEntry = "关于 VELMORA(&A)...";

}  // namespace gaugemon::app
