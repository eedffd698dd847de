// Where the station's data go, on a POSIX system.
#include <unistd.h>

#include <system_error>

#include "core/data_location.h"
#include "core/logging.h"

namespace gaugemon::core {

namespace fs = std::filesystem;

std::string findStationDataDirectory(const fs::path& executableDir, const fs::path& perUserDir) {
    const bool writable = ::access(executableDir.c_str(), W_OK) == 0;
    std::string chosen = stationDataDirectory(executableDir, writable, perUserDir);
    if (runsFromItsOwnDirectory(executableDir, writable) || perUserDir.empty()) return chosen;
    std::error_code error;
    fs::create_directories(perUserDir, error);
    // The backup then fails and says so where the operator sees it; here the
    // cause is kept for whoever reads the log.
    if (error) {
        qCWarning(stationLog, "cannot create the data directory %s: %s", perUserDir.c_str(), error.message().c_str());
    }
    return chosen;
}

}  // namespace gaugemon::core
