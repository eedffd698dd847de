#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace gaugemon::records {

namespace {
constexpr int kTempNameAttempts = 100;

// Opens a new file beside the target; -1 with errno set when none can be made.
int openTemporary(const std::filesystem::path& target, std::string& tempPath) {
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    const std::string stem = "." + target.filename().string() + ".tmp";
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempPath = (dir / (stem + std::to_string(::getpid()) + "-" + std::to_string(attempt))).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Makes the rename itself durable; a failure here loses nothing already written.
void syncDirectory(const std::filesystem::path& target) {
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
}  // namespace

FileWriteResult replaceFile(const std::string& target, const std::function<bool(ByteSink&)>& fill) {
    FileWriteResult result;
    result.path = target;
    const std::filesystem::path targetPath(target);

    // A file the operator made read-only stays as it is, although the
    // directory would let a new file take its name.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
        result.error = errno;
        return result;
    }
    std::string tempPath;
    const int fd = openTemporary(targetPath, tempPath);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) ::fchmod(fd, existing.st_mode & 07777);

    int error = 0;
    {
        FdSink sink(fd);
        const bool filled = fill(sink);
        sink.flush();
        error = sink.error();
        if (!error && !filled) error = EIO;
    }
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(tempPath.c_str());
        result.error = error;
        return result;
    }
    syncDirectory(targetPath);
    result.ok = true;
    return result;
}

std::string fileErrorMessage(const FileWriteResult& result, app::Language language) {
    std::string text = app::pick(language, "The file could not be written:\n", "无法写入文件：\n");
    text += result.path;
    text += '\n';
    text += std::strerror(result.error);
    text += app::pick(language, "\nThe previous file, if any, is unchanged.", "\n原有文件保持不变。");
    return text;
}

}  // namespace gaugemon::records
