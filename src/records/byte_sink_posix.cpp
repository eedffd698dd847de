// A file descriptor behind the byte sink.
#include <unistd.h>

#include <cerrno>

#include "records/byte_sink.h"

namespace gaugemon::records {

int FdSink::writeOut(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace gaugemon::records
