#include "link/serial_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "core/logging.h"

namespace gaugemon::link {

namespace fs = std::filesystem;

namespace {

// A lock file that names no process may be one whose writer has created it
// and not yet written its number; only an old one is given up.
constexpr time_t kUnreadableLockAgeSeconds = 30;

std::string programName() {
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).filename().string();
}

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool processRuns(pid_t pid) { return pid == getpid() || kill(pid, 0) == 0 || errno == EPERM; }

// The number at the start of the file, after any blanks: "1234\n..." as Qt
// programs write it, "      1234\n" as the older serial programs do.
pid_t readHolder(int fd) {
    char text[32] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    if (got <= 0) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    long long pid = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        digits = true;
        pid = pid * 10 + (*p - '0');
        if (pid > INT_MAX) return 0;
    }
    return digits ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

std::vector<fs::path> SerialLock::systemDirectories() {
    return {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
            "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
}

SerialLock::SerialLock(std::vector<fs::path> directories) : directories_(std::move(directories)) {}

fs::path SerialLock::lockFileFor(const std::string& device) const {
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    name.insert(0, "LCK..");
    // The first directory that holds the device's lock, or could hold it.
    for (const fs::path& directory : directories_) {
        if (access(directory.c_str(), R_OK) != 0) continue;
        fs::path file = directory / name;
        if (access(file.c_str(), F_OK) == 0 || access(directory.c_str(), W_OK) == 0) return file;
    }
    return {};
}

SerialLock::Outcome SerialLock::acquire(const std::string& device) {
    release();
    holder_ = 0;
    const fs::path path = lockFileFor(device);
    if (path.empty()) {
        qCDebug(core::linkLog, "no lock directory may hold a lock for %s; it is opened without", device.c_str());
        return Outcome::NotTaken;
    }
    // Twice at most: once more after a lock left behind was removed.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (create(path)) return Outcome::Taken;
        if (errno != EEXIST) return Outcome::NotTaken;
        if (heldByRunningProcess(path)) return Outcome::HeldByOther;
        // Left behind. Only its owner may remove it from a sticky directory;
        // then it stays, and the device is opened without a lock file.
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            qCInfo(core::linkLog, "passed over the lock %s left behind by a program that ended", path.c_str());
            return Outcome::NotTaken;
        }
        qCInfo(core::linkLog, "removed the lock %s left behind by a program that ended", path.c_str());
    }
    return Outcome::NotTaken;
}

bool SerialLock::create(const fs::path& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string text = std::to_string(getpid()) + '\n' + programName() + '\n' + hostName() + '\n';
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    struct stat status {};
    const bool known = fstat(fd, &status) == 0;
    close(fd);
    if (!written || !known) {
        unlink(path.c_str());
        errno = EIO;
        return false;
    }
    taken_ = path;
    takenDevice_ = status.st_dev;
    takenInode_ = status.st_ino;
    return true;
}

bool SerialLock::heldByRunningProcess(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno != ENOENT;  // unreadable: somebody's, and not ours to judge
    const pid_t pid = readHolder(fd);
    struct stat status {};
    const bool known = fstat(fd, &status) == 0;
    close(fd);
    if (pid > 0) {
        if (!processRuns(pid)) return false;
        holder_ = pid;
        return true;
    }
    return known && time(nullptr) - status.st_mtime < kUnreadableLockAgeSeconds;
}

void SerialLock::release() {
    if (taken_.empty()) return;
    // Someone may have taken the name over after removing ours as stale.
    struct stat status {};
    if (stat(taken_.c_str(), &status) == 0 && status.st_dev == takenDevice_ && status.st_ino == takenInode_) {
        unlink(taken_.c_str());
    }
    taken_.clear();
}

}  // namespace gaugemon::link
