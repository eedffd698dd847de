#include "records/file_aside.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace gaugemon::records {

namespace {
constexpr int kNameAttempts = 1000;

// "-HHMMSS" of the local time `seconds`.
std::string timeTag(time_t seconds) {
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) return "-000000";
    char tag[16];
    std::snprintf(tag, sizeof tag, "-%02d%02d%02d", local.tm_hour % 100, local.tm_min % 100, local.tm_sec % 100);
    return tag;
}

// Renames without ever replacing a file at `to`: EEXIST when one is there.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without that rename: a second link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}
}  // namespace

FileWriteResult moveAside(const std::string& path) {
    FileWriteResult result;
    result.path = path;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) {
        result.ok = true;
        return result;
    }
    const std::filesystem::path original(path);
    const std::filesystem::path dir = original.parent_path();
    const std::string stem = original.stem().string() + timeTag(existing.st_mtime);
    const std::string extension = original.extension().string();
    for (int n = 1; n <= kNameAttempts; ++n) {
        std::string name = stem;
        if (n > 1) name += "-" + std::to_string(n);
        name += extension;
        const int error = renameNoReplace(path, (dir / name).string());
        if (error == EEXIST) continue;
        result.ok = error == 0;
        result.error = error;
        return result;
    }
    result.error = EEXIST;
    return result;
}

}  // namespace gaugemon::records
