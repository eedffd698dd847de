// Where the station's data go, on Windows. Whether the program's directory
// takes files is asked of the directory itself: its permissions are not in
// its attributes, and a program under "Program Files" reads as writable there.
#include <windows.h>

#include <system_error>

#include "core/data_location.h"
#include "core/logging.h"
#include "core/windows_text.h"

namespace gaugemon::core {

namespace fs = std::filesystem;

namespace {
// A file made there and gone when its handle closes.
bool takesFiles(const fs::path& directory) {
    const fs::path probe = directory / (L".gaugemon-probe-" + std::to_wstring(::GetCurrentProcessId()));
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}
}  // namespace

std::string findStationDataDirectory(const fs::path& executableDir, const fs::path& perUserDir) {
    const bool writable = takesFiles(executableDir);
    std::string chosen = stationDataDirectory(executableDir, writable, perUserDir);
    if (runsFromItsOwnDirectory(executableDir, writable) || perUserDir.empty()) return chosen;
    std::error_code error;
    fs::create_directories(perUserDir, error);
    if (error) {
        qCWarning(stationLog, "cannot create the data directory %s: %s", utf8Of(perUserDir.wstring()).c_str(),
                  error.message().c_str());
    }
    return chosen;
}

}  // namespace gaugemon::core
