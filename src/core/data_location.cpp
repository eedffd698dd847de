#include "core/data_location.h"

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

}  // namespace gaugemon::core
