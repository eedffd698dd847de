#pragma once
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/prompts.h"

namespace gaugemon::headless {

// The prompts of a station nobody watches: every message goes to the log,
// and each question gets the answer that keeps the rows (restore the rows an
// ended run left, clear only what a file holds, end when asked to).
class LogPrompts : public core::Prompts {
public:
    // The same message comes again in the log after this long at the earliest.
    static constexpr int64_t kRepeatAfterMs = 10 * 60'000;

    explicit LogPrompts(const core::Clock& clock) : clock_(clock) {}

    void showMessage(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::string askWorkpieceCode(core::Language) override { return {}; }
    std::optional<core::SaveChoice> askSaveFile(core::Language, std::string_view) override { return std::nullopt; }

private:
    // The same message again and again (a search that finds nothing every
    // 10 s) is logged once, then at most every 10 minutes and when another
    // one follows, each time with how often it came meanwhile.
    const core::Clock& clock_;
    std::string lastMessage_;
    uint64_t repeats_ = 0;
    int64_t loggedAtMs_ = 0;
};

}  // namespace gaugemon::headless
