#include "core/profile_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace gaugemon::core {

ProfileLock::~ProfileLock() { release(); }

ProfileLock::Outcome ProfileLock::take(const std::string& directory) {
    release();
    failure_.clear();
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    const std::string path = (std::filesystem::path(directory) / "station.lock").string();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        failure_ = path + ": " + std::generic_category().message(errno);
        return Outcome::Unavailable;
    }
    int result = 0;
    do {
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return Outcome::Held;
    const int reason = errno;
    release();
    if (reason == EWOULDBLOCK) return Outcome::HeldElsewhere;
    failure_ = path + ": " + std::generic_category().message(reason);
    return Outcome::Unavailable;
}

void ProfileLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace gaugemon::core
