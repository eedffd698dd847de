#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "core/windows_text.h"
#include "records/file_aside.h"

namespace gaugemon::records {

namespace {
constexpr int kNameAttempts = 1000;

// "-HHMMSS" of the file's modification time in local time.
std::string timeTag(const FILETIME& written) {
    FILETIME local{};
    SYSTEMTIME time{};
    if (!::FileTimeToLocalFileTime(&written, &local) || !::FileTimeToSystemTime(&local, &time)) return "-000000";
    char tag[16];
    std::snprintf(tag, sizeof tag, "-%02u%02u%02u", time.wHour % 100u, time.wMinute % 100u, time.wSecond % 100u);
    return tag;
}

// The directory part with its separator, the stem and the extension.
struct NameParts {
    std::string directory, stem, extension;
};

NameParts partsOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    NameParts parts;
    parts.directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        parts.extension = name.substr(dot);
        name.resize(dot);
    }
    parts.stem = name;
    return parts;
}
}  // namespace

FileWriteResult moveAside(const std::string& path) {
    FileWriteResult result;
    result.path = path;
    const std::wstring from = core::wideOf(path);
    WIN32_FILE_ATTRIBUTE_DATA existing{};
    if (!::GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &existing) ||
        (existing.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        result.ok = true;
        return result;
    }
    const NameParts parts = partsOf(path);
    const std::string stem = parts.stem + timeTag(existing.ftLastWriteTime);
    for (int n = 1; n <= kNameAttempts; ++n) {
        std::string name = stem;
        if (n > 1) name += "-" + std::to_string(n);
        name += parts.extension;
        // Without MOVEFILE_REPLACE_EXISTING a file at the new name is never replaced.
        if (::MoveFileExW(from.c_str(), core::wideOf(parts.directory + name).c_str(), MOVEFILE_WRITE_THROUGH)) {
            result.ok = true;
            return result;
        }
        const int error = core::errnoOf(::GetLastError());
        if (error == EEXIST) continue;
        result.error = error;
        return result;
    }
    result.error = EEXIST;
    return result;
}

}  // namespace gaugemon::records
