#pragma once
#include <string>

#include "core/language.h"
#include "journal/journal.h"
#include "journal/journal_outcome.h"

namespace gaugemon::journal {

// Every operator text of the journal, in the language of the moment (UTF-8).

// What went wrong and what it means for the rows; empty for Problem::None.
std::string problemText(const Report& report, core::Language language);

// The question at start: how many rows, from when; Yes restores, No discards.
std::string offerText(const PendingRows& pending, core::Language language);

// What a restore left behind; empty when every offered row was restored.
std::string restoreText(const RestoreResult& result, core::Language language);

}  // namespace gaugemon::journal
