#include "core/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace gaugemon::core {

RegularFile readRegularFile(const std::string& path, int64_t largestBytes) {
    RegularFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.error = errno;
        return file;
    }
    struct stat info {};
    file.opened = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (file.opened && info.st_size > 0 && info.st_size <= largestBytes) {
        file.bytes.resize(static_cast<size_t>(info.st_size));
        size_t filled = 0;
        while (filled < file.bytes.size()) {
            const ssize_t got = ::read(fd, file.bytes.data() + filled, file.bytes.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            filled += static_cast<size_t>(got);
        }
        file.bytes.resize(filled);
    }
    ::close(fd);
    return file;
}

}  // namespace gaugemon::core
