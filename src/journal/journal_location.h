#pragma once
#include <string>

namespace gaugemon::journal {

// The per-user data directory of the program, where the journal is kept;
// empty when the platform names none.
std::string defaultJournalDirectory();

}  // namespace gaugemon::journal
