#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "records/temporary_name.h"

namespace gaugemon::records {

namespace {
constexpr int kTempNameAttempts = 100;

std::filesystem::path directoryOf(const std::filesystem::path& target) {
    std::filesystem::path dir = target.parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

// A suffix nobody can guess in advance, so no name can be taken before the
// station needs it.
bool randomSuffix(std::string& suffix) {
    unsigned char bytes[kRandomSuffixLength];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
    suffix.clear();
    for (unsigned char b : bytes) suffix.push_back(suffixLetter(b));
    return true;
}

// Opens a new file beside the target, named ".<name>.tmp<pid>-<random>"; -1
// with errno set when none can be made. The pid in the name tells a later
// run whether the writer still lives.
int openTemporary(const std::filesystem::path& target, std::string& tempPath) {
    const std::string stem = temporaryStem(target.filename().string(), static_cast<uint32_t>(::getpid()));
    std::string suffix;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        if (!randomSuffix(suffix)) return -1;
        tempPath = (directoryOf(target) / (stem + suffix)).string();
        // O_EXCL: never an existing file, nor a link planted under the name.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool processGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// Removes what writers killed part-way left in `dir`: the station's own
// temporary files, of this user, whose process no longer runs. A file of a
// running station may be its write in progress and stays.
void removeStaleTemporaries(const std::filesystem::path& dir) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::path& path = it->path();
        const auto owner = static_cast<pid_t>(temporaryOwner(path.filename().string()));
        if (owner <= 0 || owner == ::getpid() || !processGone(owner)) continue;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        ::unlink(path.c_str());
    }
}

// Makes the rename itself durable; a failure here loses nothing already written.
void syncDirectory(const std::filesystem::path& target) {
    const int fd = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// 0 when the target may be replaced, else the errno that says why not.
// Nothing at the name is followed: a symbolic link there is replaced itself,
// so whoever planted it cannot choose the file the station overwrites, nor
// the permissions its file gets.
int checkTarget(const std::string& target, struct stat& existing, bool& keepMode) {
    keepMode = false;
    if (::lstat(target.c_str(), &existing) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(existing.st_mode)) return 0;
    // A file the operator made read-only stays as it is, although the
    // directory would let a new file take its name.
    if (::access(target.c_str(), W_OK) != 0) return errno;
    keepMode = S_ISREG(existing.st_mode);
    return 0;
}

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size)};
}

int fillAndClose(int fd, const std::function<bool(ByteSink&)>& fill, FileIdentity& written) {
    int error = 0;
    {
        FdSink sink(fd);
        const bool filled = fill(sink);
        sink.flush();
        error = sink.error();
        if (!error && !filled) error = EIO;
    }
    if (!error && ::fsync(fd) != 0) error = errno;
    struct stat st {};
    if (!error && ::fstat(fd, &st) != 0) error = errno;
    written = identityOf(st);
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}
}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityOf(st);
}

FileWriteResult replaceFile(const std::string& target, const std::function<bool(ByteSink&)>& fill,
                            const BeforeRename& beforeRename) {
    FileWriteResult result;
    result.path = target;
    const std::filesystem::path targetPath(target);

    struct stat existing {};
    bool keepMode = false;
    if (const int refused = checkTarget(target, existing, keepMode)) {
        result.error = refused;
        return result;
    }
    removeStaleTemporaries(directoryOf(targetPath));
    std::string tempPath;
    const int fd = openTemporary(targetPath, tempPath);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    if (keepMode) ::fchmod(fd, existing.st_mode & 07777);

    FileIdentity written;
    int error = fillAndClose(fd, fill, written);
    if (!error && beforeRename) error = beforeRename(written);
    // rename() replaces the name itself; a link there is not followed.
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

}  // namespace gaugemon::records
