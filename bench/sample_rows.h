#pragma once
// The rows the record benchmarks work with: 60 probes of distinct values,
// recorded at one fixed moment.
#include <algorithm>
#include <cstdio>

#include "core/clock.h"
#include "display/value_text.h"
#include "records/record_table.h"

namespace gaugemon::bench {

inline constexpr unsigned kProbes = 60;
inline constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

inline display::ValueTextTable sampleTexts() {
    display::ValueTextTable texts{};
    for (unsigned k = 0; k < texts.size(); ++k) {
        char eight[9];
        std::snprintf(eight, sizeof eight, " %2u.%03u ", k % 100, k * 7 % 1000);
        std::copy(eight, eight + 8, texts[k].slot.begin());
    }
    return texts;
}

// `texts` must outlive the input.
inline records::RowInput rowInput(const display::ValueTextTable& texts) {
    return {kProbes, false, texts, false, core::Language::English, {}, kTime};
}

}  // namespace gaugemon::bench
