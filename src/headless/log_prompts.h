#pragma once
#include <cstdint>
#include <string>

#include "core/prompts.h"

namespace gaugemon::headless {

// The prompts of a station nobody watches: every message goes to the log,
// and each question gets the answer that keeps the rows (restore the rows an
// ended run left, clear only what a file holds, end when asked to).
class LogPrompts : public core::Prompts {
public:
    void showMessage(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::string askWorkpieceCode(core::Language) override { return {}; }
    std::optional<core::SaveChoice> askSaveFile(core::Language, std::string_view) override { return std::nullopt; }

private:
    // The same message again and again (a search that finds nothing every
    // 10 s) is logged once, and how often it came when another one follows.
    std::string lastMessage_;
    uint64_t repeats_ = 0;
};

}  // namespace gaugemon::headless
