#pragma once
#include "core/language.h"
#include "core/prompts.h"
#include "journal/journal.h"
#include "records/record_table.h"

namespace gaugemon::journal {

enum class StartChoice : uint8_t { NothingOffered, Restored, Discarded };

// The start of a run, before the first row: tells a problem of opening, then
// offers the rows earlier runs left in no file (Yes restores them into the
// table, No discards them) and tells what a restore could not take.
StartChoice offerPendingRows(Journal& journal, records::RecordTable& table, core::Prompts& prompts,
                             core::Language language);

// A problem of the journal not told yet, told now; false when there was none.
bool reportProblem(Journal& journal, core::Prompts& prompts, core::Language language);

}  // namespace gaugemon::journal
