#pragma once
#include <cstdint>
#include <string>

namespace gaugemon::core {

struct RegularFile {
    bool opened = false;  // a regular file that could be opened for reading
    int error = 0;        // errno of an open that failed; 0 when something was opened
    std::string bytes;    // empty when it could not be read or is larger than asked
};

// Reads the regular file at `path` whole when it holds at most `largestBytes`.
// It is opened without blocking, since opening a FIFO or a device put in its
// place would wait for a writer for good, and checked on the open descriptor,
// so nothing can be swapped in between.
RegularFile readRegularFile(const std::string& path, int64_t largestBytes);

}  // namespace gaugemon::core
