#pragma once
#include <optional>
#include <string>

#include "journal/journal_store.h"

namespace gaugemon::journal {

// A small file beside the journal that keeps the marks the journal could not
// take (a full disk): the next opening applies them, so rows a file holds
// are never offered again. It is made at full size when the journal opens
// and later only written over in place, which needs no new room on the disk.
class MarkFile {
public:
    MarkFile() = default;
    ~MarkFile();
    MarkFile(const MarkFile&) = delete;
    MarkFile& operator=(const MarkFile&) = delete;

    // Opens or makes the file; false when it cannot be had (the marks then
    // live only as long as the process).
    bool open(const std::string& path);
    // The marks kept, if the file holds whole ones.
    std::optional<MarkState> read() const;
    // Keeps `marks`, synced; false when that failed.
    bool write(const MarkState& marks);
    // Nothing kept any more.
    bool clear();

private:
    bool put(const char* bytes);

    int fd_ = -1;
};

}  // namespace gaugemon::journal
