#include "core/data_location.h"

#include <unistd.h>

#include <system_error>

#include "core/logging.h"

namespace gaugemon::core {

namespace fs = std::filesystem;

namespace {

std::string withTrailingSeparator(const fs::path& directory) {
    std::string text = directory.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

bool isProgramsDirectory(const fs::path& directory) {
    // "/usr/bin/" names its last part "" and its parent "bin".
    const fs::path name = directory.has_filename() ? directory.filename() : directory.parent_path().filename();
    return name == "bin" || name == "sbin";
}

}  // namespace

bool runsFromItsOwnDirectory(const fs::path& executableDir, bool writable) {
    return writable && !isProgramsDirectory(executableDir);
}

std::string stationDataDirectory(const fs::path& executableDir, bool writable, const fs::path& perUserDir) {
    if (runsFromItsOwnDirectory(executableDir, writable) || perUserDir.empty()) {
        return withTrailingSeparator(executableDir);
    }
    return withTrailingSeparator(perUserDir);
}

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
