#pragma once
#include <cstdint>
#include <string>

namespace gaugemon::journal {

// What went wrong with the journal. Except MovedAside, each one leaves the
// journal off for the rest of the run: rows are then kept in memory only.
enum class Problem : uint8_t {
    None,
    CannotOpen,   // no such directory can be made, no permission, a read-only disk
    InUse,        // another running station holds the journal
    MovedAside,   // the file was damaged; it was moved aside and a new one started
    Damaged,      // the file is damaged and could not be moved aside
    NoSpace,      // the disk is full
    WriteFailed,  // any other failed write
};

struct Report {
    Problem problem = Problem::None;
    std::string path;  // the journal file; for MovedAside, where the damaged one went
    int code = 0;      // SQLite's result code or an errno value, for the operator's helper
};

}  // namespace gaugemon::journal
